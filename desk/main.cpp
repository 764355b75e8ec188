#include "desk/main.h"

#include "data/DM1.h"
#include "desk/DeskDb.h"
#include "desk/Login.h"
#include "desk/MdiClient.h"
#include "desk/OperLog.h"
#include "desk/Operman.h"
#include "desk/Pictures.h"
#include "desk/SmsCustom.h"
#include "desk/StatusBar.h"
#include "desk/TaskMan.h"
#include "desk/TermMan.h"
#include "desk/about.h"
#include "platform/ado/Ado.h"
#include "platform/ui/Boxes.h"
#include "platform/ui/Placement.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QThread>
#include <QTimer>
#include <exception>

TMainFrm *MainFrm = nullptr;

TMainFrm::TMainFrm()
    : MDIClient(new TMdiClient(
          pictures::BackgroundTile(), [this] { return ClientSize(); }, this)),
      StatusBar1(new TStatusBar({50, 50}, this)), Timer1(new QTimer(this)), Timer2(new QTimer(this)),
      Timer3(new QTimer(this))
{
    MainFrm = this; // the login reaches the window through the global
    setObjectName("MainFrm");
    setWindowTitle(QStringLiteral("澜星信使V1.1"));
    MDIClient->setObjectName("MDIClient");
    setCentralWidget(MDIClient);
    StatusBar1->setObjectName("StatusBar1");
    setStatusBar(StatusBar1);

    const std::pair<QTimer *, int> timers[] = {{Timer1, 1000}, {Timer2, 2000}, {Timer3, 5000}};
    int n = 1;
    for (const auto &[timer, interval] : timers) {
        timer->setObjectName(QStringLiteral("Timer%1").arg(n++));
        timer->setInterval(interval);
    }
    connect(Timer1, &QTimer::timeout, this, [this] { RunPass(&TMainFrm::Timer1Timer); });
    connect(Timer2, &QTimer::timeout, this, [this] { RunPass(&TMainFrm::Timer2Timer); });
    connect(Timer3, &QTimer::timeout, this, [this] { RunPass(&TMainFrm::Timer3Timer); });

    auto *menu = new QMenuBar(this);
    menu->setObjectName("MainMenu1");
    setMenuBar(menu);
    auto item = [menu](const char *name, const QString &caption) {
        QAction *a = menu->addAction(caption);
        a->setObjectName(name);
        return a;
    };
    N1_old_old = item("N1_old_old", QStringLiteral("操作员管理"));
    N2_old_old = item("N2_old_old", QStringLiteral("联系人管理"));
    N5_old_old = item("N5_old_old", QStringLiteral("任务管理"));
    N4_old_old = item("N4_old_old", QStringLiteral("短消息定制管理"));
    N2 = item("N2", QStringLiteral("签名设置"));
    N3_old_old = item("N3_old_old", QStringLiteral("操作日志"));
    N1 = item("N1", QStringLiteral("关于"));
    N1_old_old->setVisible(false);
    N4_old_old->setVisible(false);
    connect(N1_old_old, &QAction::triggered, this, [this] { N1_old_oldClick(); });
    connect(N2_old_old, &QAction::triggered, this, [this] { N2_old_oldClick(); });
    connect(N5_old_old, &QAction::triggered, this, [this] { N5_old_oldClick(); });
    connect(N4_old_old, &QAction::triggered, this, [this] { N4_old_oldClick(); });
    connect(N2, &QAction::triggered, this, [this] { N2Click(); });
    connect(N3_old_old, &QAction::triggered, this, [this] { N3_old_oldClick(); });
    connect(N1, &QAction::triggered, this, [this] { N1Click(); });

    resize(648, 425 + menu->sizeHint().height() + StatusBar1->sizeHint().height());
    placement::place(this, true);
    FormCreate();
}

TMainFrm::~TMainFrm()
{
    if (MainFrm == this)
        MainFrm = nullptr;
}

void TMainFrm::FormCreate()
{
    FirstActivate = true;
    TfrmLogin login;
    frmLogin = &login;
    loggedIn_ = login.exec() == QDialog::Accepted;
    frmLogin = nullptr;
}

QSize TMainFrm::ClientSize() const { return {width(), height() - (menuWidget() ? menuWidget()->height() : 0)}; }

void TMainFrm::RunPass(void (TMainFrm::*pass)())
{
    try {
        (this->*pass)();
    } catch (const std::exception &e) {
        boxes::showError(e);
    }
}

void TMainFrm::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        FormActivate();
}

void TMainFrm::FormActivate()
{
    // A number the contacts window asked to dial and the engine has not
    // dialled yet is dropped.
    if (Engine.ClearDialNumber)
        Engine.ClearDialNumber();
    if (FirstActivate) {
        FirstActivate = false;
        // The contacts window, on its first node ("联系人": every contact).
        N2_old_oldClick();
        if (frmTermMan && frmTermMan->TreeView1->topLevelItemCount() > 0)
            frmTermMan->TreeView1->setCurrentItem(frmTermMan->TreeView1->topLevelItem(0));
    }
}

