#pragma once

#include <QUrl>
#include <QWidget>
#include <functional>

class QLabel;

// Opens a link with the desktop's handler; tests replace it so that no
// browser starts. Returns the previous opener.
using UrlOpener = std::function<void(const QUrl &)>;
UrlOpener setUrlOpener(UrlOpener opener);
// Opens url through the opener.
void openLink(const QUrl &url);

// "关于澜星信使": the banner, the maker's web address as a link and one line
// of text. Created hidden at start-up, shown not modally; closing hides it.
class TfrmAbout : public QWidget {
    Q_OBJECT
public:
    explicit TfrmAbout(QWidget *parent = nullptr);

    // Opens the address of Label2 through the opener.
    void Label2Click();

    QLabel *Image1;
    QLabel *Label2;
    QLabel *Label3;

    static const QString WebAddress;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    // Centred on the screen each time it is shown.
    void showEvent(QShowEvent *event) override;
};

extern TfrmAbout *frmAbout;
