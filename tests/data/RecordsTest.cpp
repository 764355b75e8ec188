// What the desk and the engine write through the data layer: literals in
// statements, the guarded write, and the rows both sides append.
#include "data/Records.h"
#include "DataFixture.h"

#include <QDateTime>
#include <stdexcept>
#include <unistd.h>

namespace {

using records::TResult;

TEST(Records, DeleteStatementsQuoteTextKeysAndCheckNumbers)
{
    const records::TDeleteFrom client{"client", "CLIENTID"};
    const records::TDeleteFrom tpl{"smsdata", "SMSID", true};
    EXPECT_EQ(client.statement("O'Brien"), "delete from client where CLIENTID='O''Brien'");
    EXPECT_EQ(client.statement("x' or '1'='1"), "delete from client where CLIENTID='x'' or ''1''=''1'");
    EXPECT_EQ(tpl.statement(" 12 "), "delete from smsdata where SMSID=12");
    for (const char *bad : {"", "12a", "1 or 1=1", "1;drop table client"})
        EXPECT_THROW(tpl.statement(bad), EDatabaseError) << bad;
    EXPECT_FALSE(records::TDeleteFrom{});
}

class RecordsTest : public DataFixture {
protected:
    void SetUp() override
    {
        DataFixture::SetUp();
        DataModule1 = dm.get();
    }
    void TearDown() override
    {
        DataModule1 = nullptr;
        DataFixture::TearDown();
    }
};

TEST_F(RecordsTest, AReceivedMessageIsAppendedOnceWhileItsDigestIsKept)
{
    const QDateTime now = QDateTime::currentDateTime();
    auto remember = [&](const std::string &digest, int daysAgo) {
        ado::appendRow(dm->Query1, "sms_received",
                       {{"DIGEST", digest}, {"STORED", ado::toStoredDateTime(now.addDays(-daysAgo))}});
    };
    remember("forgotten", records::kReceivedKeepDays + 1);
    remember("kept", records::kReceivedKeepDays - 1);
    struct Case {
        const char *digest;
        TResult result;
        bool markAfter; // its READ entry is on disk then
    };
    // "kept" was stored before QUEUED came (NULL): listed with its row then.
    const Case cases[] = {
        {"kept", TResult::AlreadyStored, false}, {"forgotten", TResult::Stored, false},
        {"new", TResult::Stored, false},         {"new", TResult::AlreadyStoredUnqueued, true},
        {"new", TResult::AlreadyStored, false},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(records::appendReceived(dm->Query1, c.digest, "13912345678", "你好"), c.result) << c.digest;
        if (c.markAfter)
            records::markQueued(dm->Query1, c.digest);
    }
    // Marking a digest that is not there adds nothing.
    records::markQueued(dm->Query1, "none such");
    EXPECT_EQ(column("select * from sms_received", "DIGEST"), (std::vector<std::string>{"kept", "forgotten", "new"}));
    EXPECT_EQ(column("select * from sms_toread where PHONE='13912345678' and READFLAG='未读' and TIME is not null",
                     "MESSAGE"),
              (std::vector<std::string>{"你好 ", "你好 "}));
}

TEST_F(RecordsTest, APhoneBookEntryChangesItsContactOrJoinsThePhoneBookGroup)
{
    const std::pair<const char *, const char *> entries[] = {
        {"MB_O'Brien", "13800000001"}, {"MB_张三", "13800000002"}, {"MB_O'Brien", "13800000003"}};
    for (const auto &[key, number] : entries)
        records::storeContact(dm->Query1, key, number);
    EXPECT_EQ(column("select * from client where CLIENTID like 'MB_%' order by rowid", "CONTACT"),
              (std::vector<std::string>{"13800000003", "13800000002"}));
    EXPECT_EQ(column("select * from client_cgroup where GROUPNAME='手机电话本' order by rowid", "CLIENTID"),
              (std::vector<std::string>{"MB_O'Brien", "MB_张三"}));
}

// Each case appends one row through the guard, then ends as the case says.
TEST_F(RecordsTest, AGuardedWriteCommitsOnlyWhatWentThroughAndSaysWhyNot)
{
    auto appendThen = [](std::function<TResult()> end) {
        return [end](TAdoQuery &q) {
            ado::appendRow(q, "operlog", {{"WORKCODE", "guarded"}});
            return end();
        };
    };
    std::unique_ptr<TAdoConnection> other;
    struct Case {
        const char *name;
        std::function<void()> before;
        std::function<TResult(TAdoQuery &)> write;
        TResult result;
        const char *reason; // its start; "" for none
    };
    const Case cases[] = {
        {"stored", {}, appendThen([] { return TResult::Stored; }), TResult::Stored, ""},
        {"already stored", {}, appendThen([] { return TResult::AlreadyStored; }), TResult::AlreadyStored, ""},
        {"database error",
         {},
         appendThen([]() -> TResult { throw EDatabaseError(1, "no such column"); }),
         TResult::Failed,
         "数据库操作失败（no such column）"},
        {"other error",
         {},
         appendThen([]() -> TResult { throw std::runtime_error("disk full"); }),
         TResult::Failed,
         "disk full"},
        {"another program's lock",
         [&] {
             other = std::make_unique<TAdoConnection>(TDataModule1::ConnectionString);
             other->Open();
             other->BeginTrans();
             other->Execute("insert into client (CLIENTID) values ('other')");
         },
         appendThen([] { return TResult::Stored; }), TResult::Busy, "数据库正被其他程序占用（database is locked）"},
        {"no data module", [] { DataModule1 = nullptr; }, appendThen([] { return TResult::Stored; }), TResult::Failed,
         "数据库未打开"},
        {"deleted file", [&] { ASSERT_EQ(::unlink("dbvord.mdb"), 0); }, appendThen([] { return TResult::Stored; }),
         TResult::Gone, "数据库文件已被删除"},
    };
    int committed = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        other.reset();
        DataModule1 = dm.get();
        if (c.before)
            c.before();
        const records::TOutcome out = records::writeGuarded(c.write);
        EXPECT_EQ(out.result, c.result);
        EXPECT_EQ(out.reason.rfind(c.reason, 0), 0u) << out.reason;
        EXPECT_FALSE(dm->Query1.Active());
        committed += c.result == TResult::Stored || c.result == TResult::AlreadyStored;
        if (c.result != TResult::Gone) {
            EXPECT_EQ(count("select * from operlog where WORKCODE='guarded'"), committed);
        }
    }
}

} // namespace
