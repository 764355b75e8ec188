// The hand-over journal's records: any row survives the trip through the
// file, and a write cut short at any byte leaves only whole records.

#include "gateway/HandOver.h"

#include <gtest/gtest.h>

namespace {

TEST(HandOverJournal, AJournalCutShortAnywhereHoldsOnlyWholeRecords)
{
    const std::vector<handover::TRecord> records = {
        {{"17", "138 0000\t0001", "行一\r\n行二", ""}, false, 0, {}}, // blanks, line ends and an empty field
        {{"18", "13800000002", "你好"}, true, 4096, {"0011000D91", "0011000D92"}},
    };
    const std::string bytes = handover::format(records);
    EXPECT_EQ(handover::parse(bytes), records);
    EXPECT_EQ(handover::parse(bytes + std::string(40, ' ')), records); // the padding of a shorter write
    for (std::size_t n = 0; n < bytes.size(); ++n) {
        const std::vector<handover::TRecord> read = handover::parse(bytes.substr(0, n));
        ASSERT_LE(read.size(), records.size());
        EXPECT_TRUE(std::equal(read.begin(), read.end(), records.begin())) << "cut at " << n;
    }
}

} // namespace
