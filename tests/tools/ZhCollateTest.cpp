// The collation extension, loaded into a plain SQLite connection to a
// database the work-folder creator made, as the sqlcipher shell loads it.
#include "data/DM1.h"
#include "data/WorkFolder.h"
#include "support/ColumnValues.h"
#include "support/WorkDir.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {

// One SQLite connection of the test's own, keyed like the desk's.
class Shell {
public:
    Shell()
    {
        sqlite3_open_v2("dbvord.mdb", &db_, SQLITE_OPEN_READWRITE, nullptr);
        const auto settings = ado::parseConnectionString(TDataModule1::ConnectionString);
        run("PRAGMA key = '" + settings.password + "'");
    }
    ~Shell() { sqlite3_close_v2(db_); }

    std::string load()
    {
        sqlite3_enable_load_extension(db_, 1);
        char *error = nullptr;
        const int rc = sqlite3_load_extension(db_, ZHCOLLATE_PATH, nullptr, &error);
        const std::string text = rc == SQLITE_OK ? "" : error ? error : "failed";
        sqlite3_free(error);
        return text;
    }

    // Every row's first column joined by "|"; "error: ..." when it fails.
    std::string run(const std::string &sql)
    {
        sqlite3_stmt *st = nullptr;
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr) != SQLITE_OK)
            return "error: " + std::string(sqlite3_errmsg(db_));
        std::string out;
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW)
            out += (out.empty() ? "" : "|") + std::string(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)));
        sqlite3_finalize(st);
        return rc == SQLITE_DONE ? out : "error: " + std::string(sqlite3_errmsg(db_));
    }

private:
    sqlite3 *db_ = nullptr;
};

TEST(ZhCollate, StandardToolsFilterSortAndWriteTheDesksDatabase)
{
    WorkDir dir;
    workfolder::create(".");
    {
        Shell shell;
        EXPECT_EQ(shell.run("select WORKCODE from operater where WORKCODE='kelvo'"),
                  "error: no such collation sequence: ZH_CI");
        ASSERT_EQ(shell.load(), "");
        const std::pair<const char *, const char *> steps[] = {
            {"select WORKCODE from operater where WORKCODE='kelvo'", "Kelvo"},
            {"insert into client (CLIENTID, CONTACT) values ('张三', '1'), ('李四', '2'), ('bob', '3'), ('Anna', '4')",
             ""},
            {"insert into client (CLIENTID) values ('ANNA')", "error: UNIQUE constraint failed: client.CLIENTID"},
            {"update client set CONTACT = '139' where CLIENTID = 'anna'", ""},
            {"select CLIENTID from client where CONTACT > '1' order by CLIENTID", "Anna|bob|李四"},
            {"select count(*) from client where CLIENTID >= 'B'", "3"},
            {"PRAGMA integrity_check", "ok"},
        };
        for (const auto &[sql, result] : steps)
            EXPECT_EQ(shell.run(sql), result) << sql;
    }
    // The desk reads what the tool wrote through its own indices.
    TDataModule1 dm;
    EXPECT_EQ(columnValues(dm.Query1, "select * from client where CLIENTID='ANNA'", "CONTACT"),
              std::vector<std::string>{"139"});
}

} // namespace
