// A received message stored once whatever times it is read, and the
// digests that say so kept for a while. (Writes that meet a lock or a
// deleted file: EngineReceiveOnceTest, EnginePhoneBookTest.)

#include "gateway/EngineStore.h"
#include "EngineSupport.h"
#include "support/PduPieces.h"

#include <QDateTime>

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

} // namespace
