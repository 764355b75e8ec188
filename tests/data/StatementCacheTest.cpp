#include "DataFixture.h"

#include "platform/ado/AdoSql.h"

#include <filesystem>

namespace {

TEST(Parameterise, TakesOutOnlyTheValuesOfTheWhereClause)
{
    struct Case {
        const char *sql;
        const char *text;
        std::vector<std::string> values;
    };
    const Case cases[] = {
        {"select * from client_cgroup where clientid='O''Brien' and groupname='组'",
         "select * from client_cgroup where clientid=? and groupname=?",
         {"O'Brien", "组"}},
        {"Delete * From t Where k=''", "Delete   From t Where k=?", {""}},
        {"update t set a='x' where b='y'", "update t set a='x' where b=?", {"y"}},
        {"select 'x' from t where a in (select b from u where c='z')",
         "select 'x' from t where a in (select b from u where c=?)",
         {"z"}},
        {"select * from t -- it's\n where a='q' /* 'r' */", "select * from t -- it's\n where a=? /* 'r' */", {"q"}},
        // Left as written: no top-level WHERE, a blob, parameters of its own,
        // an unclosed quote, another kind of statement.
        {"select (select count(*) from u where v='1') from t",
         "select (select count(*) from u where v='1') from t",
         {}},
        {"select * from t where a=X'0A'", "select * from t where a=X'0A'", {}},
        {"select * from t where a=? and b='x'", "select * from t where a=? and b='x'", {}},
        {"select * from t where a='x", "select * from t where a='x", {}},
        {"PRAGMA key = 'x'", "PRAGMA key = 'x'", {}},
        {"delete * from t where a=:v", "delete   from t where a=:v", {}},
    };
    for (const Case &c : cases) {
        const ado::sql::Parameterised p = ado::sql::parameterise(c.sql);
        EXPECT_EQ(p.text, c.text) << c.sql;
        EXPECT_EQ(p.values, c.values) << c.sql;
    }
}

class StatementCache : public DataFixture {};

TEST_F(StatementCache, ProbesThatDifferOnlyInTheirValuesArePreparedOnce)
{
    const std::vector<std::string> ids = {"张三", "O'Brien", "kelvo", "李四", "X"};
    for (const std::string &id : ids)
        ado::appendRow(dm->Query1, "client_cgroup", {{"CLIENTID", id}, {"GROUPNAME", "组"}});
    TAdoQuery &probe = dm->Query2;
    // The contact the probe found, "" for none.
    auto linked = [&](const std::string &id, const std::string &group) {
        probe.SetSQL("select * from client_cgroup where clientid=" + QuotedStr(id) +
                     " and groupname=" + QuotedStr(group));
        probe.Open();
        const std::string found = probe.FieldByName("CLIENTID")->AsString();
        probe.Close();
        return found;
    };
    linked("none", "组");
    const uint64_t before = dm->Database1.StatementsPrepared();
    for (int round = 0; round < 3; ++round) {
        for (const std::string &id : ids) {
            EXPECT_EQ(linked(id, "组"), id);
            EXPECT_EQ(linked(id, "组2"), "");
        }
        EXPECT_EQ(linked("KELVO", "组"), "kelvo"); // the collation still applies to a bound value
        EXPECT_EQ(linked("' or ''='", "组"), "");
    }
    EXPECT_EQ(dm->Database1.StatementsPrepared(), before);
}

TEST_F(StatementCache, AKeptStatementFollowsATableChangedByAnotherProgram)
{
    TAdoQuery &q = dm->Query1;
    const std::string sql = "select * from cgroup where groupname='手机电话本'";
    auto fieldsAfter = [&](const std::string &change, bool execFirst) {
        q.SetSQL(sql);
        q.Open();
        q.Close();
        {
            TAdoConnection other(TDataModule1::ConnectionString);
            other.Open();
            other.Execute(change);
        }
        if (execFirst) { // the kept statement is compiled again here, not in Open
            dm->Query2.SetSQL(sql);
            dm->Query2.ExecSQL();
        }
        q.SetSQL(sql);
        q.Open();
        return q.FieldCount();
    };
    EXPECT_EQ(fieldsAfter("ALTER TABLE cgroup ADD COLUMN color TEXT", false), 4);
    EXPECT_EQ(fieldsAfter("ALTER TABLE cgroup ADD COLUMN shade TEXT", true), 5);
    q.Edit();
    q.FieldByName("shade")->SetAsString("红");
    q.Post();
    EXPECT_EQ(column("select * from cgroup", "shade"), std::vector<std::string>{"红"});
}

TEST_F(StatementCache, ClosingTheConnectionLeavesNoHandleOnTheFile)
{
    ado::appendRow(dm->Query1, "client", {{"CLIENTID", "张三"}});
    count("select * from client where clientid='张三'");
    const std::filesystem::path file = std::filesystem::canonical("dbvord.mdb");
    auto handlesOnFile = [&] {
        int n = 0;
        std::error_code ec; // an fd closed while listing
        for (const auto &fd : std::filesystem::directory_iterator("/proc/self/fd"))
            n += std::filesystem::read_symlink(fd.path(), ec) == file;
        return n;
    };
    ASSERT_GT(handlesOnFile(), 0);
    dm->Database1.Close();
    EXPECT_EQ(handlesOnFile(), 0);
}

} // namespace
