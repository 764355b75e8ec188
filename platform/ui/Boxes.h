#pragma once

#include <QString>
#include <exception>
#include <functional>

class QWidget;

// Every message box and input box of the system goes through here, so that
// tests can answer them headless. Without a responder installed the boxes are
// real Qt dialogs.
namespace boxes {

enum class Kind {
    Message,     // plain box with OK (ShowMessage, failed inserts and updates)
    Confirm,     // OK / Cancel question
    Error,       // the application's default error box for an uncaught error
    Input,       // input box: caption, prompt, value to edit
    OpenPicture, // file-open dialog with a preview: text the filter, value the file chosen
};

enum class Icon { None, Information, Warning, Error, Question };

struct Request {
    Kind kind = Kind::Message;
    QString text;    // message text, the input box's prompt, or a file filter
    QString caption; // window title ("" = the application title)
    QString value;   // input box: the value offered for editing
    Icon icon = Icon::None;
    QWidget *owner = nullptr;
};

struct Answer {
    bool ok = true; // OK pressed (false: Cancel or the box was closed)
    QString value;  // input box: the edited value; file dialog: the file chosen
};

using Responder = std::function<Answer(const Request &)>;

// Installs a responder for every later box; an empty function restores the
// real dialogs. Returns the previous responder.
Responder setResponder(Responder responder);

// A plain box with OK and the application title as caption.
void showMessage(const QString &text);

// A box with a caption and OK only.
void inform(QWidget *owner, const QString &text, const QString &caption, Icon icon = Icon::None);

// OK / Cancel question; true only for OK.
bool confirm(QWidget *owner, const QString &text, const QString &caption, Icon icon = Icon::None);

// The box an error that no handler caught ends in; the program runs on.
void showError(const QString &text);
// The same for an error, in the words of the ErrorWords that lives (its
// own text while none does).
void showError(const std::exception &error);

// While one lives, the errors that showError takes are put into words by
// its function (the desk's says a database error in Chinese). Each restores
// the one made before it as it goes. Main thread.
class ErrorWords {
public:
    using Words = std::function<QString(const std::exception &)>;
    explicit ErrorWords(Words words);
    ~ErrorWords();
    ErrorWords(const ErrorWords &) = delete;
    ErrorWords &operator=(const ErrorWords &) = delete;

private:
    Words previous_;
};

// Input box, centred on the screen and wide enough for its caption: true on
// OK with value replaced by the edited text; on Cancel value is left
// unchanged.
bool inputQuery(const QString &caption, const QString &prompt, QString &value);

// File-open dialog for a picture, with a preview of the file under the
// cursor; filter as QFileDialog takes it ("位图 (*.bmp);;..."). True when the
// operator chose a file, then in path.
bool openPicture(QWidget *owner, const QString &caption, const QString &filter, QString &path);

} // namespace boxes
