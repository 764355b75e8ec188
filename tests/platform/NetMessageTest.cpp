// LAN messages through a stand-in smbclient on PATH: what it is given,
// which of its ends count as sent, and what never reaches it.
#include "platform/lan/NetMessage.h"

#include "support/FakeSmbclient.h"

#include <QObject>
#include <QTest>
#include <gtest/gtest.h>
#include <optional>

namespace {

// Sends and waits for the outcome (at most 10 s); nullopt when none came.
std::optional<bool> send(const QString &recipient, const QString &text)
{
    QObject context;
    std::optional<bool> outcome;
    int reports = 0;
    lan::sendMessage(&context, recipient, QStringLiteral("澜星信使"), text, [&](bool sent) {
        outcome = sent;
        ++reports;
    });
    EXPECT_EQ(reports, 0) << "reported from inside the call";
    (void)QTest::qWaitFor([&] { return outcome.has_value(); }, 10000);
    QTest::qWait(50); // a second report would come now
    EXPECT_LE(reports, 1);
    return outcome;
}

TEST(NetMessage, OnlyAZeroExitOfSmbclientCountsAsSent)
{
    FakeSmbclient smbclient;
    const struct {
        const char *recipient;
        bool sent;
    } cases[] = {{"PC-01.office", true}, {"fail-host", false}, {"OFFICE_PC", true}};
    for (const auto &c : cases) {
        EXPECT_EQ(send(c.recipient, QStringLiteral("你好 O'Brien; $(rm -rf ~)")), c.sent) << c.recipient;
        EXPECT_EQ(smbclient.args(), (std::vector<std::string>{"-M", c.recipient, "-U", "澜星信使", "-N"}));
        EXPECT_EQ(smbclient.input(), "你好 O'Brien; $(rm -rf ~)"); // on standard input, never through a shell
    }
}

TEST(NetMessage, AHostThatNeverAnswersFailsAtTheTimeLimit)
{
    FakeSmbclient smbclient;
    QObject context;
    std::optional<bool> outcome;
    lan::sendMessage(
        &context, "hang-host", "me", "x", [&](bool sent) { outcome = sent; }, 300);
    (void)QTest::qWaitFor([&] { return outcome.has_value(); }, 10000);
    EXPECT_EQ(outcome, false);

    // A send whose context goes first reports nothing.
    bool called = false;
    {
        QObject gone;
        lan::sendMessage(
            &gone, "hang-host", "me", "x", [&](bool) { called = true; }, 100);
    }
    QTest::qWait(300);
    EXPECT_FALSE(called);
}

TEST(NetMessage, ALongTextIsCutTo512Units)
{
    FakeSmbclient smbclient;
    const QString long600 = QString(QStringLiteral("网")).repeated(600);
    ASSERT_EQ(send("PC1", long600), true);
    EXPECT_EQ(smbclient.input(), long600.left(512).toStdString());

    // A character beyond the 16-bit range is not split by the cut.
    const QString pair = QString(QStringLiteral("a")).repeated(511) + QStringLiteral("😀") + "tail";
    EXPECT_EQ(lan::cutText(pair), QString(QStringLiteral("a")).repeated(511));
    EXPECT_EQ(lan::cutText("short"), "short");
}

TEST(NetMessage, AHostileOrEmptyRecipientNeverReachesSmbclient)
{
    FakeSmbclient smbclient;
    for (const char *name : {"-d10", "--option=x", "", "host name", "a;b", "a/b", "主机", "a\nb", "$(id)"})
        EXPECT_EQ(send(name, "x"), false) << name;
    EXPECT_EQ(send(QString(256, u'a'), "x"), false);
    EXPECT_EQ(smbclient.runs(), 0);
    EXPECT_EQ(send(QString(255, u'a'), "x"), true);
}

TEST(NetMessage, WithoutSmbclientTheSendFails)
{
    FakeSmbclient smbclient;
    smbclient.remove();
    EXPECT_EQ(send("PC1", "x"), false);
}

} // namespace
