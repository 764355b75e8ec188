// The contacts window's contact actions and received messages.
#include "desk/TermMan.h"

#include "codec/Text.h"
#include "data/DM1.h"
#include "desk/DeskDb.h"
#include "desk/ListView.h"
#include "desk/NewSMS.h"
#include "desk/ReadSMS.h"
#include "desk/StatusBar.h"
#include "desk/about.h"
#include "desk/main.h"
#include "platform/ado/Ado.h"
#include "platform/ado/AdoText.h"
#include "platform/lan/NetMessage.h"
#include "platform/ui/Boxes.h"

#include <QLabel>
#include <QMenu>
#include <QTime>
#include <QUrl>

const QString TfrmTermMan::MailAddress = QStringLiteral("support@lanxing.example.com");
const QString TfrmTermMan::LanSender = QStringLiteral("澜星信使");

namespace {

const QString Unread = QStringLiteral("未读短信");
const QString Read = QStringLiteral("已读短信");

QString text(TField *field) { return QString::fromStdString(field->AsString()); }

// A number the modem can be asked to dial: nothing in it ends the command
// line or chains another command to it.
bool dialable(const std::string &number)
{
    for (const unsigned char c : number)
        if (c < 32 || c == 127 || c == ';')
            return false;
    return !strings::trimmed(number).empty();
}

} // namespace

void TfrmTermMan::buildContactActions()
{
    TreeView2->NodeIcon = TreeView1->NodeIcon;
    QTreeWidgetItem *root = TreeView2->AddNode(nullptr, QStringLiteral("通信记录"));
    for (const QString &name :
         {Unread, Read, QStringLiteral("未接来电"), QStringLiteral("已接来电"), QStringLiteral("已拨电话")})
        TreeView2->AddNode(root, name);
    TreeView2->expandAll();
    TreeView2->Collapsing = [](QTreeWidgetItem *) { return false; };
    connect(TreeView2, &QTreeWidget::itemSelectionChanged, this, [this] {
        const QList<QTreeWidgetItem *> selected = TreeView2->selectedItems();
        if (!selected.isEmpty())
            TreeView2Change(selected.front());
    });
    connect(TreeView2, &TTreeView::Click, this, [this] { TreeView2Click(); });
    connect(TreeView1, &TTreeView::Click, this, [this] { TreeView1Click(); });

    ListView3 = new TListView(this);
    ListView3->setObjectName("ListView3");
    for (const auto &[caption, width] : {std::pair{"手机号码", 100}, {"内容", 200}, {"时间", 100}})
        ListView3->AddColumn(QString::fromUtf8(caption), width);
    PlaceList(ListView3);
    connect(ListView3, &TListView::DblClick, this, [this] { ListView3DblClick(); });

    PopupMenu3 = new QMenu(this);
    PopupMenu3->setObjectName("PopupMenu3");
    N5 = PopupMenu3->addAction(QStringLiteral("发送短消息"), this, [this] { N5Click(); });
    N5->setObjectName("N5");
    N6 = PopupMenu3->addAction(QStringLiteral("呼叫手机"), this, [this] { N6Click(); });
    N6->setObjectName("N6");
    N7 = PopupMenu3->addAction(QStringLiteral("发电子邮件"), this, [this] { N7Click(); });
    N7->setObjectName("N7");
    N8 = PopupMenu3->addAction(QStringLiteral("发网络消息"), this, [this] { N8Click(); });
    N8->setObjectName("N8");
    ListView(1)->SetPopupMenu(PopupMenu3);
    connect(read1, &QAction::triggered, this, [this] { read1Click(); });
}

// --- received messages -------------------------------------------------------

void TfrmTermMan::showReceived()
{
    ListView3->setVisible(true);
    ListView3->raise();
}

void TfrmTermMan::TreeView2Change(QTreeWidgetItem *node)
{
    node->setExpanded(true);
    if (node->text(0) == Unread)
        showReceived();
}

