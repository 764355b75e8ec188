#include "DeskFixture.h"

#include <QDateTime>

namespace {

// The desk beside another program that queues messages by inserting rows.
class DispatchSharing : public DeskTest {
protected:
    void SetUp() override
    {
        DeskTest::SetUp();
        main = login();
    }

    TMainFrm *main = nullptr;
};

TEST_F(DispatchSharing, AfterAGroupTaskHasRunAnotherProgramWritesAtOnceAndIsSeen)
{
    for (const char *id : {"甲", "乙", "丙"}) {
        add("client", {{"CLIENTID", id}, {"CONTACT", "13800000001"}});
        add("client_cgroup", {{"CLIENTID", id}, {"GROUPNAME", "G"}});
    }
    add("task_cgroup", {{"TASKID", "t"}, {"GROUPNAME", "G"}});
    for (const char *id : {"t", "later"}) // a second pending task: the runner's first lookup has more rows
        add("task",
            {{"TASKID", id},
             {"MESSAGE", "msg"},
             {"EXETIME",
              QDateTime::currentDateTime().addSecs(id[0] == 't' ? -5 : 3600).toString(Qt::ISODate).toStdString()},
             {"STATE", "未执行"}});
    main->Timer3Timer(); // no event loop runs before the other program writes

    TAdoConnection other(TDataModule1::ConnectionString);
    other.Open();
    other.Execute("PRAGMA busy_timeout=0");
    TAdoQuery checkpoint(other);
    checkpoint.SetSQL("PRAGMA wal_checkpoint(TRUNCATE)");
    checkpoint.Open();
    EXPECT_EQ(checkpoint.Fields(0)->AsInteger(), 0) << "the desk still reads";
    checkpoint.Close();
    other.Execute(
        "insert into sms_tosend (TASKID, PHONE, MESSAGE, SENDFLAG) values ('x', '13900000009', '外部', '未发')");
    EXPECT_EQ(count("select * from sms_tosend"), 4);
}

} // namespace
