// The dispatch loop of the main window: the pending-SMS sender and the task
// runner. Every pass re-reads what it needs; nothing is kept between passes.
#include "data/DM1.h"
#include "desk/DeskDb.h"
#include "desk/StatusBar.h"
#include "desk/main.h"
#include "platform/ado/Ado.h"

#include <QDateTime>

namespace {

const char *const EarliestTask = "select * from  task where state='未执行' order by exetime";

bool isDue(TAdoQuery &task) { return task.FieldByName("EXETIME")->AsDateTime() <= QDateTime::currentDateTime(); }

// The contact as stored, when it holds more than blanks; "" otherwise and
// for a key that names no contact. Leaves q closed.
std::string mobileOf(TAdoQuery &q, const std::string &clientId)
{
    desk::open(q, "select * from  client where clientid=" + QuotedStr(clientId));
    const std::string contact = q.IsEmpty() ? std::string() : q.FieldByName("CONTACT")->AsString();
    q.Close();
    return desk::trimmed(contact).empty() ? std::string() : contact;
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
    const bool due = !q.IsEmpty() && isDue(q);
    const std::string taskId = q.FieldByName("TASKID")->AsString();
    const std::string message = q.FieldByName("MESSAGE")->AsString();
    q.Close();
    if (!due)
        return;

    TAdoQuery &table = desk::open(dm.Query2, "select * from  sms_tosend");
    desk::open(q, "select * from  task_client where taskid=" + QuotedStr(taskId));
    for (; !q.Eof(); q.Next()) {
        const std::string phone = mobileOf(dm.Query3, q.FieldByName("CLIENTID")->AsString());
        if (!phone.empty())
            appendToSend(table, taskId, phone, message);
    }
    table.Close();
    q.Close();
}

void TMainFrm::Timer3Timer()
{
    Timer2Timer();

    TDataModule1 &dm = desk::Db();
    TAdoQuery &q = desk::open(dm.Query1, EarliestTask);
    const bool due = !q.IsEmpty() && isDue(q);
    const std::string taskId = q.FieldByName("TASKID")->AsString();
    const std::string message = q.FieldByName("MESSAGE")->AsString();
    q.Close();
    if (!due)
        return;

    desk::open(q, "select * from  task where taskid=" + QuotedStr(taskId));
    if (!q.IsEmpty()) {
        q.Edit();
        q.FieldByName("STATE")->SetAsString("已执行");
        q.Post();
    }
    if (TaskWindowRefresh)
        TaskWindowRefresh();
    q.Close();

    desk::open(q, "select * from  task_cgroup where taskid=" + QuotedStr(taskId));
    for (; !q.Eof(); q.Next()) {
        TAdoQuery &members = desk::open(dm.Query3, "select * from  client_cgroup where groupname=" +
                                                       QuotedStr(q.FieldByName("GROUPNAME")->AsString()));
        for (; !members.Eof(); members.Next()) {
            const std::string phone = mobileOf(dm.Query5, members.FieldByName("CLIENTID")->AsString());
            TAdoQuery &table = desk::open(dm.Query6, "select * from  sms_tosend");
            if (!phone.empty())
                appendToSend(table, taskId, phone, message);
            table.Close();
        }
        members.Close();
    }
    q.Close();
}
