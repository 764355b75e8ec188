#pragma once

#include "gateway/EngineHost.h"
#include "gateway/EngineReports.h"

#include <QMainWindow>
#include <QPlainTextEdit>
#include <QString>
#include <QStringList>
#include <array>
#include <string>
#include <vector>

class QAction;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QStatusBar;

// The log pane: a memo that hides its caret whenever it gets the focus.
class TXMemo : public QPlainTextEdit {
public:
    using QPlainTextEdit::QPlainTextEdit;

protected:
    void focusInEvent(QFocusEvent *event) override;
};

// The gateway window "澜星信使网关": a tool window that starts the engine on
// its first activation, lets the operator set the service-centre number
// FSCA and the port, has a send box of its own and shows the engine's log,
// state and lists. The engine, FSCA and the engine's files belong to the
// engine host, to which the handlers delegate. One instance (FMain). It is
// the engine's report target from its creation until its destruction, and
// must go before its host. Main thread. Defined in SMSMain.cpp; the form's
// building (FormCreate and its parts) in SMSMainForm.cpp.
class TFMain : public QMainWindow, public IEngineReports {
    Q_OBJECT
public:
    // FormCreate: the widgets, the log pane, Button3 disabled; installs the
    // window as the engine's report target and sets FMain.
    explicit TFMain(TEngineHost &host, QWidget *parent = nullptr);
    // FormDestroy: withdraws the window from the engine, then has the host
    // write the queue files.
    ~TFMain() override;

    // The host's service-centre number in use, national form.
    std::string FSCA() const { return host_.FSCA(); }

    // Components, named as their objectName.
    QAction *N6;          // "设置中心号码"
    QAction *N7;          // "设置串口"
    QLineEdit *MaskEdit1; // eleven digits
    QLineEdit *Edit2;
    QPushButton *Button3; // "发送消息"; enabled by the engine start
    QLabel *Image1;       // the left strip's picture
    QFrame *Panel6;
    TXMemo *FXMemo; // the engine's log pane
    QGroupBox *GroupBox1;
    QTreeWidget *ListView1; // sent: 手机号, 内容, 时间; the latest 1,000 rows
    QGroupBox *GroupBox2;
    QTreeWidget *ListView2; // received, the same columns
    QStatusBar *SBar;
    // 设备工作状态 | device state | 端口状态 | port state, and the queue
    // files' state, shown only while one of them cannot be written.
    QLabel *SBarPanels[5];
    QFrame *Panel2;        // hidden: Memo1 and each channel's monitor controls
    QPlainTextEdit *Memo1; // hidden; its font is the log pane's
    // Each channel's command edit and monitor memo on Panel2, by channel
    // number (slot 0 unused); made when the engine starts.
    std::array<QLineEdit *, 9> CmdEdit{};
    std::array<QPlainTextEdit *, 9> MonitorMemo{};

    // Handlers.
    // Every activation; the first one only starts the engine (Button1Click),
    // enables Button3, has the host read FSCA from "smsset.ini" and load the
    // queue files, and shows a file that cannot be read in the error box.
    // Later ones do nothing.
    void FormActivate();
    // The host builds the gateway "GW01" (Gateway) and starts the drive
    // thread (DriveThread); the channels' monitor controls are made.
    void Button1Click();
    // Sends the send box through the host's send path and adds a row to
    // the sent list; nothing before the engine has started or for a number
    // the send path refuses.
    void Button3Click();
    // The desk's hand-over of its row (key and values, TEngineHost::HandOver):
    // number into MaskEdit1, text into Edit2, then sent as Button3Click
    // sends them, but with number as given, since the field's eleven-digit
    // mask would cut a number with a country code. False when the message
    // could not be taken (not put on disk): the row is to go again later.
    bool SendFromDesk(const QString &number, const QString &text, const std::vector<std::string> &row);
    // Asks for a new centre number; the host stores it (also on Cancel, the
    // number as it stands). One that does not fit an address is refused
    // with a box that says why, and the old one stays.
    void N6Click();
    // Asks for channel 1's port name; a changed one is stored by the host
    // ("smsset.ini" and the port), the operator told to restart, and the
    // application's event loop ended.
    void N7Click();
    // A selected row's number, without a leading "+86", into MaskEdit1.
    void ListView1Click();
    void ListView2Click();

    // IEngineReports, main thread.
    void LogLine(const std::string &line) override;
    void DeviceState(const std::string &text) override;
    void PortState(const std::string &text) override;
    void ReceivedRow(const std::string &caption, const std::string &text, const std::string &time) override;
    void SentRow(const std::string &number, const std::string &text, const std::string &time) override;
    void StoreState(const std::string &text) override;
    void HideWindow() override;
    void ShowWindow() override;
    void MonitorText(int channel, const std::string &text) override;

protected:
    bool event(QEvent *event) override;
    // Closing only hides the window; the engine runs on.
    void closeEvent(QCloseEvent *event) override;

private:
    void FormCreate();
    QFrame *BuildSendBox(QWidget *parent);
    void BuildLists(QWidget *parent);
    void BuildStatusBar();
    void ListViewClick(QTreeWidget *list);
    // Adds a row at the end of list, which keeps only the latest 1,000.
    void AddRow(QTreeWidget *list, const QStringList &columns);
    // The command edit and monitor memo of channel number, made on first use.
    void MakeMonitor(int number);
    void Send(const std::string &number, const std::string &text);

    TEngineHost &host_;
    bool FirstActivate = true;
};

extern TFMain *FMain;

// How the program's engine host ends (the deleter of its owner), main
// thread, after the message loop and after the gateway window has gone:
// stops the drive thread, writes the queue files and frees the engine
// (closing the port and the command server), then the host. Queued messages
// that could not be written are then said in a box: they are lost.
struct TEngineEnd {
    void operator()(TEngineHost *host) const;
};
