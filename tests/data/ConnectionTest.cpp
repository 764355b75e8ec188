#include "DataFixture.h"

#include "data/Schema.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <sqlite3.h>

namespace {

TEST(ConnectionString, ReadsTheKeysItUsesAndIgnoresTheRest)
{
    ado::ConnectionSettings s = ado::parseConnectionString(TDataModule1::ConnectionString);
    EXPECT_EQ(s.dataSource, "dbvord.mdb");
    EXPECT_EQ(s.password, "morwent");
    EXPECT_FALSE(s.readOnly);

    s = ado::parseConnectionString(" data source = 'my ''odd'' file;.mdb' ; MODE=Read ;"
                                   "jet oledb:database password=\"p;w\"\"d\"");
    EXPECT_EQ(s.dataSource, "my 'odd' file;.mdb");
    EXPECT_EQ(s.password, "p;w\"d");
    EXPECT_TRUE(s.readOnly);
    EXPECT_FALSE(ado::parseConnectionString("Data Source=x;Mode=Read|Write").readOnly);
}

TEST(ConnectionString, RefusesWhatItCannotHonour)
{
    EXPECT_THROW(ado::parseConnectionString("Provider=Microsoft.Jet.OLEDB.4.0"), EDatabaseError);
    EXPECT_THROW(ado::parseConnectionString("Data Source='dbvord.mdb"), EDatabaseError);
    EXPECT_THROW(ado::parseConnectionString("Data Source=x;garbage"), EDatabaseError);
    EXPECT_THROW(ado::parseConnectionString("Data Source=x;Locale Identifier=1033"), EDatabaseError);
}

TEST(Connection, MissingFileFailsWithTheDatabaseTextAndIsNotCreated)
{
    WorkDir dir;
    try {
        TDataModule1 dm;
        FAIL() << "opened a missing database";
    } catch (const EDatabaseError &e) {
        EXPECT_EQ(e.code() & 0xff, SQLITE_CANTOPEN);
        EXPECT_STREQ(e.what(), "unable to open database file");
    }
    EXPECT_FALSE(QFile::exists("dbvord.mdb"));
}

TEST(Connection, WrongPasswordFails)
{
    WorkDir dir;
    workfolder::create(dir.path());
    TAdoConnection db("Data Source=dbvord.mdb;Jet OLEDB:Database Password=Morwent");
    try {
        db.Open();
        FAIL() << "opened with a wrong key";
    } catch (const EDatabaseError &e) {
        EXPECT_EQ(e.code(), SQLITE_NOTADB);
        EXPECT_STREQ(e.what(), "file is encrypted or is not a database");
    }
    EXPECT_FALSE(db.Connected());
}

TEST(Connection, FileLockedByAnotherProgramFails)
{
    WorkDir dir;
    workfolder::create(dir.path());
    TAdoConnection other(TDataModule1::ConnectionString);
    other.Open();
    other.Execute("PRAGMA locking_mode=EXCLUSIVE");
    other.Execute("BEGIN EXCLUSIVE");
    try {
        TDataModule1 dm;
        FAIL() << "opened a locked database";
    } catch (const EDatabaseError &e) {
        EXPECT_EQ(e.code() & 0xff, SQLITE_BUSY);
        EXPECT_STREQ(e.what(), "database is locked");
    }
    other.Execute("COMMIT");
    other.Close();
    EXPECT_NO_THROW(TDataModule1());
}

TEST(Connection, ReadModeRefusesWrites)
{
    WorkDir dir;
    workfolder::create(dir.path());
    TAdoConnection db("Data Source=dbvord.mdb;Mode=Read;Jet OLEDB:Database Password=morwent");
    db.Open();
    TAdoQuery q(db);
    q.SetSQL("delete from operater");
    EXPECT_THROW(q.ExecSQL(), EDatabaseError);
    q.SetSQL("select * from operater where workcode='KELVO'");
    q.Open();
    EXPECT_EQ(q.RecordCount(), 1);
}

TEST(Connection, ClosingItClosesItsQueriesAndDroppingItDetachesThem)
{
    WorkDir dir;
    workfolder::create(dir.path());
    auto db = std::make_unique<TAdoConnection>(TDataModule1::ConnectionString);
    db->Open();
    TAdoQuery q(*db);
    q.SetSQL("select * from operater");
    q.Open();
    db->Close();
    EXPECT_FALSE(q.Active());
    EXPECT_THROW(q.Open(), EDatabaseError);
    db.reset();
    EXPECT_EQ(q.Connection(), nullptr);
    EXPECT_THROW(q.Open(), EDatabaseError);
}

TEST(Connection, RebuildsIndicesMadeUnderAnotherCollationVersion)
{
    WorkDir dir;
    workfolder::create(dir.path());
    {
        TAdoConnection db(TDataModule1::ConnectionString);
        db.Open();
        db.Execute("PRAGMA user_version = 7"); // as if made by another ICU
    }
    TDataModule1 dm;
    TAdoQuery &q = dm.Query1;
    q.SetSQL("PRAGMA user_version");
    q.Open();
    EXPECT_NE(q.Fields(0)->AsInteger(), 7);
    q.SetSQL("PRAGMA integrity_check");
    q.Open();
    EXPECT_EQ(q.Fields(0)->AsString(), "ok");
}

class Encryption : public DataFixture {};

TEST_F(Encryption, TheFileShowsNoTableNameOrValue)
{
    ado::appendRow(dm->Query1, "client", {{"CLIENTID", "PlainTextMarker"}});
    dm.reset();
    probeQuery.reset();
    const std::string bytes = dir.read("dbvord.mdb");
    ASSERT_GT(bytes.size(), 4096u);
    EXPECT_EQ(bytes.find("SQLite format"), std::string::npos);
    for (const auto *all : {&schema::tables(), &schema::engineTables()})
        for (const schema::Table &t : *all)
            EXPECT_EQ(bytes.find(t.name), std::string::npos) << t.name;
    for (const char *v : {"PlainTextMarker", "Kelvo", "tobrun", "CREATE"})
        EXPECT_EQ(bytes.find(v), std::string::npos) << v;
}

TEST_F(Encryption, TheCommandLineToolOpensItWithTheKey)
{
    const QString cli = QStandardPaths::findExecutable(QStringLiteral("sqlcipher"));
    if (cli.isEmpty())
        GTEST_SKIP() << "sqlcipher command-line tool not installed";
    dm.reset();
    probeQuery.reset();
    QProcess p;
    p.start(cli, {QStringLiteral("dbvord.mdb")});
    ASSERT_TRUE(p.waitForStarted());
    p.write("PRAGMA key='morwent';\n"
            "select count(*) from sqlite_master where type='table';\n"
            "select WORKCODE, PASSWORD from operater;\n");
    p.closeWriteChannel();
    ASSERT_TRUE(p.waitForFinished(30000));
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    EXPECT_EQ(out, QStringLiteral("21\nKelvo|tobrun\n")) << p.readAllStandardError().toStdString();
}

} // namespace
