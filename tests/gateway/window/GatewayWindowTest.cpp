// The gateway window: the engine start on the first activation, the centre
// number and port settings, the send box, the lists and the window commands.

#include "GatewayWindowFixture.h"

#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTimer>
#include <QTreeWidget>

namespace {

TEST_F(GatewayWindowTest, TheFirstActivationStartsTheEngineOnceAndLaterOnesNothing)
{
    dir.write("ReadBuf.TXT", kFirstDeliver + "\r\n");
    TFMain *window = make();
    EXPECT_EQ(Gateway, nullptr);
    EXPECT_FALSE(window->Button3->isEnabled());
    activate(window);

    ASSERT_NE(Gateway, nullptr);
    TGateWay *gateway = Gateway;
    TDriveThread *drive = DriveThread;
    EXPECT_NE(drive, nullptr);
    EXPECT_TRUE(window->Button3->isEnabled());
    EXPECT_EQ(window->FSCA(), "13800210500");
    EXPECT_EQ(Gateway->Name, "GW01");
    EXPECT_NE(port(), 0);
    EXPECT_EQ(received(), 1);
    EXPECT_EQ(window->SBarPanels[3]->text().toStdString(), dir.file("nomodem") + "打开失败,请重新设置串口");
    // The channel's monitor controls live on the hidden panel.
    ASSERT_NE(window->CmdEdit[1], nullptr);
    EXPECT_EQ(window->CmdEdit[1]->parentWidget(), window->Panel2);
    EXPECT_EQ(window->MonitorMemo[1]->parentWidget(), window->Panel2);
    EXPECT_FALSE(window->Panel2->isVisible());

    QWidget other;
    other.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    activate(window);
    EXPECT_EQ(Gateway, gateway);
    EXPECT_EQ(DriveThread, drive);
    EXPECT_EQ(received(), 1); // nothing reloaded
    EXPECT_TRUE(boxes.seen().empty());
}

TEST_F(GatewayWindowTest, N6KeepsATypedPlus86InTheFileButNotInTheNumberInUse)
{
    TFMain *window = open();
    boxes.ok("+8613912340000");
    window->N6Click();
    ASSERT_EQ(boxes.seen().size(), 1u);
    EXPECT_EQ(boxes.seen()[0].caption, QStringLiteral("请输入新的中心号码"));
    EXPECT_EQ(boxes.seen()[0].text, QStringLiteral("(原中心号码是：13800210500)"));
    EXPECT_EQ(boxes.seen()[0].value, QStringLiteral("13800210500"));
    EXPECT_EQ(profile::getString("COMMON", "SCA", "", "smsset.ini"), "+8613912340000");
    EXPECT_EQ(window->FSCA(), "13912340000");

    // Sends go through the new centre, "86" in front.
    window->Button3Click();
    ASSERT_EQ(queued().size(), 1u);
    EXPECT_EQ(readSubmit(queued()[0]).sca, "8613912340000");

    // Cancelled: the number in use is written again, as it now stands.
    boxes.cancel();
    window->N6Click();
    EXPECT_EQ(profile::getString("COMMON", "SCA", "", "smsset.ini"), "13912340000");
    EXPECT_EQ(window->FSCA(), "13912340000");

    // Not a number, or longer than an address holds: refused with a box that
    // says why; the old number stays, in use and in the file.
    const std::pair<QString, QString> refused[] = {
        {"1391234000X", "中心号码无效，中心号码仍是13912340000"},
        {"+86" + QString(19, u'1'), "中心号码过长，短信地址最多20位数字（含国家码86），中心号码仍是13912340000"},
    };
    for (const auto &[typed, why] : refused) {
        boxes.clear();
        boxes.ok(typed);
        boxes.ok();
        window->N6Click();
        ASSERT_EQ(boxes.seen().size(), 2u) << typed.toStdString();
        EXPECT_EQ(boxes.seen()[1].text, why);
        EXPECT_EQ(boxes.seen()[1].caption, QStringLiteral("设置中心号码"));
        EXPECT_EQ(window->FSCA(), "13912340000");
        EXPECT_EQ(profile::getString("COMMON", "SCA", "", "smsset.ini"), "13912340000");
    }
}

TEST_F(GatewayWindowTest, N7WritesAndEndsTheEventLoopOnlyForANewPort)
{
    TFMain *window = open();
    const std::string before = dir.read("smsset.ini");
    boxes.okKeep();
    EXPECT_EQ(runInLoop([&] { window->N7Click(); }), 7);
    boxes.cancel();
    EXPECT_EQ(runInLoop([&] { window->N7Click(); }), 7);
    EXPECT_EQ(dir.read("smsset.ini"), before);
    ASSERT_EQ(boxes.seen().size(), 2u); // the two input boxes, no message
    EXPECT_EQ(boxes.seen()[0].caption, QStringLiteral("串口设置"));
    EXPECT_EQ(boxes.seen()[0].text, QStringLiteral("请输入串口名称"));
    EXPECT_EQ(boxes.seen()[0].value.toStdString(), dir.file("nomodem"));

    const std::string newPort = dir.file("othermodem");
    boxes.ok(QString::fromStdString(newPort));
    boxes.ok(); // the restart notice
    EXPECT_EQ(runInLoop([&] { window->N7Click(); }), 0);
    // Until the application loop runs again every event loop ends at once;
    // a repeated run needs them back.
    QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
    EXPECT_EQ(profile::getString("CH1", "COMPORT", "", "smsset.ini"), newPort);
    EXPECT_EQ(channel()->DeviceName(), newPort);
    EXPECT_EQ(boxes.texts().back(), QStringLiteral("串口设置完毕，须重新启动程序！"));
}

TEST_F(GatewayWindowTest, AClickOnAListRowPutsItsNumberWithoutPlus86IntoTheNumberField)
{
    TFMain *window = open();
    window->ReceivedRow("+8613912345678", "你好", "12-5-3 14:7:9:32");
    window->SentRow("13811112222", "hi", "now");
    window->MaskEdit1->setText("13000000000");

    window->ListView2Click(); // nothing selected yet
    EXPECT_EQ(window->MaskEdit1->text(), QStringLiteral("13000000000"));

    QTreeWidgetItem *row = window->ListView2->topLevelItem(0);
    const QRect rect = window->ListView2->visualItemRect(row);
    QTest::mouseClick(window->ListView2->viewport(), Qt::LeftButton, {}, rect.center());
    EXPECT_EQ(window->MaskEdit1->text(), QStringLiteral("13912345678"));

    window->ListView1->setCurrentItem(window->ListView1->topLevelItem(0));
    window->ListView1Click();
    EXPECT_EQ(window->MaskEdit1->text(), QStringLiteral("13811112222"));
}

TEST_F(GatewayWindowTest, TheMessageListsKeepTheLatestThousandRows)
{
    TFMain *window = open();
    const std::pair<QTreeWidget *, void (TFMain::*)(const std::string &, const std::string &, const std::string &)>
        lists[] = {{window->ListView1, &TFMain::SentRow}, {window->ListView2, &TFMain::ReceivedRow}};
    for (const auto &[list, addRow] : lists) {
        SCOPED_TRACE(list->objectName().toStdString());
        for (int i = 1; i <= 1005; ++i)
            (window->*addRow)(std::to_string(13900000000LL + i), "text " + std::to_string(i), "now");
        ASSERT_EQ(list->topLevelItemCount(), 1000);
        EXPECT_EQ(list->topLevelItem(0)->text(1), QStringLiteral("text 6"));
        EXPECT_EQ(list->topLevelItem(999)->text(0), QStringLiteral("13900001005"));
    }
}

TEST_F(GatewayWindowTest, EnterInTheTextFieldSendsLikeTheButton)
{
    TFMain *window = open();
    window->MaskEdit1->setText("13912345678");
    window->Edit2->setText("你好");
    QTest::mouseClick(window->Button3, Qt::LeftButton);
    window->Edit2->setText("再见");
    QTest::keyClick(window->Edit2, Qt::Key_Return);

    ASSERT_EQ(window->ListView1->topLevelItemCount(), 2);
    EXPECT_EQ(window->ListView1->topLevelItem(1)->text(0), QStringLiteral("13912345678"));
    EXPECT_EQ(window->ListView1->topLevelItem(1)->text(1), QStringLiteral("再见"));
    EXPECT_FALSE(window->ListView1->topLevelItem(1)->text(2).isEmpty());
    const auto hex = queued();
    ASSERT_EQ(hex.size(), 2u);
    EXPECT_EQ(hex[0], "0891683108200105F011000D91683119325476F80008A8044F60597D");
    EXPECT_EQ(readSubmit(hex[1]).text, "再见");
}

TEST_F(GatewayWindowTest, BeforeTheEngineStartsTheSendHandlerDoesNothing)
{
    TFMain *window = make();
    window->Button3Click();
    QTest::keyClick(window->Edit2, Qt::Key_Return);
    EXPECT_EQ(window->ListView1->topLevelItemCount(), 0);
    EXPECT_EQ(Gateway, nullptr);
}

TEST_F(GatewayWindowTest, ClosingHidesTheWindowAndCmdShowsAndHidesIt)
{
    TFMain *window = open();
    window->close();
    EXPECT_FALSE(window->isVisible());
    ASSERT_NE(Gateway, nullptr);

    TcpClient client(port());
    client.send("DavoRodu:CMD INDEX:2");
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->isVisible(); }, 5000));
    client.send("DavoRodu:CMD INDEX:1");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->isVisible(); }, 5000));
    // Hidden, it still reports.
    window->SentRow("1", "2", "3");
    EXPECT_EQ(window->ListView1->topLevelItemCount(), 1);
}

