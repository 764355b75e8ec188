#include "desk/OperDialogs.h"

#include "desk/Operman.h"
#include "platform/ado/Ado.h"
#include "platform/ui/Boxes.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

using desk::checkList;
using desk::fieldText;
using desk::layoutRecord;
using desk::recordEdit;
using desk::setField;

namespace {

QGroupBox *framed(QWidget *dialog, const char *name, const QString &title, QWidget *inner)
{
    auto *box = new QGroupBox(title, dialog);
    box->setObjectName(name);
    (new QVBoxLayout(box))->addWidget(inner);
    return box;
}

} // namespace

bool passwordsMatch(QWidget *owner, const QLineEdit *password, const QLineEdit *confirmation)
{
    if (password->text() == confirmation->text())
        return true;
    boxes::inform(owner, QStringLiteral("密码未通过确认，请保证密码和确认密码相同"), QStringLiteral("错误"),
                  boxes::Icon::Error);
    return false;
}

// --- operators ---------------------------------------------------------------

TfrmNewOper::TfrmNewOper()
    : TNewRecordDialog({QStringLiteral("新建操作员"), "operater", "WORKCODE", QStringLiteral("增加操作员"),
                        QStringLiteral("新增记录失败,请检查工号是否重复")}),
      Edit2(recordEdit(this, "Edit2")), Edit3(recordEdit(this, "Edit3")), Edit4(recordEdit(this, "Edit4", true)),
      Edit5(recordEdit(this, "Edit5", true))
{
    setObjectName("frmNewOper");
    layoutRecord(this,
                 {{QStringLiteral("工号:"), Edit1},
                  {QStringLiteral("姓名:"), Edit2},
                  {QStringLiteral("描述:"), Edit3},
                  {QStringLiteral("密码:"), Edit4},
                  {QStringLiteral("确认密码:"), Edit5}},
                 {Button1, Button2});
}

bool TfrmNewOper::OwnCheck() { return passwordsMatch(this, Edit4, Edit5); }

void TfrmNewOper::AssignFields(TAdoQuery &row)
{
    setField(row, "NAME", Edit2->text());
    setField(row, "DISCRIBE", Edit3->text());
    setField(row, "PASSWORD", Edit4->text());
}

TfrmEditOper::TfrmEditOper(TManagerFrame *manager, TListView *list)
    : TEditRecordDialog(
          {QStringLiteral("编辑用户属性"), "operater", "WORKCODE", QStringLiteral("记录更新失败,请检查是否工号重复!")},
          manager, list),
      Edit2(recordEdit(this, "Edit2")), Edit3(recordEdit(this, "Edit3")), Edit4(recordEdit(this, "Edit4", true)),
      Edit5(recordEdit(this, "Edit5", true)), CheckListBox1(checkList(this, "CheckListBox1"))
{
    setObjectName("frmEditOper");
    GroupBox1 = framed(this, "GroupBox1", QStringLiteral("隶属组"), CheckListBox1);
    layoutRecord(this,
                 {{QStringLiteral("工号:"), Edit1},
                  {QStringLiteral("姓名:"), Edit2},
                  {QStringLiteral("描述:"), Edit3},
                  {QStringLiteral("密码"), Edit4},
                  {QStringLiteral("确认密码"), Edit5},
                  {{}, GroupBox1}},
                 {OkButton, CancelButton});
    Links = {{CheckListBox1, "select * from workgroup order by groupname", "GROUPNAME", "oper_group", "groupname",
              "workcode"}};
    FormCreate();
    Edit1->setReadOnly(Edit1->text() == TOperManage::Supervisor);
}

void TfrmEditOper::LoadFields(TAdoQuery &row)
{
    Edit2->setText(fieldText(row, "NAME"));
    Edit3->setText(fieldText(row, "DISCRIBE"));
    Edit4->setText(fieldText(row, "PASSWORD"));
    Edit5->setText(Edit4->text());
}

void TfrmEditOper::SaveFields(TAdoQuery &row)
{
    setField(row, "NAME", Edit2->text());
    setField(row, "DISCRIBE", Edit3->text());
    setField(row, "PASSWORD", Edit4->text());
}

bool TfrmEditOper::OwnCheck() { return passwordsMatch(this, Edit4, Edit5); }

// --- work groups -------------------------------------------------------------

