// The send path and the SEND command: the PDUs they queue, how texts are
// cut into messages, and SEND chunks that are not well formed.

#include "GatewayFixture.h"
#include "support/Repeat.h"

namespace {

// "你好" to 13912345678 through the centre 13800100500, written out by hand.
const std::string kHelloPdu = "0891683108100005F011000D91683119325476F80008A8044F60597D";

std::string sendChunk(const std::string &utf8Text)
{
    return "DavoRodu:SEND SCA:13800100500 DA:13912345678 UD:" + gbk::fromUtf8(utf8Text);
}

class CmppSendTest : public CmppTest {
protected:
    // Sends one chunk and waits until the server has run it.
    void send(const std::string &chunk)
    {
        TcpClient client(port());
        client.send(chunk);
        settle(port());
        EXPECT_EQ(client.pending(), ""); // SEND is never answered
    }
};

TEST_F(CmppSendTest, SendWithAnEmptyScaUsesTheWindowsCentreAndAddsASentRow)
{
    send(gbk::fromUtf8("DavoRodu:SEND SCA: DA:13912345678 UD:你好"));
    ASSERT_EQ(queued(), std::vector<std::string>{kHelloPdu});
    ASSERT_EQ(reports.sent.size(), 1u);
    EXPECT_EQ(reports.sent[0].number, "13912345678");
    EXPECT_EQ(reports.sent[0].text, "你好");
    EXPECT_FALSE(reports.sent[0].time.empty());
}

TEST_F(CmppSendTest, FieldsAreTrimmedOfBlanksAndControlCharacters)
{
    send("DavoRodu:SEND SCA:\t13800100500 \r\n DA: 13912345678\r\n UD:  hi there \r\n");
    ASSERT_EQ(queued().size(), 1u);
    const SubmitFields f = readSubmit(queued()[0]);
    EXPECT_EQ(f.sca, "8613800100500");
    EXPECT_EQ(f.da, "8613912345678");
    EXPECT_EQ(f.text, "hi there");
    EXPECT_EQ(reports.sent[0].text, "hi there");
}

TEST_F(CmppSendTest, TextIsCutInto140BytePiecesAfterTheFirst160Bytes)
{
    const std::string han = "汉"; // two bytes in GBK
    struct Case {
        const char *name;
        std::string text;
        std::vector<std::string> messages;
    };
    const std::vector<Case> cases = {
        {"1 byte", "a", {"a"}},
        {"140 bytes", repeat(han, 70), {repeat(han, 70)}},
        {"141 bytes", repeat(han, 70) + "b", {repeat(han, 70), "b"}},
        {"161 bytes", repeat(han, 80) + "c", {repeat(han, 70), repeat(han, 10)}},
        // A boundary inside a double-byte character moves back one byte.
        {"odd 141", "a" + repeat(han, 70), {"a" + repeat(han, 69), han}},
        {"odd 161", "a" + repeat(han, 80), {"a" + repeat(han, 69), repeat(han, 10)}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        clearQueue();
        send(sendChunk(c.text));
        EXPECT_EQ(queuedTexts(), c.messages);
    }
}

TEST_F(CmppSendTest, OneHundredFortyLettersGoAsTwoMessagesOfSeventy)
{
    const std::string letters = repeat("abcdefghij", 14);
    send(sendChunk(letters));
    EXPECT_EQ(queuedTexts(), (std::vector<std::string>{letters.substr(0, 70), letters.substr(70)}));
    EXPECT_EQ(reports.sent[0].text, letters);
}

TEST_F(CmppSendTest, AnEmptyTextAddsARowAndQueuesNothing)
{
    send("DavoRodu:SEND SCA:13800100500 DA:13912345678 UD:");
    send("DavoRodu:SEND SCA:13800100500 DA:13912345678 UD: \r\n");
    EXPECT_TRUE(queued().empty());
    ASSERT_EQ(reports.sent.size(), 2u);
    EXPECT_EQ(reports.sent[1].text, "");
}

TEST_F(CmppSendTest, ASendWithoutAllThreeFieldsInOrderIsIgnored)
{
    for (const std::string chunk :
         {"DavoRodu:SEND DA:13912345678 UD:hi", "DavoRodu:SEND SCA:1 DA:13912345678", "DavoRodu:SEND SCA:1 UD:hi",
          "DavoRodu:SEND UD:hi DA:139 SCA:1", "DavoRodu:SEND DA:139 SCA:1 UD:hi", "DavoRodu:SEND"}) {
        SCOPED_TRACE(chunk);
        send(chunk);
    }
    EXPECT_TRUE(queued().empty());
    EXPECT_TRUE(reports.sent.empty());
}

TEST_F(CmppSendTest, FiveSendsInOneWriteAreFiveMessagesWithTheirOwnTexts)
{
    std::string chunk;
    std::vector<std::string> texts;
    for (int i = 1; i <= 5; ++i) {
        texts.push_back("第" + std::to_string(i) + "条 DavoRodu: UD:");
        chunk += sendChunk(texts.back());
    }
    send(chunk);
    EXPECT_EQ(queuedTexts(), texts);
    EXPECT_EQ(reports.sent.size(), 5u);
}

TEST_F(CmppSendTest, ANumberWithItsCountryCodeKeepsItAndOneThatIsNoneOrTooLongIsRefused)
{
    const std::pair<std::string, std::string> good[] = {
        {"+8613912345678", "8613912345678"},
        {"8613912345678", "8613912345678"},
        {"13912345678", "8613912345678"},
        {"+447700900123", "447700900123"},
    };
    for (const auto &[da, digits] : good) {
        clearQueue();
        send("DavoRodu:SEND SCA:+8613800100500 DA:" + da + " UD:hi");
        ASSERT_EQ(queued().size(), 1u) << da;
        EXPECT_EQ(readSubmit(queued()[0]).da, digits) << da;
        EXPECT_EQ(readSubmit(queued()[0]).sca, "8613800100500") << da;
    }
    reports.sent.clear();
    clearQueue();
    const std::string tooLong = "过长，短信地址最多20位数字（含国家码86），短信未发送:";
    const std::pair<std::string, std::string> refused[] = {
        {"DA:1391234ABCD", "目的号码无效，短信未发送:1391234ABCD"},
        {"DA:", "目的号码无效，短信未发送:"},
        {"DA:+", "目的号码无效，短信未发送:+"},
        {"DA:139 1234 5678", "目的号码无效，短信未发送:139 1234 5678"},
        {"DA:++8613912345678", "目的号码无效，短信未发送:++8613912345678"},
        {"DA:" + std::string(19, '1'), "目的号码" + tooLong + std::string(19, '1')},
        {"DA:+" + std::string(21, '1'), "目的号码" + tooLong + "+" + std::string(21, '1')},
        {"DA:" + std::string(300, '1'), "目的号码" + tooLong + std::string(300, '1')},
        {"SCA:abc DA:13912345678", "中心号码无效，短信未发送:abc"},
        {"SCA:+86-10 DA:13912345678", "中心号码无效，短信未发送:+86-10"},
        {"SCA:+861380010050012345678 DA:13912345678", "中心号码" + tooLong + "+861380010050012345678"},
    };
    for (const auto &[fields, line] : refused) {
        const std::string chunk = fields.starts_with("SCA:") ? fields : "SCA: " + fields;
        send("DavoRodu:SEND " + chunk + " UD:hi");
        EXPECT_EQ(reports.count(line), 1) << chunk;
    }
    EXPECT_FALSE(gateway->CMPPSet->EasyLinkCtr->SendSMS("", "1391234ABCD", "hi"));
    EXPECT_TRUE(queued().empty());
    EXPECT_TRUE(reports.sent.empty());
}

TEST_F(CmppSendTest, SendSmsSplitsLongTextsIntoMessagesOfSeventyUnits)
{
    TEasyLinkCtr &link = *gateway->CMPPSet->EasyLinkCtr;
    link.SendSMS("13800100500", "13912345678", repeat("字", 150));
    EXPECT_EQ(queuedTexts(), (std::vector<std::string>{repeat("字", 70), repeat("字", 70), repeat("字", 10)}));

    // The 70th unit opens a surrogate pair: the pair goes whole to the next message.
    clearQueue();
    link.SendSMS("13800100500", "13912345678", repeat("x", 69) + "😀y");
    EXPECT_EQ(queuedTexts(), (std::vector<std::string>{repeat("x", 69), "😀y"}));

    clearQueue();
    link.SendSMS("13800100500", "13912345678", "");
    ASSERT_EQ(queued().size(), 1u);
    EXPECT_EQ(readSubmit(queued()[0]).udl, 0);
    EXPECT_TRUE(reports.sent.empty()); // the send path itself shows nothing
}

} // namespace
