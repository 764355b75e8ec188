#include "DataFixture.h"

#include <QCoreApplication>
#include <future>
#include <set>
#include <thread>

#include <sys/stat.h>

namespace {

// The database as other programs share it: a connection of their own.
class Sharing : public DataFixture {
protected:
    void SetUp() override
    {
        DataFixture::SetUp();
        for (const char *id : {"甲", "乙", "丙", "丁", "戊"}) {
            ado::appendRow(dm->Query1, "client", {{"CLIENTID", id}});
            ado::appendRow(dm->Query1, "client_cgroup", {{"CLIENTID", id}, {"GROUPNAME", "G"}});
        }
        other.Open();
        other.Execute("PRAGMA busy_timeout=0");
    }

    // True when no reader holds a snapshot of the log: what a query left
    // open on an unread result would do for good.
    bool nobodyReads()
    {
        TAdoQuery q(other);
        q.SetSQL("PRAGMA wal_checkpoint(TRUNCATE)");
        q.Open();
        return q.Fields(0)->AsInteger() == 0;
    }

    TAdoConnection other{TDataModule1::ConnectionString};
};

TEST_F(Sharing, AResultLeftOpenLetsGoAtTheEventLoopAndReadsOnAfterwards)
{
    const char *const statements[] = {
        "select * from client",                                                          // changeable: resumed
        "select c.CLIENTID from client c join client_cgroup g on c.CLIENTID=g.CLIENTID", // read to its end
    };
    for (const char *sql : statements) {
        SCOPED_TRACE(sql);
        TAdoQuery &q = dm->Query1;
        q.SetSQL(sql);
        q.Open();
        q.Next();
        ASSERT_FALSE(nobodyReads());
        QCoreApplication::processEvents();
        EXPECT_TRUE(nobodyReads());

        other.Execute("insert into client (CLIENTID) values ('己')");
        std::multiset<std::string> seen;
        for (q.First(); !q.Eof(); q.Next())
            seen.insert(q.Fields(0)->AsString());
        for (const char *id : {"甲", "乙", "丙", "丁", "戊"})
            EXPECT_EQ(seen.count(id), 1u) << id;
        EXPECT_LE(seen.size(), 6u); // the new row may or may not show
        other.Execute("delete from client where CLIENTID='己'");
    }
}

TEST_F(Sharing, AnOperatorsWriteWaitsOutAShortLockEvenWithAResultOpen)
{
    std::promise<void> locked;
    std::thread holder([&] {
        TAdoConnection c(TDataModule1::ConnectionString);
        c.Open();
        c.BeginTrans();
        c.Execute("insert into client (CLIENTID) values ('外部')");
        locked.set_value();
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        c.CommitTrans();
    });
    locked.get_future().wait();
    ado::OperatorWait operatorWait(dm->Database1);
    TAdoQuery &walk = dm->Query1;
    walk.SetSQL("select * from client");
    walk.Open(); // unread rows left: SQLite would answer busy at once
    EXPECT_NO_THROW(ado::appendRow(dm->Query2, "client", {{"CLIENTID", "桌面"}}));
    EXPECT_NO_THROW(dm->Query2.SetSQL("delete from client_cgroup"); dm->Query2.ExecSQL());
    holder.join();
    EXPECT_GE(walk.RecordCount(), 5);
    EXPECT_EQ(count("select * from client where CLIENTID in ('外部', '桌面')"), 2);
    EXPECT_EQ(count("select * from client_cgroup"), 0);
}

TEST_F(Sharing, ALockIsReportedBusyAfterAShortWaitAndAnOperatorsWaitEnds)
{
    other.Execute("PRAGMA busy_timeout=5000");
    other.BeginTrans();
    other.Execute("insert into client (CLIENTID) values ('外部')");
    {
        ado::OperatorWait operatorWait(dm->Database1);
        ado::ShortWait shortWait(dm->Database1); // a timer inside an operator's action
        try {
            ado::appendRow(dm->Query1, "client", {{"CLIENTID", "桌面"}});
            ADD_FAILURE() << "the insert went through another program's lock";
        } catch (const EDatabaseError &e) {
            EXPECT_TRUE(ado::isBusy(e)) << e.what();
        }
    }
    EXPECT_EQ(dm->Database1.BusyTimeout(), TAdoConnection::ShortBusyTimeoutMs);
    other.RollbackTrans();
    EXPECT_NO_THROW(ado::appendRow(dm->Query1, "client", {{"CLIENTID", "桌面"}}));
}

TEST_F(Sharing, WritesThroughAResultBeingReadLeaveTheLogBounded)
{
    TAdoQuery &q = dm->Query1;
    q.SetSQL("PRAGMA page_size");
    q.Open();
    // Twice the log SQLite's automatic checkpoint starts at (1000 pages).
    const std::int64_t bound = 32 + 2 * 1000 * (q.Fields(0)->AsInteger() + 24);
    q.Close();
    struct Case {
        const char *name;
        bool closed; // the result is closed after the post, else left to the event loop
    };
    for (const Case c : {Case{"closed after the post", true}, Case{"left open", false}}) {
        SCOPED_TRACE(c.name);
        // Each append commits inside the read of its own result.
        for (int i = 0; i < 1500; ++i) {
            q.SetSQL("select * from sms_toread");
            q.Open();
            q.Append();
            q.FieldByName("PHONE")->SetAsString("13912345678");
            q.FieldByName("MESSAGE")->SetAsString("第" + std::to_string(i) + "条");
            q.Post();
            if (c.closed)
                q.Close();
            QCoreApplication::processEvents();
        }
        q.Close();
        struct stat log {};
        ASSERT_EQ(::stat("dbvord.mdb-wal", &log), 0);
        EXPECT_LE(log.st_size, bound);
    }
    EXPECT_EQ(count("select * from sms_toread"), 3000);
}

} // namespace
