#include "desk/TermMan.h"

#include "data/DM1.h"
#include "desk/CGroupDialogs.h"
#include "desk/CoolBar.h"
#include "desk/DeskDb.h"
#include "desk/EditClient.h"
#include "desk/ListView.h"
#include "desk/NewClient.h"
#include "desk/StatusBar.h"
#include "platform/ado/Ado.h"
#include "platform/ui/Boxes.h"

#include <QComboBox>
#include <QDialog>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QToolButton>
#include <memory>

TfrmTermMan *frmTermMan = nullptr;
QString NewGroupName;

namespace {

const QString Contacts = QStringLiteral("联系人");
const QString Groups = QStringLiteral("组");
const QString PhoneBook = QStringLiteral("手机电话本");

TManagerLook look()
{
    TManagerLook l;
    l.caption = QStringLiteral("联系人和组管理");
    l.popupOffset = 70;
    l.operateCaption = QStringLiteral("操作");
    l.viewCaption = QStringLiteral("查看");
    l.dblClickEmptyNew = true;
    l.captionedButtons = true;
    l.smallIconButton = false;
    l.statusBarShown = false;
    l.findBox = true;
    l.detailPanel = true;
    l.secondTree = true;
    l.treeDragDrop = true;
    return l;
}

// The New and Edit dialogs of the contacts (TfrmNewClient, TfrmEditClient)
// and of the groups (TfrmNewCGroup, TfrmEditCGroup).
std::vector<TManagerCategory> categories(TfrmTermMan *window)
{
    return {{Contacts,
             {{QStringLiteral("用户名称"), 100}, {QStringLiteral("手机号码"), 100}, {QStringLiteral("用户描述"), 300}},
             true,
             [] { return new TfrmNewClient; },
             [window] { return new TfrmEditClient(window, window->ListView(1)); },
             {"Client", "CLIENTID"}},
            {Groups,
             {{QStringLiteral("名称"), 100}, {QStringLiteral("描述"), 300}},
             false,
             [] { return new TfrmNewCGroup; },
             [window] { return new TfrmEditCGroup(window); },
             {"CGroup", "GroupName"}}};
}

QString text(TField *field) { return QString::fromStdString(field->AsString()); }

} // namespace

TfrmTermMan::TfrmTermMan()
    : TManagerFrame(look(), categories(this)), LabelMobile(new QLabel(Panel2)), LabelPhone(new QLabel(Panel2)),
      LabelEmail(new QLabel(Panel2)), LabelFax(new QLabel(Panel2)), PopupMenu4(new QMenu(this))
{
    setObjectName("frmTermMan");
    auto *details = new QHBoxLayout(Panel2);
    const struct {
        const char *caption;
        QLabel *label;
        const char *name;
    } lines[] = {{"手 机:", LabelMobile, "LabelMobile"},
                 {"电 话:", LabelPhone, "LabelPhone"},
                 {"邮 件:", LabelEmail, "LabelEmail"},
                 {"传 真:", LabelFax, "LabelFax"}};
    for (const auto &line : lines) {
        line.label->setObjectName(line.name);
        line.label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        details->addWidget(new QLabel(QString::fromUtf8(line.caption), Panel2));
        details->addWidget(line.label, 1);
    }

    PopupMenu4->setObjectName("PopupMenu4");
    N10 = PopupMenu4->addAction(QStringLiteral("新增用户"), this, [this] { N10Click(); });
    N10->setObjectName("N10");
    N9 = PopupMenu4->addAction(QStringLiteral("删除"), this, [this] { N9Click(); });
    N9->setObjectName("N9");
    read1 = PopupMenu4->addAction(QStringLiteral("读入手机电话本"));
    read1->setObjectName("read1");
    N11 = PopupMenu4->addAction(QStringLiteral("编辑组"), this, [this] { N11Click(); });
    N11->setObjectName("N11");
    TreeView1->PopupMenu = PopupMenu4;
    buildContactActions();

    // FormCreate: the contacts list in front, the tree from its file; the
    // first Refresh only after a whole tree was read.
    ShowList(ListView(1));
    Panel2->setVisible(true);
    if (LoadTree(QStringLiteral("TreeView.Txt"), QStringLiteral("TreeView.txt")))
        Refresh();
}

TfrmTermMan::~TfrmTermMan()
{
    if (frmTermMan == this)
        frmTermMan = nullptr;
}

void TfrmTermMan::FormActivate() { loadGroups(); }

// --- lists -------------------------------------------------------------------

void TfrmTermMan::Refresh()
{
    const QTreeWidgetItem *node = SelectedNode();
    if (!node)
        return;
    if (node->text(0) == Groups)
        loadGroups();
    else
        DispClientsByGroup(node->text(0) == Contacts ? QStringLiteral("ALL") : node->text(0));
}

void TfrmTermMan::loadGroups()
{
    desk::fillList(ListView(2), "select * from  cgroup order by discribe", {"GROUPNAME", "DISCRIBE"}, 3);
}

