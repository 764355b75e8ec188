#include "DataFixture.h"

namespace {

class Transactions : public DataFixture {
protected:
    // What another program sees: a connection of its own.
    int countElsewhere(const std::string &sql)
    {
        TAdoConnection other(TDataModule1::ConnectionString);
        other.Open();
        TAdoQuery q(other);
        q.SetSQL(sql);
        q.Open();
        return q.RecordCount();
    }

    // Writes through a query as the windows do: an append, an edit and a delete.
    void writeThree()
    {
        ado::appendRow(dm->Query1, "client", {{"CLIENTID", "张三"}});
        TAdoQuery &q = dm->Query2;
        q.SetSQL("select * from operater where workcode='kelvo'");
        q.Open();
        q.Edit();
        q.FieldByName("NAME")->SetAsString("改名");
        q.Post();
        q.Close();
        q.SetSQL("delete * from param where paramid='QM'");
        EXPECT_EQ(q.ExecSQL(), 1);
    }
};

TEST_F(Transactions, CommitKeepsAndRollbackRemovesPostsAndStatements)
{
    for (const bool commit : {false, true}) {
        SCOPED_TRACE(commit ? "commit" : "rollback");
        EXPECT_EQ(dm->Database1.BeginTrans(), 1);
        writeThree();
        EXPECT_EQ(countElsewhere("select * from client"), 0); // nothing shows before the end
        commit ? dm->Database1.CommitTrans() : dm->Database1.RollbackTrans();
        EXPECT_FALSE(dm->Database1.InTransaction());
        const int kept = commit ? 1 : 0;
        EXPECT_EQ(countElsewhere("select * from client where clientid='张三'"), kept);
        EXPECT_EQ(countElsewhere("select * from operater where name='改名'"), kept);
        EXPECT_EQ(countElsewhere("select * from param"), 1 - kept);
    }
    EXPECT_THROW(dm->Database1.CommitTrans(), EDatabaseError);
    EXPECT_THROW(dm->Database1.RollbackTrans(), EDatabaseError);
}

TEST_F(Transactions, AFailureHalfWayRollsBackEverythingTheGuardHeld)
{
    auto expand = [&] {
        ado::Transaction t(dm->Database1);
        writeThree();
        ado::appendRow(dm->Query1, "client", {{"CLIENTID", "李四"}});
        ado::appendRow(dm->Query1, "client", {{"CLIENTID", "张三"}}); // duplicate key: the post throws
        t.commit();
    };
    EXPECT_THROW(expand(), EDatabaseError);
    EXPECT_FALSE(dm->Database1.InTransaction());
    EXPECT_EQ(count("select * from client"), 0);
    EXPECT_EQ(count("select * from operater where name='改名'"), 0);
    EXPECT_EQ(count("select * from param"), 1);

    // The connection writes on afterwards, each statement on its own.
    ado::appendRow(dm->Query1, "client", {{"CLIENTID", "王五"}});
    EXPECT_EQ(countElsewhere("select * from client"), 1);
}

TEST_F(Transactions, NestedLevelsEndOnTheirOwnAndCloseEndsThemAll)
{
    {
        ado::Transaction outer(dm->Database1);
        ado::appendRow(dm->Query1, "client", {{"CLIENTID", "外层"}});
        {
            ado::Transaction inner(dm->Database1);
            ado::appendRow(dm->Query1, "client", {{"CLIENTID", "内层撤销"}});
        }
        {
            ado::Transaction inner(dm->Database1);
            ado::appendRow(dm->Query1, "client", {{"CLIENTID", "内层保留"}});
            inner.commit();
        }
        EXPECT_EQ(countElsewhere("select * from client"), 0);
        outer.commit();
    }
    EXPECT_EQ(column("select * from client order by clientid", "CLIENTID"),
              (std::vector<std::string>{"内层保留", "外层"}));

    dm->Database1.BeginTrans();
    dm->Database1.BeginTrans();
    ado::appendRow(dm->Query1, "client", {{"CLIENTID", "未提交"}});
    dm->Database1.Close();
    EXPECT_FALSE(dm->Database1.InTransaction());
    dm->Database1.Open();
    EXPECT_EQ(count("select * from client where clientid='未提交'"), 0);
    EXPECT_EQ(dm->Database1.BeginTrans(), 1);
    dm->Database1.CommitTrans();
}

} // namespace