// --- management windows ----------------------------------------------------

QMdiSubWindow *TMainFrm::FindManager(const QMetaObject &cls) const
{
    // From the last child (the one at the bottom) to the first.
    for (QMdiSubWindow *w : MDIClient->subWindowList(QMdiArea::StackingOrder))
        if (w->widget() && w->widget()->metaObject() == &cls)
            return w;
    return nullptr;
}

void TMainFrm::BringToFront(QMdiSubWindow *window)
{
    window->showMaximized();
    MDIClient->setActiveSubWindow(window);
}

QMdiSubWindow *TMainFrm::AddManager(QWidget *window)
{
    QMdiSubWindow *sub = MDIClient->addSubWindow(window);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->setWindowIcon(pictures::recordImage(3));
    sub->showMaximized();
    MDIClient->setActiveSubWindow(sub);
    return sub;
}

void TMainFrm::N2_old_oldClick() { OpenManager(frmTermMan); }

void TMainFrm::N3_old_oldClick() { OpenManager(frmOperLog); }

void TMainFrm::N1_old_oldClick()
{
    if (QMdiSubWindow *open = FindManager(TOperManage::staticMetaObject)) {
        BringToFront(open);
        return;
    }
    if (RightsTest())
        OpenManager(OperManage);
}

void TMainFrm::N4_old_oldClick() { OpenManager(frmSMSCustom); }

void TMainFrm::N5_old_oldClick() { OpenManager(frmTaskMan); }

bool TMainFrm::IsSupervisor(const QString &workCode)
{
    QString upper = workCode;
    for (QChar &c : upper)
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - 'a' + 'A');
    return upper == QLatin1String("KELVO");
}

bool TMainFrm::RightsTest()
{
    if (IsSupervisor(WorkCode))
        return true;
    boxes::inform(frmLogin, QStringLiteral("您没有操作权限"), QStringLiteral("操作失败！"));
    return false;
}

// --- signature and about ---------------------------------------------------

void TMainFrm::N2Click()
{
    const std::string sql = "select * from  param where paramid='QM'";
    TAdoQuery &q = desk::Db().Query1;
    desk::open(q, sql);
    QString text = q.IsEmpty() ? QString() : QString::fromStdString(q.FieldByName("paramval")->AsString());
    q.Close();
    // A failed write is told and the box comes back with the typed text, so
    // only Cancel leaves the stored signature as it was.
    while (boxes::inputQuery(QStringLiteral("签名设置  "), QStringLiteral("请输入短信签名    "), text)) {
        try {
            // The timers use Query1 while the box is up: run the statement afresh.
            ado::OperatorWait wait(desk::Db().Database1);
            desk::open(q, sql);
            if (q.IsEmpty()) {
                q.Append();
                q.FieldByName("paramid")->SetAsString("QM");
            } else {
                q.Edit();
            }
            q.FieldByName("paramval")->SetAsString(text.toStdString());
            q.Post();
            q.Close();
            return;
        } catch (const std::exception &e) {
            desk::tellFailed(e);
        }
    }
}

void TMainFrm::N1Click()
{
    if (!frmAbout) // made hidden at the start (desk::TDeskProcess)
        return;
    frmAbout->show();
    frmAbout->raise();
    frmAbout->activateWindow();
}

// --- shut-down ---------------------------------------------------------------

void TMainFrm::closeEvent(QCloseEvent *event)
{
    if (closing_ || !FormCloseQuery()) { // a second close while waiting is ignored
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
    emit Closed();
}

bool TMainFrm::FormCloseQuery()
{
    if (!boxes::confirm(this, QStringLiteral("您确定要退出澜星信使吗？"), QStringLiteral("退出程序")))
        return false;
    closing_ = true;
    // The engine starts no new exchange from now on; its
    // drive thread keeps ticking so that the exchange in progress ends.
    if (Engine.SetClosing)
        Engine.SetClosing();
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        QThread::msleep(ShutdownStepMs);
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (!Engine.AllIdle || Engine.AllIdle())
            return true;
        // Say why the windows stay; each step, as the dispatch loop may have
        // written its own report meanwhile.
        StatusBar1->SetPanelText(1, QStringLiteral("正在等待短信网关发完当前的短信，发完后自动退出……"));
        StatusBar1->repaint();
        if (waited.elapsed() >= ShutdownLimitMs) {
            // An engine that never reaches idle must not keep the desk open
            // for ever; the queue files keep what was not sent.
            if (boxes::confirm(this,
                               QStringLiteral("短信网关的通讯仍未结束。未发出的短信已保存，下次启动时继续发送。\n"
                                              "仍要退出澜星信使吗？"),
                               QStringLiteral("退出程序")))
                return true;
            waited.restart();
        }
    }
}

void TMainFrm::FormClose()
{
    // From the last child (the one at the bottom) to the first.
    for (QMdiSubWindow *w : MDIClient->subWindowList(QMdiArea::StackingOrder))
        w->close();
}