TfrmNewGroup::TfrmNewGroup()
    : TNewRecordDialog({QStringLiteral("新建组"), "workgroup", "GROUPNAME", QStringLiteral("增加组"),
                        QStringLiteral("新增记录失败,请检查组名称是否重复")}),
      Edit2(recordEdit(this, "Edit2"))
{
    setObjectName("frmNewGroup");
    layoutRecord(this, {{QStringLiteral("组名"), Edit1}, {QStringLiteral("描述"), Edit2}}, {Button1, Button2});
}

void TfrmNewGroup::AssignFields(TAdoQuery &row) { setField(row, "DISCRIBE", Edit2->text()); }

TfrmEditGroup::TfrmEditGroup(TManagerFrame *manager, TListView *list)
    : TEditRecordDialog({QStringLiteral("编辑组"), "workgroup", "GROUPNAME",
                         QStringLiteral("更新纪录失败，请检查组名是否重复！"), false, "Button1", "Button2"},
                        manager, list),
      Edit2(recordEdit(this, "Edit2")), CheckListBox1(checkList(this, "CheckListBox1")),
      CheckListBox2(checkList(this, "CheckListBox2"))
{
    setObjectName("frmEditGroup");
    auto *lists = new QWidget(this);
    auto *sideBySide = new QHBoxLayout(lists);
    sideBySide->setContentsMargins(0, 0, 0, 0);
    sideBySide->addWidget(framed(this, "GroupBox1", QStringLiteral("成员"), CheckListBox1));
    sideBySide->addWidget(framed(this, "GroupBox2", QStringLiteral("有权访问的模块"), CheckListBox2));
    layoutRecord(this, {{QStringLiteral("组名"), Edit1}, {QStringLiteral("描述"), Edit2}, {{}, lists}},
                 {OkButton, CancelButton});
    Links = {{CheckListBox1, "select * from operater", "WORKCODE", "oper_group", "workcode", "groupname"},
             {CheckListBox2, "select * from module", "MODULEID", "group_module", "MODULEID", "groupname"}};
    FormCreate();
}

void TfrmEditGroup::LoadFields(TAdoQuery &row) { Edit2->setText(fieldText(row, "DISCRIBE")); }

void TfrmEditGroup::SaveFields(TAdoQuery &row) { setField(row, "DISCRIBE", Edit2->text()); }

// --- modules -----------------------------------------------------------------

TfrmNewModule::TfrmNewModule()
    : TNewRecordDialog({QStringLiteral("新模块"), "module", "MODULEID", QStringLiteral("增加模块"),
                        QStringLiteral("新增记录失败,请检查模块ID是否重复")}),
      Edit2(recordEdit(this, "Edit2")), Edit3(recordEdit(this, "Edit3"))
{
    setObjectName("frmNewModule");
    layoutRecord(
        this, {{QStringLiteral("模块ID"), Edit1}, {QStringLiteral("模块名"), Edit2}, {QStringLiteral("描述:"), Edit3}},
        {Button1, Button2});
}

void TfrmNewModule::AssignFields(TAdoQuery &row)
{
    setField(row, "NAME", Edit2->text());
    setField(row, "DISCRIBE", Edit3->text());
}

TfrmEditModule::TfrmEditModule(TManagerFrame *manager, TListView *list)
    : TEditRecordDialog(
          {QStringLiteral("编辑模块"), "module", "MODULEID", QStringLiteral("记录更新失败,请检查模块ID是否重复!")},
          manager, list),
      Edit2(recordEdit(this, "Edit2")), Edit3(recordEdit(this, "Edit3")),
      CheckListBox1(checkList(this, "CheckListBox1"))
{
    setObjectName("frmEditModule");
    GroupBox1 = framed(this, "GroupBox1", QStringLiteral("有访问权限的组"), CheckListBox1);
    layoutRecord(this,
                 {{QStringLiteral("模块ID"), Edit1},
                  {QStringLiteral("模块名"), Edit2},
                  {QStringLiteral("描述"), Edit3},
                  {{}, GroupBox1}},
                 {OkButton, CancelButton});
    Links = {{CheckListBox1, "select * from workgroup", "GROUPNAME", "group_module", "groupname", "moduleid"}};
    FormCreate();
}

void TfrmEditModule::LoadFields(TAdoQuery &row)
{
    Edit2->setText(fieldText(row, "NAME"));
    Edit3->setText(fieldText(row, "DISCRIBE"));
}

void TfrmEditModule::SaveFields(TAdoQuery &row)
{
    setField(row, "NAME", Edit2->text());
    setField(row, "DISCRIBE", Edit3->text());
}
