#include "platform/text/Profile.h"

#include "support/WorkDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

const char *const kIni = "smsset.ini";

} // namespace

TEST(Profile, MissingFileSectionOrKeyGivesTheDefault)
{
    WorkDir dir;
    EXPECT_EQ(profile::getString("CH1", "COMPORT", "COM1", kIni), "COM1");
    EXPECT_EQ(profile::getString("CH1", "COMPORT", "COM1  \t", kIni), "COM1");
    EXPECT_FALSE(std::filesystem::exists(dir.file(kIni))); // reading creates nothing

    dir.write(kIni, "[COMMON]\r\nSCA=+8613800100500\r\n");
    EXPECT_EQ(profile::getString("CH1", "COMPORT", "COM1", kIni), "COM1");
    EXPECT_EQ(profile::getString("COMMON", "XYZ", "", kIni), "");
    // A key of another section is not found through this one.
    EXPECT_EQ(profile::getString("CH1", "SCA", "none", kIni), "none");
}

TEST(Profile, ReadsThroughOddSpacingCaseQuotesAndComments)
{
    WorkDir dir;
    dir.write(kIni,
              "orphan=before any section\r\n"
              "  [ common ]  \r\n"
              "; SCA=commented out\r\n"
              "\tsca =  +8613800100500 \t\r\n"
              "name=\"  quoted  \"\r\n"
              "single='x'\r\n"
              "half=\"open\r\n"
              "a line without an equals sign\r\n"
              "SCA=second one ignored\r\n"
              "[CH1]\n" // LF alone ends a line too
              "ComPort=/dev/ttyUSB0=extra\n"
              "Blank=\n"
              "[Common]\r\n"
              "SCA=from the second COMMON section\r\n"
              "empty="); // no line end at all
    EXPECT_EQ(profile::getString("COMMON", "SCA", "", kIni), "+8613800100500");
    EXPECT_EQ(profile::getString("Common", "Sca", "", kIni), "+8613800100500");
    EXPECT_EQ(profile::getString("COMMON", "name", "", kIni), "  quoted  ");
    EXPECT_EQ(profile::getString("COMMON", "single", "", kIni), "x");
    EXPECT_EQ(profile::getString("COMMON", "half", "", kIni), "\"open");
    EXPECT_EQ(profile::getString("ch1", "COMPORT", "COM1", kIni), "/dev/ttyUSB0=extra");
    EXPECT_EQ(profile::getString("CH1", "blank", "d", kIni), ""); // present but empty
    EXPECT_EQ(profile::getString("COMMON", "orphan", "d", kIni), "d");
    EXPECT_EQ(profile::getString("COMMON", "empty", "d", kIni), "d");
    EXPECT_EQ(profile::getString("Common", "empty", "d", kIni), "d");
}

TEST(Profile, GbkFileTextMeetsUtf8Callers)
{
    WorkDir dir;
    // "[联系人]" / "名称=澜星信使" in GBK, and two sections whose names differ
    // only in a trail byte that is an ASCII letter (丄 = 81 41, 乤 = 81 61):
    // folding case on raw GBK bytes would take one for the other.
    dir.write(kIni, "[\xC1\xAA\xCF\xB5\xC8\xCB]\r\n"
                    "\xC3\xFB\xB3\xC6=\xC0\xBD\xD0\xC7\xD0\xC5\xCA\xB9\r\n"
                    "[\x81\x61]\r\nk=lower\r\n"
                    "[\x81\x41]\r\nk=upper\r\n");
    EXPECT_EQ(profile::getString("联系人", "名称", "", kIni), "澜星信使");
    EXPECT_EQ(profile::getString("丄", "k", "", kIni), "upper");
    EXPECT_EQ(profile::getString("乤", "k", "", kIni), "lower");

    ASSERT_TRUE(profile::writeString("联系人", "备注", "短信设备已经连接", kIni));
    EXPECT_EQ(profile::getString("联系人", "备注", "", kIni), "短信设备已经连接");
    EXPECT_NE(dir.read(kIni).find("\xB1\xB8\xD7\xA2=\xB6\xCC\xD0\xC5"), std::string::npos);
}