void TfrmTermMan::DispClientsByGroup(const QString &group)
{
    TListView *list = ListView(1);
    detailKey_.clear();
    if (group != QLatin1String("ALL")) {
        desk::fillList(list, "select * from  client_cgroup where groupname=" + desk::quoted(group), {"CLIENTID"}, 2);
        return;
    }
    list->Clear();
    const TListUpdate update(list);
    TAdoQuery &q = desk::open(desk::Db().Query1, "select * from  client order by  clientid");
    if (!q.IsEmpty()) {
        TField *id = q.FieldByName("CLIENTID");
        TField *contact = q.FieldByName("CONTACT");
        TField *name = q.FieldByName("NAME");
        TField *person = q.FieldByName("PERSONID");
        TField *sex = q.FieldByName("Sex");
        for (; !q.Eof(); q.Next())
            list->AddItem(text(id), {text(contact), text(name), text(person)}, sex->AsString() == "女" ? 1 : 0);
    }
    q.Close();
}

void TfrmTermMan::showContacts(const QString &group)
{
    ShowList(ListView(1));
    Panel2->setVisible(true);
    DispClientsByGroup(group);
}

void TfrmTermMan::showGroups()
{
    ShowList(ListView(2));
    Panel2->setVisible(false);
}

void TfrmTermMan::TreeView1Change(QTreeWidgetItem *node)
{
    const QString name = node->text(0);
    if (name == Groups) {
        showGroups();
        Refresh();
    }
    if (name == Contacts)
        showContacts(QStringLiteral("ALL"));
    if (node->parent() && node->parent()->text(0) != Contacts)
        showContacts(name);
    CoolBar1->SpeedButton(10)->setEnabled(false);
    CoolBar1->SpeedButton(11)->setEnabled(false);
}

void TfrmTermMan::ListSelectItem(TListView *list, int row, bool selected)
{
    TManagerFrame::ListSelectItem(list, row, selected);
    if (list != ListView(1))
        return;
    const int first = list->Selected();
    if (first < 0) {
        detailKey_.clear(); // the labels keep their texts
        return;
    }
    // A selection of many rows reports each; look the contact up once.
    const QString key = list->Caption(first);
    if (key == detailKey_ && !key.isEmpty())
        return;
    detailKey_ = key;
    TAdoQuery &q = desk::open(desk::Db().Query1, "select * from client where clientid=" + desk::quoted(key));
    const bool found = !q.IsEmpty();
    LabelMobile->setText(found ? text(q.FieldByName("CONTACT")) : QString());
    LabelPhone->setText(found ? text(q.FieldByName("PHONE")) : QString());
    LabelFax->setText(found ? text(q.FieldByName("FAX")) : QString());
    LabelEmail->setText(found ? text(q.FieldByName("EMAIL")) : QString());
    q.Close();
}

// --- commands ----------------------------------------------------------------

void TfrmTermMan::SpeedButton12Click()
{
    const TManagerCategory *c = CategoryOf(CurrentList);
    if (!c || !c->newDialog)
        return;
    std::unique_ptr<QDialog> dialog(c->newDialog());
    if (CurrentList == ListView(2)) {
        if (dialog->exec() != QDialog::Accepted)
            return;
        if (auto *made = qobject_cast<TfrmNewCGroup *>(dialog.get()); made && TreeView1->topLevelItemCount() > 1)
            for (const QString &name : made->CreatedNames)
                TreeView1->AddNode(TreeView1->topLevelItem(1), name);
        Refresh();
        return;
    }
    const QTreeWidgetItem *node = SelectedNode();
    if (node && node->parent() && node->text(0) != Contacts)
        if (auto *group = dialog->findChild<QComboBox *>("ComboBox1"))
            group->setCurrentText(node->text(0));
    if (dialog->exec() == QDialog::Accepted)
        Refresh();
}

void TfrmTermMan::N10Click()
{
    if (SelectedNode())
        SpeedButton12Click();
}

void TfrmTermMan::SpeedButton11Click()
{
    const QTreeWidgetItem *node = SelectedNode();
    if (!CurrentList || CurrentList->Selected() < 0 || !node)
        return;
    if (node->parent())
        removeMembership(node->text(0), CurrentList->Caption(CurrentList->Selected()));
    else
        TManagerFrame::SpeedButton11Click();
}

void TfrmTermMan::removeMembership(const QString &group, const QString &key)
{
    if (!boxes::confirm(this,
                        QStringLiteral("您确认从") + group + QStringLiteral("中去除") + key + QStringLiteral("吗?"),
                        QStringLiteral("从组中去除联系人")))
        return;
    ado::OperatorWait wait(desk::Db().Database1);
    desk::exec(desk::Db().Query1, "delete * from client_cgroup where clientid=" + desk::quoted(key) +
                                      " and groupname=" + desk::quoted(group));
    RemoveKeyRow(key);
    StatusBar1->SetPanelText(0, QStringLiteral("从") + group + QStringLiteral("中去除") + key);
}

