// A received message stored once whatever times it is read. (How long the
// digests are kept: tests/data/RecordsTest; writes that meet a lock or a
// deleted file: EngineReceiveOnceTest, EnginePhoneBookTest.)

#include "gateway/EngineStore.h"
#include "EngineSupport.h"
#include "support/PduPieces.h"

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
    TResult received(const std::string &pdu) { return enginestore::storeReceived(pdu, "13912345678", "你好").result; }
    std::vector<std::string> column(const std::string &sql, const char *field) { return ::column(*dm, sql, field); }

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
        bool markAfter; // its READ entry is on disk then
    };
    const Case cases[] = {
        {deliver(kStamp), TResult::Stored, false},        {deliver(kStamp), TResult::AlreadyStoredUnqueued, true},
        {deliver(kStamp), TResult::AlreadyStored, false}, {deliver(later), TResult::Stored, true},
        {kFirstDeliver, TResult::Stored, false},          {lower, TResult::AlreadyStoredUnqueued, true},
        {kFirstDeliver, TResult::AlreadyStored, false},   {deliver(later), TResult::AlreadyStored, false},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(received(c.pdu), c.result) << c.pdu;
        if (c.markAfter) {
            EXPECT_EQ(enginestore::markQueued(c.pdu).result, TResult::Stored);
        }
    }
    EXPECT_EQ(column("select * from sms_toread", "MESSAGE"), (std::vector<std::string>{"你好 ", "你好 ", "你好 "}));
    EXPECT_EQ(column("select * from sms_toread where READFLAG='未读' and TIME is not null", "PHONE").size(), 3u);
    EXPECT_EQ(column("select * from sms_received", "DIGEST").size(), 3u);
}

} // namespace
