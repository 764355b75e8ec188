// The engine's database writes: a received message stored once whatever
// times it is read, contacts of the SIM, and writes that meet another
// program's lock or a deleted file.

#include "gateway/EngineStore.h"
#include "EngineSupport.h"
#include "support/PduPieces.h"

#include <QDateTime>
#include <unistd.h>

namespace {

using enginestore::TResult;

// A deliver of "你好" from +8613912345678 stamped at stamp.
std::string deliver(const std::string &stamp) { return kCentre + "04" + kNumber + "0008" + stamp + "044F60597D"; }

class EngineStoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        workfolder::create(dir.path());
        dm = std::make_unique<TDataModule1>();
        DataModule1 = dm.get();
    }
    void TearDown() override
    {
        DataModule1 = nullptr;
        dm.reset();
    }
    TResult received(const std::string &pdu, const std::string &text = "你好")
    {
        return enginestore::storeReceived(pdu, "13912345678", text).result;
    }
    std::vector<std::string> column(const std::string &sql, const char *field)
    {
        TAdoQuery q(dm->Database1, "probe");
        return columnValues(q, sql, field);
    }

    WorkDir dir;
    std::unique_ptr<TDataModule1> dm;
};

TEST_F(EngineStoreTest, AMessageIsStoredOnceWhateverTimesItIsRead)
{
    const std::string later = "21503041709123"; // the same text from the same sender a minute later
    std::string lower = kFirstDeliver;
    for (char &c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    struct Case {
        std::string pdu;
        TResult result;
    };
    const Case cases[] = {
        {deliver(kStamp), TResult::Stored}, {deliver(kStamp), TResult::AlreadyStored},
        {deliver(later), TResult::Stored},  {kFirstDeliver, TResult::Stored},
        {lower, TResult::AlreadyStored},    {deliver(later), TResult::AlreadyStored},
    };
    for (const Case &c : cases)
        EXPECT_EQ(received(c.pdu), c.result) << c.pdu;
    EXPECT_EQ(column("select * from sms_toread", "MESSAGE"), (std::vector<std::string>{"你好 ", "你好 ", "你好 "}));
    EXPECT_EQ(column("select * from sms_toread where READFLAG='未读' and TIME is not null", "PHONE").size(), 3u);
    EXPECT_EQ(column("select * from sms_received", "DIGEST").size(), 3u);
}

TEST_F(EngineStoreTest, DigestsOlderThanTheKeepAreForgotten)
{
    const QDateTime now = QDateTime::currentDateTime();
    auto remember = [&](const std::string &pdu, int daysAgo) {
        ado::appendRow(
            dm->Query1, "sms_received",
            {{"DIGEST", enginestore::digestOf(pdu)}, {"STORED", ado::toStoredDateTime(now.addDays(-daysAgo))}});
    };
    remember(deliver(kStamp), enginestore::kKeepDays + 1);
    remember(kFirstDeliver, enginestore::kKeepDays - 1);
    EXPECT_EQ(received(kFirstDeliver), TResult::AlreadyStored);
    EXPECT_EQ(received(deliver(kStamp)), TResult::Stored);
    EXPECT_EQ(column("select * from sms_received", "DIGEST"),
              (std::vector<std::string>{enginestore::digestOf(kFirstDeliver), enginestore::digestOf(deliver(kStamp))}));
}

TEST_F(EngineStoreTest, AnotherProgramsLockIsBusyAtOnceAndNothingIsWritten)
{
    auto other = anotherProgramsLock();
    EXPECT_EQ(received(kFirstDeliver), TResult::Busy);
    EXPECT_EQ(enginestore::storeContact("MB_张三", "10086").result, TResult::Busy);
    EXPECT_EQ(dm->Database1.BusyTimeout(), TAdoConnection::BusyTimeoutMs);
    other->RollbackTrans();
    EXPECT_TRUE(column("select * from sms_toread", "PHONE").empty());
    EXPECT_TRUE(column("select * from sms_received", "DIGEST").empty());
    EXPECT_EQ(received(kFirstDeliver), TResult::Stored);
}

TEST_F(EngineStoreTest, NothingGoesIntoADeletedDatabaseFileOrWithoutADatabase)
{
    ASSERT_EQ(::unlink("dbvord.mdb"), 0);
    EXPECT_EQ(received(kFirstDeliver), TResult::Gone);
    EXPECT_EQ(enginestore::storeContact("MB_张三", "10086").result, TResult::Gone);
    EXPECT_TRUE(column("select * from sms_toread", "PHONE").empty());
    DataModule1 = nullptr;
    EXPECT_EQ(received(kFirstDeliver), TResult::Failed);
}

TEST_F(EngineStoreTest, ContactIsAddedToThePhoneBookGroupOnceThenOnlyItsNumberChanges)
{
    for (const char *number : {"10086", "+8613800138000"})
        EXPECT_EQ(enginestore::storeContact("MB_O'Brien", number).result, TResult::Stored);
    EXPECT_EQ(column("select * from client where CLIENTID='MB_O''Brien'", "CONTACT"),
              std::vector<std::string>{"+8613800138000"});
    EXPECT_EQ(column("select * from client_cgroup where CLIENTID='MB_O''Brien'", "GROUPNAME"),
              std::vector<std::string>{"手机电话本"});
}

TEST(PendingWrites, KeptInOrderTriedUntilBusyAndRetriedFromTheEventLoop)
{
    engineclock::setScale(0.01);
    TPendingWrites pending;
    std::vector<std::string> tried;
    TResult first = TResult::Busy;
    auto write = [&](const std::string &name, const TResult &result) {
        return [&tried, &result, name] {
            tried.push_back(name);
            return result;
        };
    };
    const TResult failed = TResult::Failed, stored = TResult::Stored;
    EXPECT_TRUE(pending.Add("a", write("a", first)));
    EXPECT_FALSE(pending.Add("a", write("a again", stored)));
    EXPECT_TRUE(pending.Add("b", write("b", failed)));
    EXPECT_TRUE(pending.Add("c", write("c", stored)));
    {
        EngineLock lock;
        pending.Retry();
    }
    EXPECT_EQ(tried, std::vector<std::string>{"a"}); // busy: the rest wait behind it
    first = TResult::Stored;
    EXPECT_TRUE(waitUntil([&] { return pending.Empty(); }, 5000));
    EXPECT_EQ(tried, (std::vector<std::string>{"a", "a", "b", "c"}));
    pending.Add("d", write("d", stored));
    pending.Drop("d");
    {
        EngineLock lock;
        pending.Retry();
    }
    EXPECT_EQ(tried.size(), 4u);
    engineclock::setScale(1.0);
}

} // namespace
