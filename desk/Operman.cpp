#include "desk/Operman.h"

#include "desk/CoolBar.h"
#include "desk/OperDialogs.h"

#include <QAction>
#include <QToolButton>

TOperManage *OperManage = nullptr;

const QString TOperManage::Supervisor = QStringLiteral("Kelvo");

namespace {
const QString Operators = QStringLiteral("操作员");
}

TOperManage::TOperManage()
    : TManagerFrame(
          {.caption = QStringLiteral("操作员管理"), .smallIconsAsList = true},
          {{Operators,
            {{QStringLiteral("工号"), 80}, {QStringLiteral("姓名"), 80}, {QStringLiteral("描述"), 200}},
            false,
            [] { return new TfrmNewOper; },
            [this] { return new TfrmEditOper(this, ListView(1)); },
            {"operater", "WORKCODE"}},
           {QStringLiteral("组"),
            {{QStringLiteral("名称"), 100}, {QStringLiteral("描述"), 300}},
            false,
            [] { return new TfrmNewGroup; },
            [this] { return new TfrmEditGroup(this, ListView(2)); },
            {"workgroup", "GROUPNAME"}},
           {QStringLiteral("模块"),
            {{QStringLiteral("模块ID"), 80}, {QStringLiteral("模块名称"), 120}, {QStringLiteral("描述"), 150}},
            false,
            [] { return new TfrmNewModule; },
            [this] { return new TfrmEditModule(this, ListView(3)); },
            {"Module", "MODULEID"}}})
{
    setObjectName("OperManage");
    FormCreate();
}

TOperManage::~TOperManage()
{
    if (OperManage == this)
        OperManage = nullptr;
}

void TOperManage::Refresh()
{
    desk::fillList(ListView(1), "select * from operater  order by workcode", {"WORKCODE", "NAME", "DISCRIBE"}, 0);
    desk::fillList(ListView(2), "select * from  workgroup order by groupname", {"GROUPNAME", "DISCRIBE"}, 3);
    desk::fillList(ListView(3), "select * from  module", {"MODULEID", "NAME", "DISCRIBE"}, 2);
}

void TOperManage::ListSelectItem(TListView *list, int row, bool selected)
{
    TManagerFrame::ListSelectItem(list, row, selected);
    if (selected && list == ListView(1) && list->Caption(row) == Supervisor) {
        CoolBar1->SpeedButton(11)->setEnabled(false);
        ecd1->setEnabled(false);
    }
}

bool TOperManage::RefuseDelete(const QString &category, const QString &key)
{
    // The popup's "删除" keeps its state across category changes, so it may
    // still be enabled while the supervisor's row is selected: refuse here
    // too, silently, as the disabled commands do.
    return category == Operators && key == Supervisor;
}
