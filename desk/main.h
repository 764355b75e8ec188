#pragma once

#include <QMainWindow>
#include <QString>
#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

class EDatabaseError;
class QAction;
class QMdiSubWindow;
class QTimer;
class TMdiClient;
class TStatusBar;

// What the main window needs of the gateway engine. Installed once the
// gateway window exists; until then an empty hook means "no engine": no
// dial or phone-book request placed or dropped, nothing handed over (pending
// rows stay "未发"), no closing flag to set and nothing to wait for. The
// desk reaches the engine only through this link. Main thread.
struct TEngineLink {
    // Asks the engine to dial number, as given, on its next idle tick
    // (DialNumber); replaces a request not dialled yet.
    std::function<void(const std::string &number)> Dial;
    // Drops the engine's pending dial request (DialNumber).
    std::function<void()> ClearDialNumber;
    // Starts the SIM phone-book import from its first entry (PhoneBookIndex).
    std::function<void()> ImportPhoneBook;
    // Hands one message of a row (its key and values) to the gateway window
    // (FMain's SendFromDesk: the number and text into its send box, then
    // sent). True when the row is done with: its message is queued with the
    // engine and kept on disk, or its number was refused. False when it
    // could not be taken: the row is to go again on a later pass.
    std::function<bool(const QString &phone, const QString &text, const std::vector<std::string> &row)> SendToGateway;
    // The engine's hand-over journal: a row that was marked (or found
    // changed) leaves it; rows of an earlier run whose messages went into
    // the engine but whose mark may be missing, each once.
    std::function<void(const std::vector<std::string> &row)> HandOverMarked;
    std::function<std::vector<std::vector<std::string>>()> TakeHandedOver;
    // Appends a line to the engine's log pane.
    std::function<void(const QString &line)> LogLine;
    // Sets the gateway's closing flag (Gateway->Closing).
    std::function<void()> SetClosing;
    // True when every channel slot 1 to 8 of the gateway is empty or idle.
    std::function<bool()> AllIdle;
};

// The desk's main window: an MDI frame with the main menu, the status bar,
// the tiled background and the dispatch timers. Creating it runs the modal
// login; LoggedIn() then tells whether an operator logged in or the
// operator cancelled (the program then ends). Sets the global MainFrm.
// Defined in main.cpp; the dispatch loop and the task runner (Timer1Timer to
// Timer3Timer and their steps) in Dispatch.cpp.
class TMainFrm : public QMainWindow {
    Q_OBJECT
public:
    TMainFrm();
    ~TMainFrm() override;

    bool LoggedIn() const { return loggedIn_; }

    // The work code as typed at the successful login: the WORKCODE of every
    // operlog row and the value of the rights test.
    QString WorkCode;
    TEngineLink Engine;
    // Reloads the open task window; set by that window while it is open.
    std::function<void()> TaskWindowRefresh;
    // The shut-down wait: one step, and the time after which the operator
    // is asked whether to quit without waiting any longer.
    int ShutdownStepMs = 500;
    int ShutdownLimitMs = 60000;

    TMdiClient *MDIClient;
    TStatusBar *StatusBar1; // panel 1: the dispatch and LAN-message reports
    QTimer *Timer1;         // pending-SMS sender, 1000 ms
    QTimer *Timer2;         // the task runner's contact step; never started
    QTimer *Timer3;         // task runner, 5000 ms
    QAction *N1_old_old;    // "操作员管理" (hidden)
    QAction *N2_old_old;    // "联系人管理"
    QAction *N5_old_old;    // "任务管理"
    QAction *N4_old_old;    // "短消息定制管理" (hidden)
    QAction *N2;            // "签名设置"
    QAction *N3_old_old;    // "操作日志"
    QAction *N1;            // "关于"

