#pragma once

#include <QDialog>
#include <QPointer>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;
class TMemo;

// "阅读短信": a received message, turned into a reply. "回复" (Button3) puts
// the received text between "[Re:" and "]" for editing and becomes "发送";
// "发送" saves the reply as one "未发" row of sms_tosend (not cut: the engine
// sends a long text as several messages), which the dispatch loop hands to
// the gateway. Sizeable. Main thread.
//
// The contacts window opens a received message with no owner and shows it
// modally, after it has looked up the sender and marked the message read;
// the result tells nothing it needs:
//     TfrmReadSMS dialog(the sender's contact key or "", number, text as stored);
//     dialog.exec();
// (or fills edit3, Edit1 and edit2 of a default-made dialog before exec()).
// The global frmReadSMS names the dialog made last while it exists, then
// again the one before it (the hidden one made at start-up).
class TfrmReadSMS : public QDialog {
    Q_OBJECT
public:
    // Empty boxes.
    explicit TfrmReadSMS(QWidget *parent = nullptr);
    // name: the sender's contact key ("" when the number is no contact's);
    // phone: the sender's number; text: the message as stored.
    TfrmReadSMS(const QString &name, const QString &phone, const QString &text, QWidget *parent = nullptr);
    ~TfrmReadSMS() override;

    // The caption becomes "回复短信". "回复": the reply is prepared. "发送":
    // the checks of outbox::ready, then the row, then the dialog closes with
    // Accepted; throws EDatabaseError (no row, the dialog stays open).
    void Button3Click();
    void Button2Click(); // "取消": closes without saving

    QLabel *Label3;
    QLineEdit *edit3; // the sender's contact, read-only
    QLabel *Label1;
    QLineEdit *Edit1; // the sender's number, then the reply's destination
    QLabel *Label2;
    TMemo *edit2; // the received text, then the reply; typing limited to 140
    QPushButton *Button3;
    QPushButton *Button2;

private:
    QPointer<TfrmReadSMS> previous_; // what frmReadSMS named before
};

extern TfrmReadSMS *frmReadSMS;
