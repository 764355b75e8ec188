#include "gateway/SMSMain.h"

#include "gateway/DriveThread.h"
#include "gateway/GateWay.h"
#include "gateway/QueueFiles.h"
#include "platform/ado/AdoText.h"
#include "platform/text/Profile.h"
#include "platform/ui/Boxes.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

TFMain *FMain = nullptr;
TGateWay *Gateway = nullptr;
TDriveThread *DriveThread = nullptr;

namespace {

constexpr const char *kIniFile = "smsset.ini";
constexpr const char *kDefaultSca = "+8613800100500";

QString qs(const std::string &s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

// The centre number in national form: a leading "+86" and whatever follows
// the 13th character after it go.
std::string withoutPlus86(const std::string &sca)
{
    const QString s = qs(sca);
    if (!s.startsWith(QStringLiteral("+86")))
        return sca;
    return s.mid(3, 13).toStdString();
}

TSMSChannel *channel1() { return Gateway ? Gateway->Channels[1].get() : nullptr; }

} // namespace

TFMain::TFMain(QWidget *parent) : QMainWindow(parent)
{
    FormCreate();
    FMain = this;
    engine::setReports(this);
}

TFMain::~TFMain()
{
    // No report may reach the widgets from here on.
    if (engine::reports() == this)
        engine::setReports(nullptr);
    if (queuesLoaded_)
        if (TSMSChannel *channel = channel1())
            queuefiles::save(*channel);
    if (FMain == this)
        FMain = nullptr;
}

std::string TFMain::FSCA() const
{
    std::lock_guard lock(scaGuard_);
    return sca_;
}

void TFMain::SetFSCA(const std::string &value)
{
    std::lock_guard lock(scaGuard_);
    sca_ = value;
}

bool TFMain::event(QEvent *event)
{
    const bool handled = QMainWindow::event(event);
    if (event->type() == QEvent::WindowActivate)
        FormActivate();
    return handled;
}

void TFMain::closeEvent(QCloseEvent *event) { event->accept(); }

void TFMain::FormActivate()
{
    if (!FirstActivate)
        return;
    // Cleared first: a start that fails half way is not tried again.
    FirstActivate = false;
    Button1Click();
    Button3->setEnabled(true);
    SetFSCA(withoutPlus86(profile::getString("COMMON", "SCA", kDefaultSca, kIniFile)));
    if (TSMSChannel *channel = channel1()) {
        queuesLoaded_ = true;
        for (const std::string &error : queuefiles::load(*channel))
            boxes::showError(qs(error));
    }
}

void TFMain::Button1Click()
{
    if (Gateway)
        return;
    Gateway = new TGateWay;
    Gateway->Init("GW01");
    DriveThread = new TDriveThread(Gateway);
    DriveThread->Start();
}

void TFMain::Button3Click()
{
    if (!Gateway || !Gateway->CMPPSet || !Gateway->CMPPSet->EasyLinkCtr)
        return;
    const std::string number = MaskEdit1->text().toStdString();
    const std::string text = Edit2->text().toStdString();
    Gateway->CMPPSet->EasyLinkCtr->SendSMS(FSCA(), number, text);
    SentRow(number, text, DateTimeToStr(QDateTime::currentDateTime()));
}

void TFMain::N6Click()
{
    const QString old = qs(FSCA());
    QString value = old;
    if (boxes::inputQuery(QStringLiteral("请输入新的中心号码"), QStringLiteral("(原中心号码是：") + old + u')', value))
        SetFSCA(value.toStdString());
    // Written also on Cancel, as it stands; the file keeps a typed "+86".
    profile::writeString("COMMON", "SCA", FSCA(), kIniFile);
    SetFSCA(withoutPlus86(FSCA()));
}

void TFMain::N7Click()
{
    TSMSChannel *channel = channel1();
    const std::string port = channel ? channel->DeviceName() : profile::getString("CH1", "COMPORT", "COM1", kIniFile);
    QString value = qs(port);
    boxes::inputQuery(QStringLiteral("串口设置"), QStringLiteral("请输入串口名称"), value);
    const std::string chosen = value.toStdString();
    if (chosen == port)
        return;
    profile::writeString("CH1", "COMPORT", chosen, kIniFile);
    if (channel)
        channel->SetDeviceName(chosen);
    boxes::showMessage(QStringLiteral("串口设置完毕，须重新启动程序！"));
    // Ends the event loop only: no close question, no wait for the engine.
    QCoreApplication::exit(0);
}

void TFMain::ListView1Click() { ListViewClick(ListView1); }

void TFMain::ListView2Click() { ListViewClick(ListView2); }

void TFMain::ListViewClick(QTreeWidget *list)
{
    const QList<QTreeWidgetItem *> selected = list->selectedItems();
    if (selected.isEmpty())
        return;
    QString number = selected.first()->text(0);
    if (number.startsWith(QStringLiteral("+86")))
        number = number.mid(3, 20);
    MaskEdit1->setText(number);
}

void TFMain::LogLine(const std::string &line) { FXMemo->appendPlainText(qs(line)); }

void TFMain::DeviceState(const std::string &text) { SBarPanels[1]->setText(qs(text)); }

void TFMain::PortState(const std::string &text) { SBarPanels[3]->setText(qs(text)); }

void TFMain::ReceivedRow(const std::string &caption, const std::string &text, const std::string &time)
{
    new QTreeWidgetItem(ListView2, {qs(caption), qs(text), qs(time)});
}

void TFMain::SentRow(const std::string &number, const std::string &text, const std::string &time)
{
    new QTreeWidgetItem(ListView1, {qs(number), qs(text), qs(time)});
}

void TFMain::HideWindow() { hide(); }

void TFMain::ShowWindow()
{
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void TFMain::QueuesChanged() { SaveQueues(); }

void TFMain::SaveQueues()
{
    TSMSChannel *channel = channel1();
    if (!queuesLoaded_ || !channel)
        return;
    const std::vector<std::string> failed = queuefiles::save(*channel);
    // Said once when writing starts to fail, not on every change after.
    if (!failed.empty() && !saveFailed_) {
        std::string names;
        for (const std::string &name : failed)
            names += (names.empty() ? "" : ",") + name;
        LogLine("队列文件写入失败:" + names);
    }
    saveFailed_ = !failed.empty();
}

std::string TFMain::ServiceCentre() const { return FSCA(); }

QWidget *TFMain::MonitorParent() { return Panel2; }

void engineEnd()
{
    if (DriveThread) {
        DriveThread->RequestStop();
        DriveThread->Join();
    }
    delete FMain;
    delete DriveThread;
    DriveThread = nullptr;
    delete Gateway;
    Gateway = nullptr;
}
