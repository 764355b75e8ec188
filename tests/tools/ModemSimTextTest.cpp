// The control command that delivers a test SMS from a number and a text.
#include "SimFixture.h"

#include <ctime>

namespace {

using TextTest = SimTest;

// The time stamp's date as the modem writes it: yy MM dd, digits swapped.
std::string stampedDate(std::time_t at)
{
    std::tm t{};
    localtime_r(&at, &t);
    char digits[16];
    std::strftime(digits, sizeof digits, "%y%m%d", &t);
    std::string out = digits;
    for (size_t i = 0; i < out.size(); i += 2)
        std::swap(out[i], out[i + 1]);
    return out;
}

std::string repeat(const std::string &piece, int times)
{
    std::string out;
    for (int i = 0; i < times; ++i)
        out += piece;
    return out;
}

TEST_F(TextTest, BuildsAUcs2DeliverFromTheNumberAndTheText)
{
    struct Case {
        std::string command;
        std::string sender; // address length, type and digits, written out by hand
        std::string userData;
    };
    const Case cases[] = {
        {"text 13513254678 你好", "0B813115234576F8", "044F60597D"},
        {"text +8613513254678 你好", "0D91683115234576F8", "044F60597D"},
        {"text 10086 Hi there", "05810180F6", "1000480069002000740068006500720065"},
        {"text 10086 " + repeat("字", 70), "05810180F6", "8C" + repeat("5B57", 70)}, // one SMS, full
    };
    int index = 1; // the scenario's message sits at SM 1
    for (const Case &c : cases) {
        const std::time_t before = std::time(nullptr);
        ASSERT_EQ(sim_.control(c.command), "OK SM " + std::to_string(++index)) << c.command;
        const std::time_t after = std::time(nullptr);
        const std::string reply = term_->command("AT+CMGR=" + std::to_string(index));
        const auto start = reply.find("\r\n", reply.find("+CMGR:")) + 2;
        const std::string pdu = reply.substr(start, reply.find("\r\n", start) - start);

        const std::string head = "0891683108200105F004" + c.sender + "0008";
        EXPECT_EQ(pdu.substr(0, head.size()), head) << c.command;
        const std::string stamp = pdu.substr(head.size(), 14);
        EXPECT_TRUE(stamp.substr(0, 6) == stampedDate(before) || stamp.substr(0, 6) == stampedDate(after)) << stamp;
        EXPECT_EQ(pdu.substr(head.size() + 14), c.userData) << c.command;
    }
}

TEST_F(TextTest, RefusesWhatCannotBeOneSms)
{
    const std::string tooLong = "text 10086 " + repeat("字", 71);
    const std::pair<std::string, std::string> cases[] = {
        {"text 13912345678", "ERR text takes a number and a text"},
        {"text", "ERR text takes a number and a text"},
        {"text 1391234567x 你好", "ERR the number must be 1 to 20 digits, optionally after +"},
        {"text + 你好", "ERR the number must be 1 to 20 digits, optionally after +"},
        {"text 123456789012345678901 你好", "ERR the number must be 1 to 20 digits, optionally after +"},
        {tooLong, "ERR the text is longer than one SMS (70 UCS-2 characters)"},
    };
    for (const auto &[command, reply] : cases)
        EXPECT_EQ(sim_.control(command), reply) << command;
    EXPECT_EQ(sim_.control("show SM"), "OK 1 10 1:0");
}

} // namespace
