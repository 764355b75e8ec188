#include "desk/NewTask.h"

#include "data/DM1.h"
#include "desk/DeskDb.h"
#include "platform/ado/Ado.h"

#include <QDateEdit>
#include <QLineEdit>
#include <QListWidget>
#include <QTimeEdit>

TfrmNewTask *frmNewTask = nullptr;

namespace {

void offer(QListWidget *list, const char *sql, const char *column)
{
    std::vector<TCheckItem> items;
    TAdoQuery &q = desk::open(desk::Db().Query1, sql);
    for (; !q.Eof(); q.Next())
        items.push_back({QString::fromStdString(q.FieldByName(column)->AsString()), false});
    q.Close();
    fillCheckList(list, items);
}

} // namespace

TfrmNewTask::TfrmNewTask(QWidget *parent)
    : TNewRecordDialog({QStringLiteral("新任务"), "task", "TASKID", QStringLiteral("增加任务"),
                        QStringLiteral("新增记录失败,请检查任务编号是否重复"), true, false},
                       parent),
      TTaskFields(this, Edit1, Button1, Button2, QStringLiteral("联系人  "))
{
    setObjectName("frmNewTask");
    frmNewTask = this;
    const QDateTime now = QDateTime::currentDateTime();
    SetExeTime(now);
    Edit1->setText(taskNumber(now));
    offer(CheckListBox1, "select * from client", "CLIENTID");
    offer(CheckListBox2, "select * from cgroup", "GROUPNAME");
}

TfrmNewTask::~TfrmNewTask()
{
    if (frmNewTask == this)
        frmNewTask = nullptr;
}

bool TfrmNewTask::OwnCheck() { return MessageGiven(); }

void TfrmNewTask::AssignFields(TAdoQuery &row)
{
    Assign(row);
    row.FieldByName("STATE")->SetAsString("未执行");
}

void TfrmNewTask::Insert()
{
    InsertRow();
    // A deleted task leaves its link rows behind; a new task that gets the
    // same number must not inherit its recipients.
    writeLinks({{CheckListBox1, {}, {}, "task_client", "CLIENTID", "TASKID"},
                {CheckListBox2, {}, {}, "task_cgroup", "GROUPNAME", "TASKID"}},
               Edit1->text());
    WriteOperLog();
}
