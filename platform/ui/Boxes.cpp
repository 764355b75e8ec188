#include "platform/ui/Boxes.h"

#include "platform/ui/Placement.h"

#include <QApplication>
#include <QFileDialog>
#include <QGridLayout>
#include <QImageReader>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <utility>

namespace boxes {
namespace {

Responder &responder()
{
    static Responder r;
    return r;
}

QMessageBox::Icon qtIcon(Icon icon)
{
    switch (icon) {
    case Icon::Information: return QMessageBox::Information;
    case Icon::Warning: return QMessageBox::Warning;
    case Icon::Error: return QMessageBox::Critical;
    case Icon::Question: return QMessageBox::Question;
    case Icon::None: break;
    }
    return QMessageBox::NoIcon;
}

// The width that keeps window's title whole in the window manager's title
// bar, which cuts a longer one short: the title in a bold font as large as
// the window's, and room for the bar's icon and three buttons with their
// padding, some eight lines of text. A guess, as the window manager does
// not tell its font.
int titleWidth(const QWidget &window)
{
    QFont font = window.font();
    font.setBold(true);
    const QFontMetrics metrics(font);
    return metrics.horizontalAdvance(window.windowTitle()) + 8 * metrics.height();
}

// A non-native file dialog: only it has room for the preview beside the list.
Answer pictureDialog(const Request &request, const QString &caption)
{
    QFileDialog dialog(request.owner, caption, {}, request.text);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    auto *preview = new QLabel(&dialog);
    preview->setFixedSize(160, 160);
    preview->setAlignment(Qt::AlignCenter);
    preview->setFrameShape(QFrame::StyledPanel);
    if (auto *grid = qobject_cast<QGridLayout *>(dialog.layout()))
        grid->addWidget(preview, 1, grid->columnCount(), grid->rowCount() - 1, 1);
    QObject::connect(&dialog, &QFileDialog::currentChanged, preview, [preview](const QString &file) {
        QImageReader reader(file);
        reader.setAutoTransform(true);
        const QSize size = reader.size();
        if (size.isValid())
            reader.setScaledSize(size.scaled(preview->size(), Qt::KeepAspectRatio));
        preview->setPixmap(QPixmap::fromImage(reader.read()));
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {false, request.value};
    return {true, dialog.selectedFiles().constFirst()};
}

Answer ask(const Request &request)
{
    if (responder())
        return responder()(request);

    const QString caption = request.caption.isEmpty() ? QApplication::applicationDisplayName() : request.caption;
    if (request.kind == Kind::OpenPicture)
        return pictureDialog(request, caption);
    if (request.kind == Kind::Input) {
        QInputDialog box(request.owner);
        box.setWindowTitle(caption);
        box.setLabelText(request.text);
        box.setTextValue(request.value);
        box.resize(box.sizeHint().expandedTo({titleWidth(box), 0}));
        placement::place(&box, true);
        const bool ok = box.exec() == QDialog::Accepted;
        return {ok, ok ? box.textValue() : request.value};
    }
    QMessageBox box(qtIcon(request.icon), caption, request.text,
                    request.kind == Kind::Confirm ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok,
                    request.owner);
    return {box.exec() == QMessageBox::Ok, {}};
}

} // namespace

Responder setResponder(Responder r)
{
    Responder previous = std::move(responder());
    responder() = std::move(r);
    return previous;
}

void showMessage(const QString &text) { ask({Kind::Message, text, {}, {}, Icon::None, nullptr}); }

void inform(QWidget *owner, const QString &text, const QString &caption, Icon icon)
{
    ask({Kind::Message, text, caption, {}, icon, owner});
}

bool confirm(QWidget *owner, const QString &text, const QString &caption, Icon icon)
{
    return ask({Kind::Confirm, text, caption, {}, icon, owner}).ok;
}

void showError(const QString &text) { ask({Kind::Error, text, {}, {}, Icon::Error, nullptr}); }

namespace {
ErrorWords::Words &words()
{
    static ErrorWords::Words current;
    return current;
}
} // namespace

ErrorWords::ErrorWords(Words w) : previous_(std::exchange(words(), std::move(w))) {}

ErrorWords::~ErrorWords() { words() = std::move(previous_); }

void showError(const std::exception &error) { showError(words() ? words()(error) : QString::fromUtf8(error.what())); }

bool inputQuery(const QString &caption, const QString &prompt, QString &value)
{
    Answer a = ask({Kind::Input, prompt, caption, value, Icon::None, nullptr});
    if (a.ok)
        value = a.value;
    return a.ok;
}

bool openPicture(QWidget *owner, const QString &caption, const QString &filter, QString &path)
{
    Answer a = ask({Kind::OpenPicture, filter, caption, path, Icon::None, owner});
    if (a.ok)
        path = a.value;
    return a.ok;
}

} // namespace boxes
