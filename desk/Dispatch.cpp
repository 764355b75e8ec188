// The dispatch loop of the main window: the pending-SMS sender and the task
// runner. Every pass re-reads what it needs; nothing is kept between passes.
#include "data/DM1.h"
#include "desk/DeskDb.h"
#include "desk/StatusBar.h"
#include "desk/main.h"
#include "platform/ado/Ado.h"

#include <QDateTime>
#include <string>
#include <vector>

namespace {

const char *const EarliestTask = "select * from  task where state='未执行' order by exetime";

bool isDue(TAdoQuery &task) { return task.FieldByName("EXETIME")->AsDateTime() <= QDateTime::currentDateTime(); }

// The numbers of the contacts that rows of linkTable name (CLIENTID) where
// column holds value, in the order of those rows: each CONTACT as stored.
// A key that names no contact, and a contact whose number is blank, give
// none. Read in one statement on q, closed afterwards.
std::vector<std::string> numbersOf(TAdoQuery &q, const char *linkTable, const char *column, const std::string &value)
{
    desk::open(q, std::string("select c.CONTACT from ") + linkTable +
                      " l join client c on c.CLIENTID=l.CLIENTID where l." + column + "=" + QuotedStr(value) +
                      " order by l.rowid");
    std::vector<std::string> numbers;
    for (; !q.Eof(); q.Next()) {
        std::string contact = q.FieldByName("CONTACT")->AsString();
        if (!desk::trimmed(contact).empty())
            numbers.push_back(std::move(contact));
    }
    q.Close();
    return numbers;
}

void appendToSend(TAdoQuery &table, const std::string &taskId, const std::string &phone, const std::string &message)
{
    table.Append();
    table.FieldByName("TASKID")->SetAsString(taskId);
    table.FieldByName("PHONE")->SetAsString(phone);
    table.FieldByName("MESSAGE")->SetAsString(message);
    table.FieldByName("SENDFLAG")->SetAsString("未发");
    table.Post();
}

} // namespace

QString TMainFrm::Signature(bool rowFound, const QString &paramval)
{
    if (!rowFound)
        return {};
    if (desk::trimmed(paramval.toStdString()).empty())
        return paramval;
    return QLatin1Char('[') + paramval + QLatin1Char(']');
}

void TMainFrm::Timer1Timer()
{
    // Without the gateway window nothing can be handed over, so the
    // pending rows stay "未发".
    if (!Engine.SendToGateway)
        return;
    TAdoQuery &q = desk::Db().Query1;
    desk::open(q, "select * from  param where paramid='QM'");
    const bool found = !q.IsEmpty();
    const QString signature =
        Signature(found, found ? QString::fromStdString(q.FieldByName("paramval")->AsString()) : QString());

    desk::open(q, "select * from  sms_tosend where SENDFLAG='未发'");
    if (q.IsEmpty())
        return;
    const QString phone = QString::fromStdString(q.FieldByName("PHONE")->AsString());
    const QString text = QString::fromStdString(q.FieldByName("MESSAGE")->AsString()) + signature;
    StatusBar1->SetPanelText(1, QStringLiteral("发送手机短信到") + phone + ":" + text);
    Engine.SendToGateway(phone, text);
    // The result set's own row: exactly the row handed over.
    q.Edit();
    q.FieldByName("SENDFLAG")->SetAsString("已发");
    q.Post();
    q.Close();
}

void TMainFrm::Timer2Timer()
{
    TDataModule1 &dm = desk::Db();
    TAdoQuery &q = desk::open(dm.Query1, EarliestTask);
    if (q.IsEmpty() || !isDue(q)) {
        q.Close();
        return;
    }
    const std::string taskId = q.FieldByName("TASKID")->AsString();
    const std::string message = q.FieldByName("MESSAGE")->AsString();

    q.Close();
    TAdoQuery &table = desk::open(dm.Query2, "select * from  sms_tosend");
    for (const std::string &phone : numbersOf(dm.Query3, "task_client", "taskid", taskId))
        appendToSend(table, taskId, phone, message);
    table.Close();
}

void TMainFrm::Timer3Timer()
{
    TDataModule1 &dm = desk::Db();
    TAdoQuery &q = desk::open(dm.Query1, EarliestTask);
    const bool due = !q.IsEmpty() && isDue(q);
    const std::string taskId = due ? q.FieldByName("TASKID")->AsString() : std::string();
    const std::string message = due ? q.FieldByName("MESSAGE")->AsString() : std::string();
    q.Close();
    if (!due)
        return;

    {
        // The task's rows and its mark stand or fall together: a failure
        // half-way leaves no row and the task pending, so that the next
        // pass cannot queue the same messages a second time.
        ado::Transaction transaction(dm.Database1);
        try {
            Timer2Timer();
            desk::open(q, "select * from  task where taskid=" + QuotedStr(taskId));
            if (!q.IsEmpty()) {
                q.Edit();
                q.FieldByName("STATE")->SetAsString("已执行");
                q.Post();
            }

            desk::open(q, "select * from  task_cgroup where taskid=" + QuotedStr(taskId));
            std::vector<std::string> groups;
            for (; !q.Eof(); q.Next())
                groups.push_back(q.FieldByName("GROUPNAME")->AsString());
            q.Close();
            TAdoQuery &table = desk::open(dm.Query6, "select * from  sms_tosend");
            for (const std::string &group : groups)
                for (const std::string &phone : numbersOf(dm.Query3, "client_cgroup", "groupname", group))
                    appendToSend(table, taskId, phone, message);
            table.Close();
        } catch (...) {
            // No query stays on a cursor of the transaction being undone.
            for (TAdoQuery *each : {&dm.Query1, &dm.Query2, &dm.Query3, &dm.Query6})
                each->Close();
            throw;
        }
        transaction.commit();
    }
    // Only now, outside the transaction: a reload may show a box.
    if (TaskWindowRefresh)
        TaskWindowRefresh();
}
