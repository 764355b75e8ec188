// The check that smsdesk runs in a work folder before anything else, and
// the end of what the start-up made.
#include "DeskFixture.h"
#include "desk/ReadSMS.h"
#include "desk/about.h"
#include "gateway/smsclasses.h"
#include "gateway/window/SMSMain.h"

#include <QDir>
#include <gtest/gtest.h>

namespace {

TEST(WorkFolderCheck, OutsideAWorkFolderNamesTheFileTheFolderAndHowToMakeOne)
{
    WorkDir dir;
    BoxScript boxes;
    boxes.ok();
    EXPECT_FALSE(desk::findWorkFolder());
    ASSERT_EQ(boxes.seen().size(), 1u);
    const QString text = boxes.seen()[0].text;
    for (const QString &part : {QStringLiteral("dbvord.mdb"), QDir::currentPath(), QStringLiteral("dbcreate"),
                                QStringLiteral("tools/run.sh")})
        EXPECT_TRUE(text.contains(part)) << text.toStdString();
    EXPECT_EQ(boxes.seen()[0].icon, boxes::Icon::Error);

    boxes.clear();
    workfolder::create(".");
    EXPECT_TRUE(desk::findWorkFolder());
    EXPECT_TRUE(boxes.seen().empty());
}

using DeskProcess = DeskTest;

// Each window as it goes, with what is still there: the engine goes after
// its window and before the main window, the data module last.
TEST_F(DeskProcess, TheEndFreesEverythingInTheShutDownOrderAndClearsTheGlobals)
{
    modal.then<TfrmLogin>([](TfrmLogin *d) { d->Button1Click(); });
    ASSERT_TRUE(process->Start());
    ASSERT_NE(Gateway, nullptr);
    std::vector<std::string> gone;
    for (QObject *o : std::initializer_list<QObject *>{MainFrm, frmLogin, FMain, frmReadSMS, frmAbout})
        QObject::connect(o, &QObject::destroyed, [&gone, name = o->objectName().toStdString()] {
            gone.push_back(name + (Gateway ? " engine" : "") + (EngineHost ? " host" : "") +
                           (DataModule1 ? " data" : ""));
        });
    QFile::remove("SendBuf.TXT"); // had the start written it
    process.reset();
    EXPECT_EQ(gone, (std::vector<std::string>{"FMain engine host data", "MainFrm data", "frmReadSMS data",
                                              "frmAbout data", "frmLogin data"}));
    const std::pair<const char *, bool> named[] = {{"MainFrm", MainFrm != nullptr},
                                                   {"frmLogin", frmLogin != nullptr},
                                                   {"FMain", FMain != nullptr},
                                                   {"frmReadSMS", frmReadSMS != nullptr},
                                                   {"frmAbout", frmAbout != nullptr},
                                                   {"EngineHost", EngineHost != nullptr},
                                                   {"DataModule1", DataModule1 != nullptr}};
    for (const auto &[global, set] : named)
        EXPECT_FALSE(set) << global;
    EXPECT_TRUE(QFileInfo::exists("SendBuf.TXT")); // the queues, written as the engine ended
}

} // namespace
