#include "gateway/EngineStore.h"

#include "data/DM1.h"
#include "gateway/EngineClock.h"
#include "gateway/EngineGlobals.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QDateTime>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <exception>

namespace {

constexpr int kRetryMs = 1000; // between rounds of the pending writes

} // namespace

namespace enginestore {
namespace {

// Runs write in one transaction on Query1, waiting a few tens of
// milliseconds at most for another program's lock.
template <typename F> TOutcome guarded(F write)
{
    if (!DataModule1)
        return {TResult::Failed, "数据库未打开"};
    TAdoConnection &db = DataModule1->Database1;
    // Anything written now would go into a file nobody opens again.
    if (db.FileGone())
        return {TResult::Gone, "数据库文件已被删除"};
    ado::ShortWait shortWait(db);
    try {
        ado::Transaction transaction(db);
        const TResult result = write(DataModule1->Query1);
        DataModule1->Query1.Close();
        transaction.commit();
        return {result, {}};
    } catch (const EDatabaseError &e) {
        DataModule1->Query1.Close();
        return {ado::isBusy(e) ? TResult::Busy : TResult::Failed, e.what()};
    } catch (const std::exception &e) {
        DataModule1->Query1.Close();
        return {TResult::Failed, e.what()};
    }
}

} // namespace

std::string digestOf(std::string_view pduHex)
{
    const QByteArray text = QByteArray(pduHex.data(), static_cast<qsizetype>(pduHex.size())).toUpper();
    return QCryptographicHash::hash(text, QCryptographicHash::Sha256).toHex().toStdString();
}

TOutcome storeReceived(std::string_view pduHex, const std::string &phone, const std::string &text)
{
    const std::string digest = digestOf(pduHex);
    return guarded([&](TAdoQuery &q) {
        const QDateTime now = QDateTime::currentDateTime();
        q.SetSQL("delete from sms_received where STORED<" + QuotedStr(ado::toStoredDateTime(now.addDays(-kKeepDays))));
        q.ExecSQL();
        q.SetSQL("select * from sms_received where DIGEST=" + QuotedStr(digest));
        q.Open();
        if (!q.IsEmpty())
            return TResult::AlreadyStored;
        q.Close();
        q.SetSQL("select * from sms_toread");
        q.Open();
        q.Append();
        q.FieldByName("PHONE")->SetAsString(phone);
        q.FieldByName("MESSAGE")->SetAsString(text + " ");
        q.FieldByName("TIME")->SetAsDateTime(now);
        q.FieldByName("READFLAG")->SetAsString("未读");
        q.Post();
        q.Close();
        q.SetSQL("select * from sms_received");
        q.Open();
        q.Append();
        q.FieldByName("DIGEST")->SetAsString(digest);
        q.FieldByName("STORED")->SetAsDateTime(now);
        q.Post();
        return TResult::Stored;
    });
}

TOutcome storeContact(const std::string &key, const std::string &number)
{
    return guarded([&](TAdoQuery &q) {
        q.SetSQL("select * from client where clientid=" + QuotedStr(key));
        q.Open();
        if (!q.IsEmpty()) {
            q.Edit();
            q.FieldByName("CONTACT")->SetAsString(number);
            q.Post();
            return TResult::Stored;
        }
        q.Append();
        q.FieldByName("CLIENTID")->SetAsString(key);
        q.FieldByName("CONTACT")->SetAsString(number);
        q.Post();
        q.Close();
        q.SetSQL("select * from client_cgroup");
        q.Open();
        q.Append();
        q.FieldByName("CLIENTID")->SetAsString(key);
        q.FieldByName("GROUPNAME")->SetAsString("手机电话本");
        q.Post();
        return TResult::Stored;
    });
}

} // namespace enginestore

TPendingWrites::TPendingWrites() = default;
TPendingWrites::~TPendingWrites() = default;

bool TPendingWrites::Add(const std::string &key, Write write)
{
    if (std::any_of(writes_.begin(), writes_.end(), [&](const auto &w) { return w.first == key; }))
        return false;
    writes_.emplace_back(key, std::move(write));
    if (!timer_) {
        timer_ = std::make_unique<QTimer>();
        timer_->setSingleShot(true);
        QObject::connect(timer_.get(), &QTimer::timeout, [this] {
            EngineLock lock;
            Retry();
        });
    }
    if (!timer_->isActive()) {
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(engineclock::scaled(kRetryMs));
        timer_->start(std::max<int>(1, static_cast<int>(wait.count())));
    }
    return true;
}

void TPendingWrites::Drop(const std::string &key)
{
    writes_.erase(std::remove_if(writes_.begin(), writes_.end(), [&](const auto &w) { return w.first == key; }),
                  writes_.end());
}

void TPendingWrites::Retry()
{
    while (!writes_.empty()) {
        auto write = std::move(writes_.front());
        writes_.pop_front();
        if (write.second() == enginestore::TResult::Busy) {
            writes_.push_front(std::move(write));
            break;
        }
    }
    if (!writes_.empty() && timer_ && !timer_->isActive())
        timer_->start();
}
