#include "DataFixture.h"

#include <sqlite3.h>

namespace {

class QueryCursor : public DataFixture {
protected:
    void SetUp() override
    {
        DataFixture::SetUp();
        for (const char *id : {"张三", "李四", "王五"})
            ado::appendRow(dm->Query1, "client", {{"CLIENTID", id}, {"CONTACT", "13800000000"}});
    }
};

TEST_F(QueryCursor, WalksFromFirstRowToEofAndKeepsTheLastRowCurrent)
{
    TAdoQuery &q = dm->Query1;
    q.SetSQL("select * from  client order by  clientid");
    q.Open();
    EXPECT_TRUE(q.Bof());
    std::vector<std::string> seen;
    while (!q.Eof()) {
        seen.push_back(q.FieldByName("clientid")->AsString());
        q.Next();
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"李四", "王五", "张三"}));
    // Past the end the last row stays current, as the desk's loops expect.
    EXPECT_EQ(q.FieldByName("CLIENTID")->AsString(), "张三");
    EXPECT_EQ(q.RecNo(), 3);
    q.Prior();
    EXPECT_FALSE(q.Eof());
    EXPECT_EQ(q.FieldByName("CLIENTID")->AsString(), "王五");
    q.First();
    EXPECT_TRUE(q.Bof());
    EXPECT_EQ(q.FieldByName("CLIENTID")->AsString(), "李四");
    q.Last();
    EXPECT_TRUE(q.Eof());
    EXPECT_EQ(q.FieldByName("CLIENTID")->AsString(), "张三");
    q.SetRecNo(2);
    EXPECT_EQ(q.FieldByName("CLIENTID")->AsString(), "王五");
    EXPECT_EQ(q.RecordCount(), 3);
}

TEST_F(QueryCursor, EmptyResultIsEofAndBofAndReadsNullValues)
{
    TAdoQuery &q = dm->Query1;
    q.SetSQL("select * from client where clientid='nobody'");
    q.Open();
    EXPECT_TRUE(q.Eof());
    EXPECT_TRUE(q.Bof());
    EXPECT_TRUE(q.IsEmpty());
    EXPECT_EQ(q.RecordCount(), 0);
    EXPECT_EQ(q.RecNo(), 0);
    EXPECT_EQ(q.FieldByName("NAME")->AsString(), "");
    EXPECT_TRUE(q.FieldByName("birthday")->AsDateTime().isNull());
    q.Next();
    EXPECT_TRUE(q.Eof());
}

TEST_F(QueryCursor, RowsAppendedWhileTheResultIsOpenAppearOnce)
{
    TAdoQuery &q = dm->Query1;
    q.SetSQL("select * from client");
    q.Open(); // only the first row is read at this point
    q.Append();
    q.FieldByName("CLIENTID")->SetAsString("赵六");
    q.Post();
    EXPECT_EQ(q.FieldByName("CLIENTID")->AsString(), "赵六");
    q.First();
    std::vector<std::string> seen;
    for (; !q.Eof(); q.Next())
        seen.push_back(q.FieldByName("CLIENTID")->AsString());
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, (std::vector<std::string>{"张三", "李四", "王五", "赵六"}));
    EXPECT_EQ(q.RecordCount(), 4);
}

TEST_F(QueryCursor, EditAndPostChangeExactlyTheCurrentRowAmongEqualRows)
{
    for (int i = 0; i < 2; ++i)
        ado::appendRow(dm->Query6, "sms_tosend",
                       {{"TASKID", "t"}, {"PHONE", "13900000000"}, {"MESSAGE", "同一条"}, {"SENDFLAG", "未发"}});
    for (int pass = 0; pass < 2; ++pass) {
        TAdoQuery &q = dm->Query1;
        q.Close();
        q.SetSQL("select * from  sms_tosend where SENDFLAG='未发'");
        q.Open();
        ASSERT_FALSE(q.IsEmpty());
        q.Edit();
        q.FieldByName("SENDFLAG")->SetAsString("已发");
        q.Post();
        q.Close();
        EXPECT_EQ(count("select * from sms_tosend where SENDFLAG='已发'"), pass + 1);
        EXPECT_EQ(count("select * from sms_tosend where SENDFLAG='未发'"), 1 - pass);
    }
}

TEST_F(QueryCursor, EditOnEmptyResultInsertsARowWithOnlyTheAssignedColumns)
{
    TAdoQuery &q = dm->Query1;
    q.SetSQL("select * from client where clientid='MB_新人'");
    q.Open();
    q.Edit();
    EXPECT_EQ(q.State(), TDataSetState::dsInsert);
    q.FieldByName("CLIENTID")->SetAsString("MB_新人");
    q.FieldByName("CONTACT")->SetAsString("10086");
    q.Post();
    TAdoQuery &p = probe("select * from client where clientid='MB_新人'");
    ASSERT_EQ(p.RecordCount(), 1);
    EXPECT_EQ(p.FieldByName("CONTACT")->AsString(), "10086");
    EXPECT_TRUE(p.FieldByName("NAME")->IsNull());
}

