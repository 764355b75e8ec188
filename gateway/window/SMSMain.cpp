#include "gateway/window/SMSMain.h"

#include "gateway/Channel.h"
#include "platform/ado/AdoText.h"
#include "platform/ui/Boxes.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QTreeWidget>

TFMain *FMain = nullptr;

namespace {

constexpr int kMonitorLines = 2000; // the hidden memo keeps the latest lines
constexpr int kListRows = 1000;     // each message list keeps the latest rows

QString qs(const std::string &s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

} // namespace

TFMain::TFMain(TEngineHost &host, QWidget *parent) : QMainWindow(parent), host_(host)
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
    host_.SaveQueues();
    if (FMain == this)
        FMain = nullptr;
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
    host_.ReadServiceCentre();
    for (const std::string &error : host_.LoadQueues())
        boxes::showError(qs(error));
}

void TFMain::Button1Click()
{
    host_.StartEngine();
    if (TGateWay *gateway = host_.Engine())
        for (int number = 1; number < static_cast<int>(gateway->Channels.size()); ++number)
            if (gateway->Channels[number])
                MakeMonitor(number);
}

void TFMain::Button3Click() { Send(MaskEdit1->text().toStdString(), Edit2->text().toStdString()); }

bool TFMain::SendFromDesk(const QString &number, const QString &text, const std::vector<std::string> &row)
{
    MaskEdit1->setText(number);
    Edit2->setText(text);
    switch (host_.HandOver(row, number.toStdString(), text.toStdString())) {
    case TEngineHost::THandOver::Queued:
        SentRow(number.toStdString(), text.toStdString(), DateTimeToStr(QDateTime::currentDateTime()));
        return true;
    case TEngineHost::THandOver::Refused: return true;
    case TEngineHost::THandOver::NotKept: break;
    }
    return false;
}

void TFMain::Send(const std::string &number, const std::string &text)
{
    if (host_.Send(number, text))
        SentRow(number, text, DateTimeToStr(QDateTime::currentDateTime()));
}

void TFMain::N6Click()
{
    const QString old = qs(FSCA());
    QString value = old;
    // Stored also on Cancel, as it stands.
    boxes::inputQuery(QStringLiteral("请输入新的中心号码"), QStringLiteral("(原中心号码是：") + old + u')', value);
    const std::string fault = host_.StoreServiceCentre(value.toStdString());
    if (!fault.empty())
        boxes::inform(this, qs(fault) + QStringLiteral("，中心号码仍是") + old, QStringLiteral("设置中心号码"),
                      boxes::Icon::Warning);
}

void TFMain::N7Click()
{
    const std::string port = host_.PortName();
    QString value = qs(port);
    boxes::inputQuery(QStringLiteral("串口设置"), QStringLiteral("请输入串口名称"), value);
    const std::string chosen = value.toStdString();
    if (chosen == port)
        return;
    host_.StorePortName(chosen);
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
    AddRow(ListView2, {qs(caption), qs(text), qs(time)});
}

void TFMain::SentRow(const std::string &number, const std::string &text, const std::string &time)
{
    AddRow(ListView1, {qs(number), qs(text), qs(time)});
}

void TFMain::AddRow(QTreeWidget *list, const QStringList &columns)
{
    new QTreeWidgetItem(list, columns);
    // A desk that runs for months: the oldest rows go, as the log pane's lines do.
    while (list->topLevelItemCount() > kListRows)
        delete list->takeTopLevelItem(0);
}

void TFMain::StoreState(const std::string &text)
{
    SBarPanels[4]->setText(qs(text));
    SBarPanels[4]->setVisible(!text.empty());
}

void TFMain::HideWindow() { hide(); }

void TFMain::ShowWindow()
{
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void TFMain::MonitorText(int channel, const std::string &text)
{
    if (channel < 1 || channel >= static_cast<int>(MonitorMemo.size()))
        return;
    MakeMonitor(channel);
    QString shown = qs(text);
    shown.replace(QChar('\r'), QChar('\n'));
    QTextCursor end(MonitorMemo[channel]->document());
    end.movePosition(QTextCursor::End);
    end.insertText(shown);
}

void TFMain::MakeMonitor(int number)
{
    if (CmdEdit[number])
        return;
    const int left = (number - 1) * 250 + 10;
    QLineEdit *edit = new QLineEdit(Panel2);
    edit->setObjectName("CmdEdit" + QString::number(number));
    edit->setGeometry(left, 10, 230, 25);
    auto *memo = new QPlainTextEdit(Panel2);
    memo->setObjectName("MonitorMemo" + QString::number(number));
    memo->setGeometry(left, 50, 230, 150);
    memo->setReadOnly(true);
    memo->setMaximumBlockCount(kMonitorLines);
    // EditKeyDown: Enter hands the typed line to the channel.
    connect(edit, &QLineEdit::returnPressed, this, [this, edit, number] {
        TGateWay *gateway = host_.Engine();
        if (!gateway || !gateway->Channels[number])
            return;
        gateway->Channels[number]->ChannelCtr->TypedLine(edit->text().toStdString());
        edit->clear();
    });
    CmdEdit[number] = edit;
    MonitorMemo[number] = memo;
}

void TEngineEnd::operator()(TEngineHost *host) const
{
    host->Stop();
    QString lost;
    for (const TQueueStore::TUnsaved &u : host->Unsaved())
        lost += QStringLiteral("\n%1：%2条（%3）").arg(qs(u.file)).arg(u.messages).arg(qs(u.why));
    delete host;
    if (!lost.isEmpty())
        boxes::inform(nullptr, QStringLiteral("以下队列中的短信未能保存到磁盘，程序退出后将丢失：") + lost,
                      QStringLiteral("澜星信使网关"), boxes::Icon::Warning);
}