void TfrmTermMan::TreeView2Click()
{
    const QList<QTreeWidgetItem *> selected = TreeView2->selectedItems();
    if (selected.isEmpty())
        return;
    const QString name = selected.front()->text(0);
    if (name != Unread && name != Read)
        return;
    showReceived();
    desk::fillList(ListView3,
                   "select * from  sms_toread where READFLAG=" +
                       desk::quoted(name == Unread ? QStringLiteral("未读") : QStringLiteral("已读")) +
                       " order by time",
                   {"PHONE", "MESSAGE", "TIME"}, -1);
}

void TfrmTermMan::TreeView1Click() { ListView3->setVisible(false); }

void TfrmTermMan::ListView3DblClick()
{
    const int row = ListView3->Selected();
    if (row < 0)
        return;
    const QString phone = ListView3->Caption(row);
    const QString message = ListView3->SubItem(row, 0);
    QString sender;
    {
        TAdoQuery &q = desk::Db().Query1;
        ado::OperatorWait wait(desk::Db().Database1);
        desk::open(q, "select * from  client where contact=" + desk::quoted(phone));
        if (!q.IsEmpty())
            sender = text(q.FieldByName("CLIENTID"));
        // Every copy of the message is read now, whatever the operator does next.
        desk::open(q, "select * from  sms_toread where phone=" + desk::quoted(phone) +
                          "and message=" + desk::quoted(message));
        if (!q.IsEmpty())
            for (; !q.Eof(); q.Next()) {
                q.Edit();
                q.FieldByName("READFLAG")->SetAsString("已读");
                q.Post();
            }
        q.Close();
    }
    ListView3->RemoveItem(row);
    TfrmReadSMS dialog(sender, phone, message);
    dialog.exec();
}

// --- contact actions ---------------------------------------------------------

QString TfrmTermMan::chosenContact()
{
    TListView *contacts = ListView(1);
    if (contacts->Selected() < 0) {
        boxes::showMessage(QStringLiteral("请选择一个联系人"));
        return {};
    }
    return contacts->Caption(contacts->Selected());
}

void TfrmTermMan::N5Click()
{
    const QString key = chosenContact();
    if (key.isEmpty())
        return;
    TfrmNewSMS dialog(key, LabelMobile->text());
    dialog.exec();
}

void TfrmTermMan::N6Click()
{
    const QString key = chosenContact();
    if (key.isEmpty())
        return;
    std::string number;
    TAdoQuery &q = desk::open(desk::Db().Query1, "select * from  client where clientid=" + desk::quoted(key));
    if (!q.IsEmpty()) {
        number = q.FieldByName("CONTACT")->AsString();
        if (number.empty())
            number = q.FieldByName("PHONE")->AsString();
    }
    q.Close();
    if (!dialable(number)) {
        boxes::showMessage(QStringLiteral("呼叫失败，没有被叫号码!"));
        return;
    }
    if (MainFrm && MainFrm->Engine.Dial)
        MainFrm->Engine.Dial(number);
}

void TfrmTermMan::N7Click() { openLink(QUrl(QStringLiteral("mailto:") + MailAddress)); }

void TfrmTermMan::N8Click()
{
    const QString key = chosenContact();
    if (key.isEmpty())
        return;
    QString recipient;
    TAdoQuery &q = desk::open(desk::Db().Query1, "select * from  client where clientid=" + desk::quoted(key));
    if (!q.IsEmpty())
        recipient = text(q.FieldByName("LanID"));
    q.Close();
    QString message;
    if (!boxes::inputQuery(QStringLiteral("请输入网络消息"), QStringLiteral("内容"), message))
        return;
    // The report outlives this window: it goes to the main window's status bar.
    QObject *context = MainFrm ? static_cast<QObject *>(MainFrm) : this;
    lan::sendMessage(context, recipient, LanSender, message, [recipient](bool sent) {
        if (MainFrm)
            MainFrm->StatusBar1->SetPanelText(1, QStringLiteral("发送消息到[") + recipient +
                                                     (sent ? QStringLiteral("]成功!") : QStringLiteral("]失败!")) +
                                                     QStringLiteral(" 时间：") +
                                                     QTime::currentTime().toString(LongTimeFormat()));
    });
}

void TfrmTermMan::read1Click()
{
    if (MainFrm && MainFrm->Engine.ImportPhoneBook)
        MainFrm->Engine.ImportPhoneBook();
}
