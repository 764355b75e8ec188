// The check that smsdesk runs in a work folder before anything else.
#include "desk/Startup.h"
#include "data/WorkFolder.h"
#include "harness/BoxScript.h"
#include "support/WorkDir.h"

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

} // namespace