TEST_F(GatewayWindowTest, ATakenCommandPortLeavesTheRestOfTheStartRunning)
{
    QTcpServer other;
    ASSERT_TRUE(other.listen(QHostAddress(QHostAddress::LocalHost), 0));
    TCMPPSet::ListenOn.Port = other.serverPort();
    dir.write("SendBuf.TXT", kHelloPdu + "\r\n");
    TFMain *window = open();

    const QString line = QStringLiteral("命令端口%1打开失败").arg(other.serverPort());
    EXPECT_TRUE(window->FXMemo->toPlainText().contains(line));
    EXPECT_NE(DriveThread, nullptr);
    EXPECT_TRUE(window->Button3->isEnabled());
    EXPECT_EQ(window->FSCA(), "13800210500");
    EXPECT_EQ(queued().size(), 1u);
    window->Button3Click();
    EXPECT_EQ(queued().size(), 2u);

    QWidget other2;
    other2.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other2));
    activate(window);
    EXPECT_EQ(window->FXMemo->toPlainText().count(line), 1);
    EXPECT_EQ(queued().size(), 2u);
}

TEST_F(GatewayWindowTest, ADestroyedWindowGetsNoMoreReports)
{
    open();
    dropWindow();
    EXPECT_EQ(FMain, nullptr);
    EXPECT_EQ(engine::reports(), nullptr);
    engine::logLine("after the window");
    engine::sentRow("1", "2", "3");
    engine::monitorText(1, "AT\r");
    EngineHost->QueuesChanged();
    QCoreApplication::processEvents();
    // The engine keeps its centre number without the window.
    EXPECT_EQ(EngineHost->FSCA(), "13800210500");
}

TEST_F(GatewayWindowTest, EnterInTheCommandEditHandsTheLineToTheChannelAndTheMemoShowsIt)
{
    TFMain *window = open();
    QLineEdit *edit = window->CmdEdit[1];
    ASSERT_NE(edit, nullptr);
    QTest::keyClicks(edit, "+CMTI: \"ME\",12");
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_TRUE(edit->text().isEmpty());
    // Noted as the modem's own notice would be (no modem answers here).
    EXPECT_EQ(locked([&] { return channel()->ChannelCtr->Notices; }), std::deque<std::string>{"+CMTI: \"ME\",12"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->MonitorMemo[1]->toPlainText().isEmpty(); }, 5000));
    EXPECT_EQ(window->MonitorMemo[1]->toPlainText(), "+CMTI: \"ME\",12\n");

    // Other keys only type.
    QTest::keyClicks(edit, "OK");
    EXPECT_EQ(edit->text(), "OK");
    EXPECT_EQ(locked([&] { return channel()->ChannelCtr->Notices.size(); }), 1u);
}

} // namespace