TEST_F(QueryCursor, FailedPostRaisesTheDatabaseTextAndChangesNothing)
{
    TAdoQuery &q = dm->Query1;
    q.SetSQL("select * from client");
    q.Open();
    q.Append();
    q.FieldByName("CLIENTID")->SetAsString("张三");
    q.FieldByName("NAME")->SetAsString("duplicate");
    try {
        q.Post();
        FAIL() << "a duplicate key was posted";
    } catch (const EDatabaseError &e) {
        EXPECT_EQ(e.code(), SQLITE_CONSTRAINT_UNIQUE);
        EXPECT_NE(std::string(e.what()).find("UNIQUE constraint failed"), std::string::npos) << e.what();
    }
    // The row stays in Insert for the operator to correct or cancel.
    EXPECT_EQ(q.State(), TDataSetState::dsInsert);
    EXPECT_EQ(q.FieldByName("NAME")->AsString(), "duplicate");
    q.Cancel();
    EXPECT_EQ(q.State(), TDataSetState::dsBrowse);
    EXPECT_EQ(count("select * from client"), 3);

    // Renaming a key onto another one fails the same way.
    q.Close();
    q.SetSQL("select * from client where clientid='李四'");
    q.Open();
    q.Edit();
    q.FieldByName("CLIENTID")->SetAsString("王五");
    EXPECT_THROW(q.Post(), EDatabaseError);
    EXPECT_EQ(q.State(), TDataSetState::dsEdit);
    q.Close();
    EXPECT_EQ(count("select * from client where clientid='李四'"), 1);
    EXPECT_EQ(count("select * from client where clientid='王五'"), 1);
}

TEST_F(QueryCursor, MovingPostsAPendingChangeAndCloseDropsOne)
{
    TAdoQuery &q = dm->Query1;
    q.SetSQL("select * from cgroup");
    q.Open();
    q.Edit();
    q.FieldByName("parent")->SetAsString("组");
    q.Next();
    EXPECT_EQ(count("select * from cgroup where parent='组'"), 1);

    q.First();
    q.Edit();
    q.FieldByName("DISCRIBE")->SetAsString("never stored");
    q.Close();
    EXPECT_EQ(count("select * from cgroup where DISCRIBE='never stored'"), 0);
}

TEST_F(QueryCursor, EditOfARowDeletedMeanwhileFailsInsteadOfInserting)
{
    TAdoQuery &q = dm->Query3;
    q.SetSQL("select * from client where CLIENTID='张三'");
    q.Open();
    dm->Query1.SetSQL("delete from client where clientid='张三'");
    EXPECT_EQ(dm->Query1.ExecSQL(), 1);
    q.Edit();
    q.FieldByName("nickname")->SetAsString("小张");
    EXPECT_THROW(q.Post(), EDatabaseError);
    q.Cancel();
    EXPECT_EQ(count("select * from client"), 2);
}

TEST_F(QueryCursor, EditDoesNotOverwriteAChangeMadeMeanwhile)
{
    TAdoQuery &editor = dm->Query3;
    editor.SetSQL("select * from client where CLIENTID='张三'");
    editor.Open();
    TAdoQuery &other = dm->Query1;
    other.SetSQL("select * from client where clientid='张三'");
    other.Open();
    other.Edit();
    other.FieldByName("CONTACT")->SetAsString("13911111111");
    other.Post();

    editor.Edit();
    editor.FieldByName("CONTACT")->SetAsString("13922222222");
    EXPECT_THROW(editor.Post(), EDatabaseError);
    editor.Cancel();
    // A column the other writer left alone can still be changed.
    editor.Edit();
    editor.FieldByName("nickname")->SetAsString("小张");
    editor.Post();
    TAdoQuery &p = probe("select * from client where clientid='张三'");
    EXPECT_EQ(p.FieldByName("CONTACT")->AsString(), "13911111111");
    EXPECT_EQ(p.FieldByName("nickname")->AsString(), "小张");
}

TEST_F(QueryCursor, WrongUseRaisesInsteadOfGuessing)
{
    TAdoQuery &q = dm->Query1;
    EXPECT_THROW(q.FieldByName("CLIENTID"), EDatabaseError); // closed
    q.SetSQL("select * from client");
    q.Open();
    EXPECT_THROW(q.FieldByName("CLIENTID")->SetAsString("x"), EDatabaseError); // not editing
    try {
        q.FieldByName("NOPE");
        FAIL();
    } catch (const EDatabaseError &e) {
        EXPECT_STREQ(e.what(), "Query1: Field 'NOPE' not found");
    }
    EXPECT_EQ(q.FindField("nope"), nullptr);
    EXPECT_EQ(q.FieldByName("clientid"), q.FieldByName("CLIENTID"));
    TField *stale = q.FieldByName("nation"); // the 26th column
    q.Close();
    EXPECT_THROW(stale->AsString(), EDatabaseError);
    q.SetSQL("select * from cgroup");
    q.Open();
    EXPECT_THROW(stale->AsString(), EDatabaseError);

    // A computed or de-duplicated result cannot be written back.
    for (const char *sql : {"select count(*) from client", "select distinct CONTACT from client",
                            "select client.* from client, cgroup"}) {
        q.SetSQL(sql);
        q.Open();
        EXPECT_FALSE(q.CanModify()) << sql;
        EXPECT_THROW(q.Edit(), EDatabaseError) << sql;
    }
    EXPECT_EQ(count("select * from client"), 3);
}

TEST_F(QueryCursor, OpenNeverRunsAStatementWithoutResult)
{
    TAdoQuery &q = dm->Query1;
    q.SetSQL("delete from client");
    EXPECT_THROW(q.Open(), EDatabaseError);
    EXPECT_EQ(count("select * from client"), 3);
}

TEST_F(QueryCursor, SetSqlClosesTheQuery)
{
    TAdoQuery &q = dm->Query1;
    q.SetSQL("select * from client");
    q.Open();
    q.SetSQL("select * from cgroup");
    EXPECT_FALSE(q.Active());
    q.Open();
    EXPECT_EQ(q.FieldByName("GROUPNAME")->AsString(), "手机电话本");
}

} // namespace
