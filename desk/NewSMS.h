#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTabWidget;
class QTreeWidget;
class TMemo;

// The phrases of a category of the compose dialog: the lines of
// "smsbook/<category>.txt" in the current directory (GBK text; lines end at
// CR LF, LF or CR, a final line end makes no extra line; an empty line is an
// empty phrase), in file order. Reads no more than PhraseFileLimit bytes:
// of a longer file the whole lines within them (or, when its first line
// alone is longer, that much of it), and then sets *cut. Throws
// std::runtime_error naming the file when it cannot be opened or read.
inline constexpr qint64 PhraseFileLimit = 256 * 1024;
QStringList readPhrases(const QString &category, bool *cut = nullptr);

// "发送信息": writes an SMS to one contact. The text goes into sms_tosend as
// "未发" rows of at most 140 GBK bytes each (a double-byte character is never
// split), which the dispatch loop hands to the gateway. The page "短信经典"
// offers the phrases of six categories (readPhrases); a double click puts
// one into the text. Fixed size, centred, only a close box. Main thread.
//
// The contacts window opens it for its first selected contact, with no
// owner, and shows it modally; the result tells nothing it needs:
//     TfrmNewSMS dialog(ListView1's first selected caption, LabelMobile's text);
//     dialog.exec();
// The global frmNewSMS names the dialog while it exists.
class TfrmNewSMS : public QDialog {
    Q_OBJECT
public:
    // contact: the contact's key, shown in edit3; mobile: the number the
    // contacts window shows for it, the destination in Edit1 ("确定" is
    // enabled when it is not empty).
    TfrmNewSMS(const QString &contact, const QString &mobile, QWidget *parent = nullptr);
    ~TfrmNewSMS() override;

    void FormActivate(); // the focus to the text
    void Edit1Change();  // "确定" enabled while the number box holds a character (blanks count)
    void edit2Change();  // the counter: "字数：" and the characters of the text
    // Both load the selected category's phrases into ListBox1 (nothing while
    // no node is selected); a file cut at the limit is said in a box. A file
    // that cannot be read throws std::runtime_error and ListBox1 keeps its
    // rows.
    void TreeView1Click();
    void TreeView1Change();
    // The selected phrase replaces the text (past the typing limit too) and
    // the page "发送窗口" comes to the front.
    void ListBox1DblClick();
    // "确定": the checks of outbox::ready, then the text's pieces as rows,
    // then the dialog closes with Accepted. Throws EDatabaseError (no row is
    // left and the dialog stays open).
    void Button1Click();
    // "取消": Accepted when a message was saved, else Rejected.
    void Button2Click();

    QTabWidget *PageControl1;
    QWidget *TabSheet1; // "发送窗口"
    QWidget *TabSheet2; // "短信经典"
    QLabel *Label3;
    QLineEdit *edit3; // the contact, read-only
    QLabel *Label1;
    QLineEdit *Edit1; // the number
    QLabel *Label2;
    TMemo *edit2;   // the text, typing limited to 240
    QLabel *Label4; // the counter
    QTreeWidget *TreeView1;
    QListWidget *ListBox1;
    QPushButton *Button1; // "确定"
    QPushButton *Button2; // "取消"

protected:
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildSendPage();
    void buildPhrasePage();
    void FormCreate(const QString &contact, const QString &mobile);
    void loadSelected();
    void scheduleLoad();

    int CreatedCount = 0;
    bool loadPending_ = false;
};

// The latest compose dialog while it exists; null otherwise.
// Set by the dialog's constructor and cleared by its destructor. Kept for
// the dialog's callers as designed; nothing here reads it.
extern TfrmNewSMS *frmNewSMS;