bool TfrmTermMan::RefuseConfirmedDelete(const QString &category, const QString &key)
{
    if (category != Contacts)
        return false;
    TAdoQuery &q = desk::open(desk::Db().Query1, "select * from terminate where clientid=" + desk::quoted(key));
    const bool terminal = !q.IsEmpty();
    q.Close();
    if (terminal)
        boxes::confirm(this,
                       QStringLiteral("对不起，该联系人占用了短消息终端，不能删除\r\n"
                                      "若要删除该联系人，请先对相应终端中的联系人编码进行清除"),
                       QStringLiteral("操作失败！"));
    return terminal;
}

void TfrmTermMan::Deleted(const QString &category, const QString &key)
{
    // The group's node goes only once the group is gone from the database.
    if (category != Groups || TreeView1->topLevelItemCount() < 2)
        return;
    QTreeWidgetItem *root = TreeView1->topLevelItem(1);
    for (int i = 0; i < root->childCount(); ++i)
        if (root->child(i)->text(0) == key) {
            delete root->child(i);
            return;
        }
}

void TfrmTermMan::N11Click()
{
    const QTreeWidgetItem *node = SelectedNode();
    if (!node || !node->parent())
        return;
    showGroups(); // not reloaded; the tree keeps its selection
    TListView *groups = ListView(2);
    for (int row = 0; row < groups->Count(); ++row)
        if (groups->Caption(row).compare(node->text(0), Qt::CaseInsensitive) == 0) {
            groups->SetSelected(row, true);
            SpeedButton10Click();
            return;
        }
    boxes::showMessage(node->text(0) + QStringLiteral("不存在"));
}

void TfrmTermMan::N9Click()
{
    QTreeWidgetItem *node = SelectedNode();
    if (!node)
        return;
    const QString name = node->text(0);
    if (name == PhoneBook || name == Contacts || name == Groups)
        return;
    if (boxes::confirm(this, QStringLiteral("你确定删除") + name + QStringLiteral("吗?"), QStringLiteral("删除组")))
        delete node; // the database keeps the group and its members
}

// --- the group tree ----------------------------------------------------------

bool TfrmTermMan::TreeView1Collapsing(QTreeWidgetItem *node) { return node->text(0) != Groups; }

bool TfrmTermMan::TreeView1DragOver(QObject *source, const TTreeView::THit &hit)
{
    if (!hit.node)
        return true;
    if (hit.node->text(0) == Contacts)
        return false;
    if (source == TreeView1)
        if (const QTreeWidgetItem *dragged = SelectedNode())
            return hit.node->text(0) != dragged->text(0) && dragged->text(0) != Contacts;
    return true;
}

void TfrmTermMan::TreeView1DragDrop(QObject *source, const TTreeView::THit &hit)
{
    if (!hit.node)
        return;
    if (source == TreeView1) {
        moveGroupNode(hit.node, hit);
        return;
    }
    TListView *list = ListOf(source);
    if (!list || list->Selected() < 0)
        return;
    const QString key = list->Caption(list->Selected());
    if (list == ListView(1)) {
        if (hit.node->text(0) != Contacts && hit.node->text(0) != Groups)
            addMember(key, hit.node->text(0));
    } else if (list == ListView(2)) {
        TreeView1->AddNode(hit.node, key);
    }
}

void TfrmTermMan::moveGroupNode(QTreeWidgetItem *target, const TTreeView::THit &hit)
{
    QTreeWidgetItem *node = SelectedNode();
    if (!node || target->text(0) == Contacts)
        return;
    bool asChild;
    switch (hit.part) {
    case TTreeView::THitPart::Icon:
    case TTreeView::THitPart::Label: asChild = true; break;
    case TTreeView::THitPart::Indent: asChild = false; break;
    default: return;
    }
    if (TTreeView::InSubtree(target, node))
        return;
    // The node moves only once its group's row is stored, so the tree (and
    // the file written from it) never shows a move the database refused.
    try {
        ado::OperatorWait wait(desk::Db().Database1);
        TAdoQuery &q =
            desk::open(desk::Db().Query1, "select * from cgroup where groupname=" + desk::quoted(node->text(0)));
        if (!q.IsEmpty()) { // Edit on an empty result would append a group
            q.Edit();
            q.FieldByName("parent")->SetAsString(target->text(0).toStdString());
            q.Post();
        }
        q.Close();
    } catch (const std::exception &e) {
        desk::tellFailed(e);
        return;
    }
    TreeView1->MoveNode(node, target, asChild);
}

void TfrmTermMan::addMember(const QString &key, const QString &group)
{
    TAdoQuery &q = desk::Db().Query1;
    ado::OperatorWait wait(desk::Db().Database1);
    const std::string where = " where clientid=" + desk::quoted(key) + " and groupname=" + desk::quoted(group);
    desk::open(q, "select * from client_cgroup" + where);
    const bool member = !q.IsEmpty();
    q.Close();
    if (member)
        return;
    StatusBar1->SetPanelText(0, QStringLiteral("添加") + key + QStringLiteral("到") + group);
    desk::open(q, "select * from client_cgroup");
    q.Append();
    q.FieldByName("CLIENTID")->SetAsString(key.toStdString());
    q.FieldByName("GROUPNAME")->SetAsString(group.toStdString());
    q.Post();
    q.Close();
}
