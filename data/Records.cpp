#include "data/Records.h"

#include "data/DM1.h"
#include "platform/ado/Ado.h"

#include <QDateTime>
#include <QString>
#include <exception>

namespace records {

TDataModule1 &module()
{
    if (!DataModule1)
        throw EDatabaseError(EDatabaseError::Worded, "数据库未打开（还没有人登录）");
    return *DataModule1;
}

std::string quoted(std::string_view value) { return QuotedStr(value); }

std::string number(std::string_view value)
{
    bool ok = false;
    const qlonglong n = QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size())).trimmed().toLongLong(&ok);
    if (!ok)
        throw EDatabaseError(EDatabaseError::Worded, "“" + std::string(value) + "”不是有效的整数");
    return std::to_string(n);
}

TAdoQuery &open(TAdoQuery &q, const std::string &sql)
{
    q.Close();
    q.SetSQL(sql);
    q.Open();
    return q;
}

std::int64_t exec(TAdoQuery &q, const std::string &sql)
{
    q.Close();
    q.SetSQL(sql);
    return q.ExecSQL();
}

std::string TDeleteFrom::statement(std::string_view key) const
{
    return "delete from " + table + " where " + keyColumn + "=" + (numericKey ? number(key) : quoted(key));
}

TOutcome writeGuarded(const std::function<TResult(TAdoQuery &)> &write)
{
    if (!DataModule1)
        return {TResult::Failed, "数据库未打开"};
    TAdoConnection &db = DataModule1->Database1;
    if (db.FileGone())
        return {TResult::Gone, "数据库文件已被删除"};
    TAdoQuery &q = DataModule1->Query1;
    ado::ShortWait shortWait(db);
    try {
        ado::Transaction transaction(db);
        const TResult result = write(q);
        q.Close();
        transaction.commit();
        return {result, {}};
    } catch (const EDatabaseError &e) {
        q.Close();
        return {ado::isBusy(e) ? TResult::Busy : TResult::Failed, ado::describe(e)};
    } catch (const std::exception &e) {
        q.Close();
        return {TResult::Failed, e.what()};
    }
}

namespace {

// The sms_received row of digest, opened on q (empty when there is none).
TAdoQuery &receivedRow(TAdoQuery &q, const std::string &digest)
{
    return open(q, "select * from sms_received where DIGEST=" + QuotedStr(digest));
}

} // namespace

TResult appendReceived(TAdoQuery &q, const std::string &digest, const std::string &phone, const std::string &text)
{
    const QDateTime now = QDateTime::currentDateTime();
    exec(q,
         "delete from sms_received where STORED<" + QuotedStr(ado::toStoredDateTime(now.addDays(-kReceivedKeepDays))));
    if (!receivedRow(q, digest).IsEmpty()) {
        // NULL: stored before the column came, listed with its row then.
        const TField *queued = q.FieldByName("QUEUED");
        return !queued->IsNull() && queued->AsInteger() == 0 ? TResult::AlreadyStoredUnqueued : TResult::AlreadyStored;
    }
    open(q, "select * from sms_toread");
    q.Append();
    q.FieldByName("PHONE")->SetAsString(phone);
    q.FieldByName("MESSAGE")->SetAsString(text + " ");
    q.FieldByName("TIME")->SetAsDateTime(now);
    q.FieldByName("READFLAG")->SetAsString("未读");
    q.Post();
    open(q, "select * from sms_received");
    q.Append();
    q.FieldByName("DIGEST")->SetAsString(digest);
    q.FieldByName("STORED")->SetAsDateTime(now);
    q.FieldByName("QUEUED")->SetAsInteger(0);
    q.Post();
    return TResult::Stored;
}

void markQueued(TAdoQuery &q, const std::string &digest)
{
    if (receivedRow(q, digest).IsEmpty())
        return;
    q.Edit();
    q.FieldByName("QUEUED")->SetAsInteger(1);
    q.Post();
}

void storeContact(TAdoQuery &q, const std::string &key, const std::string &number)
{
    if (!open(q, "select * from client where clientid=" + QuotedStr(key)).IsEmpty()) {
        q.Edit();
        q.FieldByName("CONTACT")->SetAsString(number);
        q.Post();
        return;
    }
    q.Append();
    q.FieldByName("CLIENTID")->SetAsString(key);
    q.FieldByName("CONTACT")->SetAsString(number);
    q.Post();
    open(q, "select * from client_cgroup");
    q.Append();
    q.FieldByName("CLIENTID")->SetAsString(key);
    q.FieldByName("GROUPNAME")->SetAsString("手机电话本");
    q.Post();
}

void appendOperLog(TAdoQuery &q, const std::string &workCode, const std::string &action)
{
    open(q, "select * from operlog");
    q.Append();
    q.FieldByName("WORKCODE")->SetAsString(workCode);
    q.FieldByName("Action")->SetAsString(action);
    q.FieldByName("OperTime")->SetAsDateTime(QDateTime::currentDateTime());
    q.Post();
    q.Close();
}

} // namespace records
