#include "desk/CGroupDialogs.h"

#include "codec/Gbk.h"
#include "data/DM1.h"
#include "desk/DeskDb.h"
#include "desk/ManagerFrame.h"
#include "desk/TermMan.h"
#include "platform/ado/Ado.h"
#include "platform/ui/Boxes.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTreeWidget>

using desk::fieldText;
using desk::setField;

TfrmNewCGroup *frmNewCGroup = nullptr;
TfrmEditCGroup *frmEditCGroup = nullptr;

namespace {

// Why the tree file would not give name back as the same node ("" when it
// would): its reader takes leading blanks and TABs for levels, a line
// break ends the line, and GBK turns what it cannot hold into "?".
QString nameFault(const QString &name)
{
    if (name.isEmpty())
        return QStringLiteral("组名不能为空！");
    for (const QChar c : name)
        if (c.category() == QChar::Other_Control)
            return QStringLiteral("组名中不能有制表符、换行符等控制字符！");
    if (name.front().isSpace() || name.back().isSpace())
        return QStringLiteral("组名的开头和结尾不能是空格！");
    for (const char32_t c : name.toUcs4()) {
        const QString one = QString::fromUcs4(&c, 1);
        if (const std::string utf8 = one.toStdString(); gbk::toUtf8(gbk::fromUtf8(utf8)) != utf8)
            return QStringLiteral("组名中的字符“%1”不能保存到组树文件中，请换用其他字符！").arg(one);
    }
    return {};
}

bool nameFits(const QString &name)
{
    const QString fault = nameFault(name);
    if (fault.isEmpty())
        return true;
    boxes::showMessage(fault);
    return false;
}

} // namespace

// --- new ---------------------------------------------------------------------

TfrmNewCGroup::TfrmNewCGroup()
    : TNewRecordDialog({QStringLiteral("新建组"), "cgroup", "GROUPNAME", QStringLiteral("增加组"),
                        QStringLiteral("新增记录失败,请检查组名称是否重复"), false}),
      Edit2(desk::recordEdit(this, "Edit2"))
{
    setObjectName("frmNewCGroup");
    frmNewCGroup = this;
    desk::layoutRecord(this, {{QStringLiteral("组名"), Edit1}, {QStringLiteral("描述"), Edit2}}, {Button1, Button2});
}

TfrmNewCGroup::~TfrmNewCGroup()
{
    if (frmNewCGroup == this)
        frmNewCGroup = nullptr;
}

bool TfrmNewCGroup::OwnCheck() { return nameFits(Edit1->text()); }

void TfrmNewCGroup::AssignFields(TAdoQuery &row) { setField(row, "DISCRIBE", Edit2->text()); }

void TfrmNewCGroup::Created()
{
    CreatedNames << Edit1->text();
    NewGroupName = Edit1->text();
}

// --- edit --------------------------------------------------------------------

TfrmEditCGroup::TfrmEditCGroup(TManagerFrame *window)
    : TEditRecordDialog({QStringLiteral("编辑组"), "cgroup", "GROUPNAME",
                         QStringLiteral("更新纪录失败，请检查组名是否重复！"), false, "Button1", "Button2"},
                        window, window ? window->ListView(2) : nullptr),
      Edit2(desk::recordEdit(this, "Edit2")), CheckListBox1(desk::checkList(this, "CheckListBox1")), window_(window)
{
    setObjectName("frmEditCGroup");
    frmEditCGroup = this;
    desk::layoutRecord(
        this,
        {{QStringLiteral("组名"), Edit1}, {QStringLiteral("描述"), Edit2}, {QStringLiteral("成员"), CheckListBox1}},
        {OkButton, CancelButton});
    Links = {{CheckListBox1, "select * from client ", "CLIENTID", "client_cgroup", "CLIENTID", "GROUPNAME"}};
    FormCreate();
}

TfrmEditCGroup::~TfrmEditCGroup()
{
    if (frmEditCGroup == this)
        frmEditCGroup = nullptr;
}

bool TfrmEditCGroup::OwnCheck() { return nameFits(Edit1->text()); }

void TfrmEditCGroup::LoadFields(TAdoQuery &row) { Edit2->setText(fieldText(row, "DISCRIBE")); }

void TfrmEditCGroup::SaveFields(TAdoQuery &row) { setField(row, "DISCRIBE", Edit2->text()); }

void TfrmEditCGroup::LoadLinks(const QString &key)
{
    // The members first, also one whose contact is gone, then the others.
    fillCheckList(CheckListBox1, checkItems(desk::Db().Query1, Links.front(), key, true));
}

void TfrmEditCGroup::SaveLinks()
{
    // Groups moved under this one in the tree recorded its name.
    TAdoQuery &q = desk::open(desk::Db().Query1, "select * from cgroup where parent=" + desk::quoted(OriginalKey));
    for (; !q.Eof(); q.Next()) {
        q.Edit();
        setField(q, "parent", Edit1->text());
        q.Post();
    }
    q.Close();
    TEditRecordDialog::SaveLinks();
}

void TfrmEditCGroup::Saved()
{
    if (!window_)
        return;
    if (Edit1->text() != OriginalKey)
        for (int i = 0; i < window_->TreeView1->topLevelItemCount(); ++i)
            RenameTreeNodes(window_->TreeView1->topLevelItem(i), OriginalKey, Edit1->text());
    if (QTreeWidgetItem *node = window_->SelectedNode())
        window_->TreeView1Change(node);
}

void RenameTreeNodes(QTreeWidgetItem *node, const QString &oldText, const QString &newText)
{
    if (node->text(0) == oldText)
        node->setText(0, newText);
    for (int i = 0; i < node->childCount(); ++i)
        RenameTreeNodes(node->child(i), oldText, newText);
}
