// The dispatch loop of the main window: the pending-SMS sender and the task
// runner. Every pass re-reads what it needs; nothing is kept between passes.
#include "codec/Text.h"
#include "data/DM1.h"
#include "desk/DeskDb.h"
#include "desk/StatusBar.h"
#include "desk/main.h"
#include "platform/ado/Ado.h"

#include <QDateTime>
#include <algorithm>
#include <charconv>
#include <chrono>
#include <string>
#include <vector>

namespace {

const QString kMarkFailed = QStringLiteral("短信已交给网关，但无法标记为已发，稍后再试");
const QString kNotTaken = QStringLiteral("短信网关无法把短信保存到磁盘，短信仍为未发，稍后再发");
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
        if (!strings::trimmed(contact).empty())
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

std::vector<std::string> TMainFrm::THandedOver::Fields() const { return {std::to_string(row), phone, message}; }

std::optional<TMainFrm::THandedOver> TMainFrm::THandedOver::FromFields(const std::vector<std::string> &fields)
{
    if (fields.size() != 3)
        return std::nullopt;
    const std::string &key = fields[0];
    std::int64_t row = 0;
    const auto [end, error] = std::from_chars(key.data(), key.data() + key.size(), row);
    if (error != std::errc() || end != key.data() + key.size())
        return std::nullopt;
    return THandedOver{row, fields[1], fields[2]};
}

QString TMainFrm::Signature(bool rowFound, const QString &paramval)
{
    if (!rowFound)
        return {};
    if (strings::trimmed(paramval.toStdString()).empty())
        return paramval;
    return QLatin1Char('[') + paramval + QLatin1Char(']');
}

void TMainFrm::Timer1Timer()
{
    // Without the gateway window nothing can be handed over, so the
    // pending rows stay "未发".
    if (!Engine.SendToGateway)
        return;
    // Another program's lock is not waited out here: a row not marked
    // stays handed over and is marked on a later pass.
    ado::ShortWait shortWait(desk::Db().Database1);
    TAdoQuery &q = desk::Db().Query1;
    THandedOver row{};
    QString text;
    if (Engine.TakeHandedOver)
        for (const std::vector<std::string> &fields : Engine.TakeHandedOver()) {
            if (const std::optional<THandedOver> h = THandedOver::FromFields(fields))
                handedOver_.push_back(*h);
            else if (Engine.HandOverMarked)
                Engine.HandOverMarked(fields); // no row of ours
        }
    try {
        MarkHandedOver();
    } catch (const EDatabaseError &e) {
        // The rest waits for a later pass; meanwhile the others go on.
        DispatchFailed(kMarkFailed, e);
    }
    try {
        desk::open(q, "select * from  param where paramid='QM'");
        const bool found = !q.IsEmpty();
        const QString signature =
            Signature(found, found ? QString::fromStdString(q.FieldByName("paramval")->AsString()) : QString());

        desk::open(q, "select rowid as SENDROW, * from  sms_tosend where SENDFLAG='未发'");
        auto handed = [&] {
            const std::int64_t id = q.FieldByName("SENDROW")->AsInteger();
            return std::any_of(handedOver_.begin(), handedOver_.end(),
                               [&](const THandedOver &h) { return h.row == id; });
        };
        bool none = q.IsEmpty();
        while (!none && handed()) {
            q.Next();
            none = q.Eof();
        }
        if (none) {
            q.Close();
            if (handedOver_.empty())
                dispatchFailing_ = false;
            return;
        }
        row = {q.FieldByName("SENDROW")->AsInteger(), q.FieldByName("PHONE")->AsString(),
               q.FieldByName("MESSAGE")->AsString()};
        text = QString::fromStdString(row.message) + signature;
    } catch (const EDatabaseError &e) {
        DispatchFailed(QStringLiteral("无法读取待发短信"), e);
        return;
    }
    const QString phone = QString::fromStdString(row.phone);
    StatusBar1->SetPanelText(1, QStringLiteral("发送手机短信到") + phone + ":" + text);
    if (!Engine.SendToGateway(phone, text, row.Fields())) {
        // Not taken: the row stays "未发" and goes on a later pass.
        q.Close();
        DispatchFailed(kNotTaken + QStringLiteral("：") + phone);
        return;
    }
    // From here the message is with the engine: whatever happens to the
    // mark, this row never goes out again.
    handedOver_.push_back(row);
    try {
        // The result set's own row: exactly the row handed over.
        q.Edit();
        q.FieldByName("SENDFLAG")->SetAsString("已发");
        q.Post();
        q.Close();
        handedOver_.pop_back();
        if (Engine.HandOverMarked)
            Engine.HandOverMarked(row.Fields());
        if (handedOver_.empty())
            dispatchFailing_ = false;
    } catch (const EDatabaseError &e) {
        q.Close();
        DispatchFailed(kMarkFailed, e);
    }
}

void TMainFrm::MarkHandedOver()
{
    TAdoQuery &q = desk::Db().Query1;
    while (!handedOver_.empty()) {
        const THandedOver &h = handedOver_.front();
        desk::open(q, "select * from  sms_tosend where rowid=" + std::to_string(h.row));
        if (!q.IsEmpty() && q.FieldByName("SENDFLAG")->AsString() == "未发" &&
            q.FieldByName("PHONE")->AsString() == h.phone && q.FieldByName("MESSAGE")->AsString() == h.message) {
            q.Edit();
            q.FieldByName("SENDFLAG")->SetAsString("已发");
            q.Post();
        }
        q.Close();
        const std::vector<std::string> fields = h.Fields();
        handedOver_.erase(handedOver_.begin());
        if (Engine.HandOverMarked)
            Engine.HandOverMarked(fields);
    }
}

void TMainFrm::DispatchFailed(const QString &what, const EDatabaseError &error)
{
    DispatchFailed(what + QStringLiteral("：") + QString::fromStdString(ado::describe(error)));
}

void TMainFrm::DispatchFailed(const QString &line)
{
    StatusBar1->SetPanelText(1, line);
    if (!dispatchFailing_ && Engine.LogLine)
        Engine.LogLine(line);
    dispatchFailing_ = true;
}

bool TMainFrm::NextDueTask(TDueTask &task)
{
    const auto now = std::chrono::steady_clock::now();
    TAdoQuery &q = desk::open(desk::Db().Query1, EarliestTask);
    for (; !q.Eof() && isDue(q); q.Next()) {
        task.id = q.FieldByName("TASKID")->AsString();
        const auto held = heldBack_.find(task.id);
        if (held != heldBack_.end() && (held->second.pass == pass_ || now < held->second.retryAt))
            continue;
        task.message = q.FieldByName("MESSAGE")->AsString();
        q.Close();
        return true;
    }
    q.Close();
    return false;
}

void TMainFrm::Timer2Timer()
{
    if (TDueTask task; NextDueTask(task))
        ContactStep(task);
}

void TMainFrm::ContactStep(const TDueTask &task)
{
    TDataModule1 &dm = desk::Db();
    TAdoQuery &table = desk::open(dm.Query2, "select * from  sms_tosend");
    for (const std::string &phone : numbersOf(dm.Query3, "task_client", "taskid", task.id))
        appendToSend(table, task.id, phone, task.message);
    table.Close();
}

bool TMainFrm::RunTask(const TDueTask &task)
{
    TDataModule1 &dm = desk::Db();
    try {
        // The task's rows and its mark stand or fall together: a failure
        // half-way leaves no row and the task pending, so that no later
        // pass can queue the same messages a second time.
        ado::Transaction transaction(dm.Database1);
        ContactStep(task);
        TAdoQuery &q = desk::open(dm.Query1, "select * from  task where taskid=" + QuotedStr(task.id));
        if (!q.IsEmpty()) {
            q.Edit();
            q.FieldByName("STATE")->SetAsString("已执行");
            q.Post();
        }

        desk::open(q, "select * from  task_cgroup where taskid=" + QuotedStr(task.id));
        std::vector<std::string> groups;
        for (; !q.Eof(); q.Next())
            groups.push_back(q.FieldByName("GROUPNAME")->AsString());
        q.Close();
        TAdoQuery &table = desk::open(dm.Query6, "select * from  sms_tosend");
        for (const std::string &group : groups)
            for (const std::string &phone : numbersOf(dm.Query3, "client_cgroup", "groupname", group))
                appendToSend(table, task.id, phone, task.message);
        table.Close();
        transaction.commit();
    } catch (const EDatabaseError &e) {
        // No query stays on a cursor of the transaction being undone.
        for (TAdoQuery *each : {&dm.Query1, &dm.Query2, &dm.Query3, &dm.Query6})
            each->Close();
        // Another program's lock stops every task alike: the pass ends.
        if (ado::isBusy(e))
            throw;
        const bool said = heldBack_.count(task.id) > 0;
        heldBack_[task.id] = {std::chrono::steady_clock::now() + std::chrono::milliseconds(TaskRetryMs), pass_};
        if (!said) {
            const int minutes = std::max(1, (TaskRetryMs + 59999) / 60000);
            TaskRunnerReport(QStringLiteral("任务 %1 未能执行，%2 分钟后或下次启动时再试：%3")
                                 .arg(QString::fromStdString(task.id))
                                 .arg(minutes)
                                 .arg(QString::fromStdString(ado::describe(e))));
        }
        return false;
    }
    heldBack_.erase(task.id);
    return true;
}

void TMainFrm::Timer3Timer()
{
    TDataModule1 &dm = desk::Db();
    // A lock another program holds is not waited out on the main thread:
    // the pass ends and a later one finds the task again.
    ado::ShortWait shortWait(dm.Database1);
    ++pass_;
    try {
        TDueTask task;
        bool ran = false;
        while (!ran && NextDueTask(task))
            ran = RunTask(task);
        // Only now, once committed: the window reads the task as executed.
        if (ran && TaskWindowRefresh)
            TaskWindowRefresh();
        runnerStopped_ = false;
    } catch (const EDatabaseError &e) {
        if (!runnerStopped_)
            TaskRunnerReport(ado::isBusy(e)
                                 ? QString::fromUtf8(ado::LockedText) + QStringLiteral("，到期的任务等它放开后再执行")
                                 : QStringLiteral("无法读取任务：") + QString::fromStdString(ado::describe(e)));
        runnerStopped_ = true;
    }
}

void TMainFrm::TaskRunnerReport(const QString &line)
{
    StatusBar1->SetPanelText(1, line);
    if (Engine.LogLine)
        Engine.LogLine(line);
}
