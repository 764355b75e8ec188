#pragma once

#include "gateway/EngineReports.h"

#include <QMainWindow>
#include <QPlainTextEdit>
#include <QString>
#include <mutex>
#include <string>

class QAction;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QStatusBar;
class TDriveThread;
class TGateWay;

// The log pane: a memo that hides its caret whenever it gets the focus.
class TXMemo : public QPlainTextEdit {
public:
    using QPlainTextEdit::QPlainTextEdit;

protected:
    void focusInEvent(QFocusEvent *event) override;
};

// The gateway window "澜星信使网关": a tool window that starts the engine on
// its first activation, holds the service-centre number FSCA, has a send
// box of its own and shows the engine's log, state and lists. One instance
// (FMain). It is the engine's report target from its creation until its
// destruction. Main thread.
class TFMain : public QMainWindow, public IEngineReports {
    Q_OBJECT
public:
    // FormCreate: the widgets, the log pane, Button3 disabled; installs the
    // window as the engine's report target and sets FMain.
    explicit TFMain(QWidget *parent = nullptr);
    // FormDestroy: withdraws the window from the engine, then, when the
    // queues were loaded at the engine start, writes the queue files.
    ~TFMain() override;

    // The service-centre number in use, national form; any thread.
    std::string FSCA() const;
    void SetFSCA(const std::string &value);

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
    QTreeWidget *ListView1; // sent: 手机号, 内容, 时间
    QGroupBox *GroupBox2;
    QTreeWidget *ListView2; // received, the same columns
    QStatusBar *SBar;
    QLabel *SBarPanels[4]; // 设备工作状态 | device state | 端口状态 | port state
    QFrame *Panel2;        // hidden: Memo1 and each channel's monitor controls
    QPlainTextEdit *Memo1; // hidden; its font is the log pane's

    // Handlers.
    // Every activation; the first one only starts the engine (Button1Click),
    // enables Button3, reads FSCA from "smsset.ini" COMMON/SCA ("+86" taken
    // off) and loads the queue files. Later ones do nothing.
    void FormActivate();
    // Builds the gateway "GW01" (Gateway) and starts the drive thread
    // (DriveThread).
    void Button1Click();
    // Sends the send box through the gateway's send path and adds a row to
    // the sent list; nothing before the engine has started.
    void Button3Click();
    // Asks for a new centre number and writes it to "smsset.ini".
    void N6Click();
    // Asks for channel 1's port name; a changed one is written to
    // "smsset.ini", the operator told to restart, and the application's
    // event loop ended.
    void N7Click();
    // A selected row's number, without a leading "+86", into MaskEdit1.
    void ListView1Click();
    void ListView2Click();

    // IEngineReports, main thread (ServiceCentre any thread).
    void LogLine(const std::string &line) override;
    void DeviceState(const std::string &text) override;
    void PortState(const std::string &text) override;
    void ReceivedRow(const std::string &caption, const std::string &text, const std::string &time) override;
    void SentRow(const std::string &number, const std::string &text, const std::string &time) override;
    void HideWindow() override;
    void ShowWindow() override;
    void QueuesChanged() override;
    std::string ServiceCentre() const override;
    QWidget *MonitorParent() override;

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
    void SaveQueues();

    bool FirstActivate = true;
    bool queuesLoaded_ = false;
    bool saveFailed_ = false;
    mutable std::mutex scaGuard_; // taken after the engine lock, never before
    std::string sca_;
};

extern TFMain *FMain;
// The engine's gateway; null until the engine start. Written once, before
// the drive thread starts.
extern TGateWay *Gateway;
extern TDriveThread *DriveThread;

// Program end, main thread, after the message loop: stops and joins the
// drive thread, destroys FMain (which writes the queue files) and frees the
// drive thread and the gateway (closing the port and the command server).
void engineEnd();