    // Dispatch (main thread; no handler runs a message loop).
    // One pass of the pending-SMS sender: first marks "已发" the rows handed
    // over earlier whose mark failed; then hands the first "未发" row of
    // sms_tosend that was not handed over yet, with the signature appended,
    // to the gateway and marks that row "已发". A row handed over is never
    // handed over again by this window, and a database error (a lock held by
    // another program, a read-only folder) shows in status-bar panel 1 and,
    // once until a pass goes through again, in the engine's log: no box; so
    // is a row the gateway could not keep, left "未发" for a later pass.
    // Other errors (from the gateway) are thrown, the row left "未发".
    void Timer1Timer();
    // The contact step of the task runner alone: the earliest due "未执行"
    // task's named contacts (of one not held back) become "未发" rows. Does
    // not mark the task, so its own timer never starts; Timer3Timer runs the
    // same step inside each task's transaction.
    void Timer2Timer();
    // One pass of the task runner: the earliest due task, in one
    // transaction: the contact step, the task marked "已执行", its groups'
    // members as rows, in that order; then, once committed, the open task
    // window reloaded. At most one task runs per pass. A task whose run
    // fails leaves no row, stays "未执行" and is held back for TaskRetryMs
    // (or until the next start), said once in status-bar panel 1 and the
    // engine's log; the pass goes on with the next due task. A lock another
    // program holds is waited out for a few tens of ms only: the pass ends
    // and a later one runs the task; said once until a pass gets through,
    // as is a failure to read the tasks. Shows no box.
    void Timer3Timer();
    int TaskRetryMs = 5 * 60 * 1000; // how long a failed task is held back
    // The signature the sender appends: "" without the "QM" row; paramval in
    // square brackets when it holds more than blanks, unchanged otherwise.
    static QString Signature(bool rowFound, const QString &paramval);

    // Menu handlers.
    void N1_old_oldClick(); // the operator manager, after the rights test
    void N2_old_oldClick(); // the contacts window
    void N4_old_oldClick(); // the template manager
    void N2Click();         // the signature dialog; asks again after a failed write
    void N3_old_oldClick(); // the operation-log window
    void N5_old_oldClick(); // the task window
    void N1Click();         // the about box, not modal
    // The rights test before the operator manager opens: passes for the
    // supervisor's work code in any letter case, else tells the operator.
    bool RightsTest();
    static bool IsSupervisor(const QString &workCode);

    // Opening a management window, one per class: the open window of T's
    // exact class is brought to the front, else a new one is created into
    // global and shown maximised. The window is freed when it closes.
    template <class T> T *OpenManager(T *&global)
    {
        if (QMdiSubWindow *open = FindManager(T::staticMetaObject)) {
            BringToFront(open);
            return global;
        }
        global = new T;
        AddManager(global);
        return global;
    }
    QMdiSubWindow *FindManager(const QMetaObject &cls) const;
    void BringToFront(QMdiSubWindow *window);
    QMdiSubWindow *AddManager(QWidget *window);

    // The area that the background is tiled over.
    QSize ClientSize() const;

    // Window events.
    void FormActivate();
    // The exit question and the wait for the engine; true: the close goes on.
    bool FormCloseQuery();
    // Closes every MDI child, the least recently active first.
    void FormClose();

signals:
    // The window has closed after the shut-down: the program ends.
    void Closed();

protected:
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void FormCreate();
    // Runs one dispatch pass from its timer; an error ends the pass in the
    // error box and the timer runs on (a timer does not fire again while
    // its own box is up).
    void RunPass(void (TMainFrm::*pass)());
    // Rows handed over whose "已发" mark has not been written yet.
    struct THandedOver {
        std::int64_t row;
        std::string phone, message;
        // As the engine's hand-over journal keeps it, and back.
        std::vector<std::string> Fields() const;
        static std::optional<THandedOver> FromFields(const std::vector<std::string> &fields);
    };
    // Marks each remembered row (with those the engine found unmarked from
    // an earlier run); stops at the first database error, which it throws.
    // A row that no longer holds what was handed over is dropped.
    void MarkHandedOver();
    // Shows line in the status bar, and in the log pane once until the
    // dispatch works again.
    void DispatchFailed(const QString &what, const EDatabaseError &error);
    void DispatchFailed(const QString &line);
    // The task runner.
    struct TDueTask {
        std::string id, message;
    };
    // The earliest due "未执行" task that is not held back; false when none.
    bool NextDueTask(TDueTask &task);
    void ContactStep(const TDueTask &task);
    // Runs task in one transaction; false when it failed and is held back.
    // Throws EDatabaseError for another program's lock.
    bool RunTask(const TDueTask &task);
    void TaskRunnerReport(const QString &line);
    struct THeldBack {
        std::chrono::steady_clock::time_point retryAt;
        unsigned pass; // never tried again in the pass that it failed in
    };
    std::map<std::string, THeldBack> heldBack_;
    unsigned pass_ = 0;
    bool runnerStopped_ = false;
    std::vector<THandedOver> handedOver_;
    bool dispatchFailing_ = false;
    bool FirstActivate = true;
    bool loggedIn_ = false;
    bool closing_ = false;
};

extern TMainFrm *MainFrm;
