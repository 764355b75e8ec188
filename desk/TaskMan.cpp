#include "desk/TaskMan.h"

#include "data/DM1.h"
#include "desk/CoolBar.h"
#include "desk/DeskDb.h"
#include "desk/EditTask.h"
#include "desk/NewTask.h"
#include "desk/main.h"
#include "platform/ado/Ado.h"
#include "platform/ui/Boxes.h"

#include <QToolBar>

TfrmTaskMan *frmTaskMan = nullptr;

namespace {

const QString Pending = QStringLiteral("未执行任务");
const QString Executed = QStringLiteral("已执行任务");

TManagerCategory category(const QString &node, TfrmTaskMan *window)
{
    return {node,
            {{QStringLiteral("任务编号"), 100},
             {QStringLiteral("任务名称"), 100},
             {QStringLiteral("消息内容"), 200},
             {QStringLiteral("发送时间"), 150}},
            false,
            [] { return new TfrmNewTask; },
            [window] { return new TfrmEditTask(window); },
            {"Task", "TASKID"}};
}

void load(TListView *list, const char *sql)
{
    list->Clear();
    TAdoQuery &q = desk::open(desk::Db().Query1, sql);
    for (; !q.Eof(); q.Next())
        list->AddItem(QString::fromStdString(q.FieldByName("TASKID")->AsString()),
                      {QString::fromStdString(q.FieldByName("TASKNAME")->AsString()),
                       QString::fromStdString(q.FieldByName("MESSAGE")->AsString()),
                       QString::fromStdString(q.FieldByName("EXETIME")->AsString())},
                      0);
    q.Close();
}

} // namespace

TfrmTaskMan::TfrmTaskMan(QWidget *parent)
    : TManagerFrame({QStringLiteral("任务管理"), 70}, {category(Pending, this), category(Executed, this)}, parent)
{
    setObjectName("frmTaskMan");
    CoolBar1->ToolBar3->addSeparator();
    CoolBar1->AddButton(CoolBar1->ToolBar3, 13, {}, QStyle::SP_FileDialogInfoView);
    FormCreate();
    if (MainFrm)
        MainFrm->TaskWindowRefresh = [this] { Refresh(); };
}

TfrmTaskMan::~TfrmTaskMan()
{
    if (frmTaskMan == this)
        frmTaskMan = nullptr;
    if (MainFrm)
        MainFrm->TaskWindowRefresh = nullptr;
}

void TfrmTaskMan::Refresh()
{
    load(ListView(1), "select * from  task where state='未执行'");
    load(ListView(2), "select * from  task where state='已执行'");
}

bool TfrmTaskMan::RefuseDelete(const QString &category, const QString &)
{
    if (category != Executed)
        return false;
    boxes::showMessage(QStringLiteral("不能删除已执行任务"));
    return true;
}
