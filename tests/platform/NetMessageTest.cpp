// LAN messages through a stand-in smbclient on PATH: what it is given,
// which of its ends count as sent, and what never reaches it.
#include "platform/lan/NetMessage.h"

#include "support/FakeSmbclient.h"

#include <QObject>
#include <QTest>
#include <gtest/gtest.h>
#include <optional>

namespace {

// The outcome of one send, once it came (nullopt when none within 10 s).
std::optional<bool> send(const QString &recipient, const QString &text, int timeoutMs = 2000)
{
    QObject context;
    std::optional<bool> outcome;
    lan::sendMessage(
        &context, recipient, QStringLiteral("澜星信使"), text, [&](bool sent) { outcome = sent; }, timeoutMs);
    EXPECT_FALSE(outcome.has_value()) << "reported from inside the call";
    (void)QTest::qWaitFor([&] { return outcome.has_value(); }, 10000);
    return outcome;
}

TEST(NetMessage, SentOnlyWhenSmbclientEndsWithZeroInTime)
{
    FakeSmbclient smbclient;
    const QString text = QStringLiteral("你好 O'Brien; $(id)");
    const QString long600 = QString(QStringLiteral("网")).repeated(600);
    const struct {
        const char *recipient;
        QString text;
        bool sent;
        bool ran;          // smbclient was started
        std::string input; // what it read
    } cases[] = {
        {"PC-01.office", text, true, true, text.toStdString()}, // never through a shell
        {"fail-host", text, false, true, text.toStdString()},
        {"hang-host", text, false, true, text.toStdString()}, // killed at the time limit
        {"OFFICE_PC", long600, true, true, long600.left(512).toStdString()},
        {"-d10", text, false, false, ""},
        {"a;b", text, false, false, ""},
        {"host name", text, false, false, ""},
        {"主机", text, false, false, ""},
        {"", text, false, false, ""},
    };
    for (const auto &c : cases) {
        const int before = smbclient.runs();
        EXPECT_EQ(send(c.recipient, c.text), c.sent) << c.recipient;
        ASSERT_EQ(smbclient.runs() - before, c.ran ? 1 : 0) << c.recipient;
        if (!c.ran)
            continue;
        EXPECT_EQ(smbclient.args(), (std::vector<std::string>{"-M", c.recipient, "-U", "澜星信使", "-N"}));
        EXPECT_EQ(smbclient.input(), c.input) << c.recipient;
    }
}

TEST(NetMessage, NoSmbclientNoReportAfterTheContextAndNoSplitCharacter)
{
    FakeSmbclient smbclient;
    bool called = false;
    {
        QObject gone;
        lan::sendMessage(
            &gone, "hang-host", "me", "x", [&](bool) { called = true; }, 100);
    }
    QTest::qWait(300);
    EXPECT_FALSE(called);

    const QString a511 = QString(QStringLiteral("a")).repeated(511);
    EXPECT_EQ(lan::cutText(a511 + QStringLiteral("😀tail")), a511);

    smbclient.remove();
    EXPECT_EQ(send("PC1", "x"), false);
}

} // namespace