TEST(Profile, WriteCreatesTheFileInTheCurrentDirectory)
{
    WorkDir dir;
    ASSERT_TRUE(profile::writeString("COMMON", "SCA", "+8613800100500", kIni));
    EXPECT_EQ(dir.read(kIni), "[COMMON]\r\nSCA=+8613800100500\r\n");
    ASSERT_TRUE(profile::writeString("CH1", "COMPORT", "/dev/ttyS0", kIni));
    EXPECT_EQ(dir.read(kIni), "[COMMON]\r\nSCA=+8613800100500\r\n[CH1]\r\nCOMPORT=/dev/ttyS0\r\n");
    EXPECT_FALSE(std::filesystem::exists(dir.file("smsset.ini.tmp")));
}

TEST(Profile, WriteChangesOnlyItsOwnLine)
{
    WorkDir dir;
    const std::string before = "; settings\n"
                               "[ common ]\r\n"
                               "  Sca = 10086  \r\n"
                               "other=\xD6\xD0\xCE\xC4\n"
                               "\r\n"
                               "[CH1]\r\n"
                               "COMPORT=COM3\r\n"
                               "\r\n";
    dir.write(kIni, before);
    ASSERT_TRUE(profile::writeString("COMMON", "SCA", "+8613912345678", kIni));
    std::string expected = before;
    expected.replace(expected.find("  Sca = 10086  \r\n"), 17, "Sca=+8613912345678\r\n");
    EXPECT_EQ(dir.read(kIni), expected);

    // A new key goes after the section's last non-blank line, so the blank
    // line that separates it from the next section stays in place.
    ASSERT_TRUE(profile::writeString("common", "NEW", "1", kIni));
    expected.insert(expected.find("\r\n[CH1]"), "NEW=1\r\n");
    EXPECT_EQ(dir.read(kIni), expected);

    ASSERT_TRUE(profile::writeString("CH2", "COMPORT", "COM4", kIni));
    expected += "[CH2]\r\nCOMPORT=COM4\r\n";
    EXPECT_EQ(dir.read(kIni), expected);
}

TEST(Profile, WriteAfterAnUnterminatedLastLine)
{
    WorkDir dir;
    dir.write(kIni, "[CH1]\r\nCOMPORT=COM1");
    ASSERT_TRUE(profile::writeString("CH1", "BAUD", "9600", kIni));
    EXPECT_EQ(dir.read(kIni), "[CH1]\r\nCOMPORT=COM1\r\nBAUD=9600\r\n");

    dir.write(kIni, "[CH1]");
    ASSERT_TRUE(profile::writeString("COMMON", "SCA", "1", kIni));
    EXPECT_EQ(dir.read(kIni), "[CH1]\r\n[COMMON]\r\nSCA=1\r\n");

    dir.write(kIni, "[CH1]");
    ASSERT_TRUE(profile::writeString("CH1", "COMPORT", "COM2", kIni));
    EXPECT_EQ(dir.read(kIni), "[CH1]\r\nCOMPORT=COM2\r\n");
}

TEST(Profile, ValuesCannotAddLines)
{
    WorkDir dir;
    ASSERT_TRUE(profile::writeString("COMMON", "SCA", "123\r\n[CH1]\r\nCOMPORT=evil", kIni));
    EXPECT_EQ(dir.read(kIni), "[COMMON]\r\nSCA=123\r\n");
    EXPECT_EQ(profile::getString("CH1", "COMPORT", "COM1", kIni), "COM1");
}

TEST(Profile, UnwritableFileReportsFailureAndKeepsNothing)
{
    WorkDir dir;
    EXPECT_FALSE(profile::writeString("COMMON", "SCA", "1", dir.file("no/such/folder/x.ini")));
    // A folder in the way of the file: the old content (none) stays.
    std::filesystem::create_directory(dir.file("taken.ini"));
    EXPECT_FALSE(profile::writeString("COMMON", "SCA", "1", "taken.ini"));
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("taken.ini")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("taken.ini.tmp")));
}
