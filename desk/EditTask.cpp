#include "desk/EditTask.h"

#include "data/DM1.h"
#include "desk/DeskDb.h"
#include "desk/TaskMan.h"
#include "platform/ado/Ado.h"
#include "platform/ui/Boxes.h"

#include <QDateEdit>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimeEdit>

TfrmEditTask *frmEditTask = nullptr;

namespace {

bool executed(const QString &taskId)
{
    TAdoQuery &q = desk::open(desk::Db().Query1, "select * from task where taskid=" + desk::quoted(taskId));
    const bool done = !q.IsEmpty() && q.FieldByName("STATE")->AsString() == "已执行";
    q.Close();
    return done;
}

} // namespace

TfrmEditTask::TfrmEditTask(TfrmTaskMan *window, QWidget *parent)
    : TEditRecordDialog({QStringLiteral("编辑任务"), "task", "TASKID",
                         QStringLiteral("更新纪录失败，请检查任务编号是否重复！"), false, "Button1", "Button2"},
                        window, window ? window->CurrentList : nullptr, parent),
      TTaskFields(this, Edit1, OkButton, CancelButton, QStringLiteral("联系人 ")),
      ReadOnly(window && window->CurrentList == window->ListView(2))
{
    setObjectName("frmEditTask");
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    frmEditTask = this;
    if (ReadOnly)
        setWindowTitle(QStringLiteral("编辑任务(只读)"));
    // Rewritten in this order on a save: groups, then contacts.
    Links = {{CheckListBox2, "select * from cgroup", "GROUPNAME", "task_cgroup", "GROUPNAME", "taskid"},
             {CheckListBox1, "select * from client", "CLIENTID", "task_client", "clientid", "taskid"}};
    FormCreate();
    if (ReadOnly) {
        // An executed task is only shown: nothing here can be changed or saved.
        Edit2->setReadOnly(true);
        Edit3->setReadOnly(true);
        DateTimePicker1->setReadOnly(true);
        DateTimePicker2->setReadOnly(true);
        for (QListWidget *list : {CheckListBox1, CheckListBox2})
            for (int i = 0; i < list->count(); ++i)
                list->item(i)->setFlags(list->item(i)->flags() & ~Qt::ItemIsUserCheckable);
        OkButton->setEnabled(false);
    }
    connect(DateTimePicker1, &QDateEdit::dateChanged, this, [this] { Modified = true; });
    connect(DateTimePicker2, &QTimeEdit::timeChanged, this, [this] { Modified = true; });
}

TfrmEditTask::~TfrmEditTask()
{
    if (frmEditTask == this)
        frmEditTask = nullptr;
}

void TfrmEditTask::LoadFields(TAdoQuery &row)
{
    Edit2->setText(QString::fromStdString(row.FieldByName("TASKNAME")->AsString()));
    Edit3->setPlainText(QString::fromStdString(row.FieldByName("MESSAGE")->AsString()));
    SetExeTime(row.FieldByName("EXETIME")->AsDateTime());
}

void TfrmEditTask::SaveFields(TAdoQuery &row) { Assign(row); }

bool TfrmEditTask::BeforeOk()
{
    if (ReadOnly || !MessageGiven())
        return false;
    // The runner may have executed the task while the dialog was open; what
    // it has sent cannot be changed any more.
    if (executed(OriginalKey)) {
        boxes::showMessage(QStringLiteral("任务已执行，修改不能保存"));
        reject();
        return false;
    }
    return true;
}
