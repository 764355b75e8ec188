#include "codec/Gbk.h"
#include "support/Repeat.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string join(const std::vector<std::string> &pieces)
{
    std::string out;
    for (const std::string &p : pieces)
        out += p;
    return out;
}

} // namespace

TEST(Gbk, ConvertsChineseBothWaysWithKnownBytes)
{
    EXPECT_EQ(gbk::fromUtf8("澜星信使"), "\xC0\xBD\xD0\xC7\xD0\xC5\xCA\xB9");
    EXPECT_EQ(gbk::fromUtf8("中文A1"), "\xD6\xD0\xCE\xC4"
                                       "A1");
    // Code page 936 extras: the euro sign is one byte, the middle dot two.
    EXPECT_EQ(gbk::fromUtf8("€·"), "\x80\xA1\xA4");

    const std::string sentence = "短信设备已经连接, GSM模块初始化成功! 消息发送失败，请检查SIM卡是否插好";
    EXPECT_EQ(gbk::toUtf8(gbk::fromUtf8(sentence)), sentence);
    EXPECT_EQ(gbk::toUtf8("\x81\x40"), "丂"); // trail byte in the ASCII range
    EXPECT_EQ(gbk::fromUtf8(""), "");
    EXPECT_EQ(gbk::toUtf8(""), "");
}

TEST(Gbk, EachUnrepresentableCharacterBecomesOneQuestionMark)
{
    EXPECT_EQ(gbk::fromUtf8("a😀b"), "a?b");
    EXPECT_EQ(gbk::fromUtf8("ก中"), "?\xD6\xD0"); // Thai is outside GBK
    EXPECT_EQ(gbk::fromUtf8("😀😀"), "??");
    // Broken UTF-8: a stray continuation byte, an invalid byte, a cut
    // sequence in the middle and at the end.
    EXPECT_EQ(gbk::fromUtf8("x\x80y"), "x?y");
    EXPECT_EQ(gbk::fromUtf8("\xFF"), "?");
    EXPECT_EQ(gbk::fromUtf8("\xE4\xB8"
                            "A"),
              "?A");
    EXPECT_EQ(gbk::fromUtf8("A\xE4\xB8"), "A?");
    // Long runs cross the internal buffer without losing or doubling bytes.
    const std::string many = repeat("中😀", 2000);
    EXPECT_EQ(gbk::fromUtf8(many), repeat("\xD6\xD0?", 2000));
}

TEST(Gbk, InvalidGbkBytesBecomeQuestionMarks)
{
    EXPECT_EQ(gbk::toUtf8("A\xD6"), "A?"); // lead byte cut at the end
    EXPECT_EQ(gbk::toUtf8("\xFF"
                          "B"),
              "?B"); // never a GBK byte
    EXPECT_EQ(gbk::toUtf8("\xD6\xD0\xFF\xCE\xC4"), "中?文");
}

TEST(Gbk, ByteLengthCountsDoubleByteCharacters)
{
    EXPECT_EQ(gbk::byteLength("澜星信使"), 8u);
    EXPECT_EQ(gbk::byteLength("a中"), 3u);
    EXPECT_EQ(gbk::byteLength("😀"), 1u); // its "?"
    EXPECT_EQ(gbk::byteLength(""), 0u);
    EXPECT_EQ(gbk::byteLength(repeat("中", 70)), 140u);
}

TEST(Gbk, HeadNeverEndsInsideACharacter)
{
    const std::string text = gbk::fromUtf8("A中文");
    EXPECT_EQ(gbk::headBytes(text, 2), "A");
    EXPECT_EQ(gbk::headBytes(text, 3), "A\xD6\xD0");
    EXPECT_EQ(gbk::headBytes(text, 100), text);
    EXPECT_EQ(gbk::headBytes(text, 0), "");
    // "中" is D6 D0 and D0 also opens characters: the scan from the start
    // must not take the second byte of one character for a lead.
    const std::string twin = gbk::fromUtf8("中中中");
    EXPECT_EQ(gbk::headBytes(twin, 5), "\xD6\xD0\xD6\xD0");
    EXPECT_EQ(gbk::headBytes(gbk::fromUtf8("丂丂"), 3), "\x81\x40");
    EXPECT_EQ(gbk::headBytes("\xD6", 1), "\xD6"); // whole text fits
}

TEST(Gbk, SplitPiecesStayWholeAndRejoinToTheText)
{
    // 141 bytes: an ASCII letter then 70 Chinese characters. The 140-byte
    // boundary falls inside the last character, which moves on whole.
    const std::string utf8 = "a" + repeat("信", 70);
    const std::string bytes = gbk::fromUtf8(utf8);
    ASSERT_EQ(bytes.size(), 141u);
    std::vector<std::string> pieces = gbk::splitBytes(bytes, 140);
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_EQ(pieces[0].size(), 139u);
    EXPECT_EQ(pieces[1], "\xD0\xC5");
    EXPECT_EQ(join(pieces), bytes);

    std::vector<std::string> u = gbk::splitUtf8(utf8, 140);
    ASSERT_EQ(u.size(), 2u);
    EXPECT_EQ(u[0], "a" + repeat("信", 69));
    EXPECT_EQ(u[1], "信");

    // Exactly 140 bytes of ASCII is one piece; 141 gives 140 and 1.
    EXPECT_EQ(gbk::splitBytes(repeat("x", 140), 140).size(), 1u);
    pieces = gbk::splitBytes(repeat("x", 141), 140);
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_EQ(pieces[1], "x");

    EXPECT_TRUE(gbk::splitBytes("", 140).empty());
    EXPECT_TRUE(gbk::splitUtf8("", 140).empty());
}

TEST(Gbk, TinyPieceSizesStillHoldOneCharacter)
{
    const std::string bytes = gbk::fromUtf8("中A文");
    for (std::size_t max : {0u, 1u, 2u}) {
        std::vector<std::string> pieces = gbk::splitBytes(bytes, max);
        ASSERT_EQ(pieces.size(), 3u) << max;
        EXPECT_EQ(pieces[0], "\xD6\xD0");
        EXPECT_EQ(pieces[1], "A");
        EXPECT_EQ(pieces[2], "\xCE\xC4");
    }
    // A lead byte cut off at the end is its own last piece, not a loop.
    std::vector<std::string> pieces = gbk::splitBytes("AB\xD6", 2);
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_EQ(pieces[1], "\xD6");
}
