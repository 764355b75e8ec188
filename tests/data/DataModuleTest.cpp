#include "DataFixture.h"

#include "codec/Gbk.h"
#include "data/Schema.h"

#include <QDir>
#include <QSignalSpy>
#include <sys/stat.h>

namespace {

using DataModule = DataFixture;

TEST_F(DataModule, DeletingAContactLeavesTheRowsThatNameIt)
{
    ado::appendRow(dm->Query1, "client", {{"CLIENTID", "张三"}, {"CONTACT", " "}});
    ado::appendRow(dm->Query1, "client_cgroup", {{"CLIENTID", "张三"}, {"GROUPNAME", "手机电话本"}});
    ado::appendRow(dm->Query1, "clientphotos", {{"CLIENTID", "张三"}});
    ado::appendRow(dm->Query1, "clientsession", {{"CLIENTID", "张三"}, {"session", "note"}});
    ado::appendRow(dm->Query1, "task_client", {{"TASKID", "1"}, {"CLIENTID", "张三"}});
    // A contact saved without a number keeps its single blank.
    EXPECT_EQ(column("select * from  client where contact=' '", "CONTACT"), std::vector<std::string>{" "});
    dm->Query1.SetSQL("Delete from Client where CLIENTID='张三'");
    EXPECT_EQ(dm->Query1.ExecSQL(), 1);
    for (const char *table : {"client_cgroup", "clientphotos", "clientsession", "task_client"})
        EXPECT_EQ(count(std::string("select * from ") + table + " where clientid='张三'"), 1) << table;
}

TEST_F(DataModule, EveryTableHasItsColumnsUnderTheirNames)
{
    for (const auto *all : {&schema::tables(), &schema::engineTables()})
        for (const schema::Table &t : *all) {
            TAdoQuery &q = probe(std::string("select * from ") + t.name);
            ASSERT_EQ(q.FieldCount(), int(t.columns.size())) << t.name;
            for (const schema::Column &c : t.columns)
                EXPECT_NE(q.FindField(c.name), nullptr) << t.name << "." << c.name;
            EXPECT_TRUE(q.CanModify()) << t.name;
        }
    std::vector<std::string> indices =
        column("select name from sqlite_master where type='index' and sql is not null", "name");
    for (const schema::Index &x : schema::indices())
        EXPECT_NE(std::find(indices.begin(), indices.end(), x.name), indices.end()) << x.name;
}

TEST_F(DataModule, ADatabaseMadeBeforeTheEnginesTableGetsItOnOpen)
{
    dm->Database1.Execute("drop table sms_received");
    reopen();
    ado::appendRow(dm->Query1, "sms_received", {{"DIGEST", "ab"}, {"STORED", "2024-5-6 8:30:15"}});
    EXPECT_EQ(count("select * from sms_received where STORED<'2024-05-07'"), 1);
    // The digest is a key.
    EXPECT_THROW(ado::appendRow(dm->Query1, "sms_received", {{"DIGEST", "ab"}}), EDatabaseError);
}

TEST_F(DataModule, ADatabaseMadeBeforeTheQueuedColumnGetsItOnOpenAndKeepsItsRows)
{
    dm->Database1.Execute("drop table sms_received");
    dm->Database1.Execute("create table sms_received (DIGEST TEXT NOT NULL UNIQUE, STORED DATETIME)");
    ado::appendRow(dm->Query1, "sms_received", {{"DIGEST", "old"}, {"STORED", "2024-5-6 8:30:15"}});
    // Opened twice: the second open finds the column there.
    for (int open = 1; open <= 2; ++open) {
        reopen();
        EXPECT_NE(probe("select * from sms_received").FindField("QUEUED"), nullptr) << open;
    }
    EXPECT_EQ(count("select * from sms_received where DIGEST='old' and QUEUED is null"), 1);
    ado::appendRow(dm->Query1, "sms_received", {{"DIGEST", "new"}, {"QUEUED", "0"}});
    EXPECT_EQ(count("select * from sms_received where QUEUED=0"), 1);
    EXPECT_THROW(ado::appendRow(dm->Query1, "sms_received", {{"DIGEST", "junk"}, {"QUEUED", "x"}}), EDatabaseError);
}

TEST_F(DataModule, DataSourcesFollowTheirQuery)
{
    TDataSource &ds = dm->DataSource3;
    TAdoQuery &q = dm->Query3;
    ado::appendRow(dm->Query1, "client", {{"CLIENTID", "张三"}});
    ado::appendRow(dm->Query1, "client", {{"CLIENTID", "李四"}});
    QSignalSpy state(&ds, &TDataSource::StateChange);
    QSignalSpy data(&ds, &TDataSource::DataChange);
    int scrolls = 0;
    q.AfterScroll = [&](TAdoQuery &) { ++scrolls; };
    // A bound editor hands its pending text over when the row is posted.
    QObject::connect(&ds, &TDataSource::UpdateData, [&] { q.FieldByName("nickname")->SetAsString("typed"); });

    q.SetSQL("select * from client");
    q.Open();
    EXPECT_EQ(scrolls, 1);
    EXPECT_GE(state.count(), 1);
    q.Next();
    EXPECT_EQ(scrolls, 2);
    q.Next(); // no further row: no move
    EXPECT_EQ(scrolls, 2);
    const int before = data.count();
    q.Edit();
    q.Post();
    EXPECT_GT(data.count(), before);
    EXPECT_EQ(count("select * from client where nickname='typed'"), 1);
    q.AfterScroll = nullptr;
}

TEST(WorkFolder, MakesEveryFileOfAFirstStart)
{
    WorkDir dir;
    const workfolder::Result r = workfolder::create(dir.path() + "/work");
    EXPECT_EQ(r.created.size(), 10u);
    EXPECT_TRUE(r.kept.empty());
    QDir::setCurrent(QString::fromStdString(dir.file("work")));

    EXPECT_EQ(dir.read("work/TreeView.Txt"), gbk::fromUtf8("联系人\r\n组\r\n\t手机电话本\r\n"));
    EXPECT_EQ(dir.read("work/smsset.ini"), "[COMMON]\r\nSCA=+8613800100500\r\n\r\n[CH1]\r\nCOMPORT=COM1\r\n");
    EXPECT_TRUE(QFile::exists("SMSLog.TXT"));
    EXPECT_EQ(dir.read("work/SMSLog.TXT"), "");
    ASSERT_EQ(workfolder::phraseCategories().size(), 6u);
    for (const std::string &c : workfolder::phraseCategories()) {
        const std::string bytes = dir.read("work/smsbook/" + c + ".txt");
        EXPECT_GT(bytes.size(), 20u) << c;
        EXPECT_EQ(gbk::fromUtf8(gbk::toUtf8(bytes)), bytes) << c; // valid GBK
        EXPECT_EQ(bytes.find('?'), std::string::npos) << c;       // nothing unmapped
        EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n") << c;
    }
    EXPECT_FALSE(QFile::exists("dbvord.mdb.part"));

    TDataModule1 dm;
    TAdoQuery &q = dm.Query1;
    q.SetSQL("select * from operater");
    q.Open();
    ASSERT_EQ(q.RecordCount(), 1);
    EXPECT_EQ(q.FieldByName("WORKCODE")->AsString(), "Kelvo");
    EXPECT_EQ(q.FieldByName("PASSWORD")->AsString(), "tobrun");
    q.SetSQL("select * from  param where paramid='QM'");
    q.Open();
    ASSERT_EQ(q.RecordCount(), 1);
    EXPECT_EQ(q.FieldByName("paramval")->AsString(), "");
    q.SetSQL("select * from cgroup");
    q.Open();
    EXPECT_EQ(q.RecordCount(), 1);
    EXPECT_EQ(q.FieldByName("GROUPNAME")->AsString(), "手机电话本");
}

TEST(WorkFolder, WhatItMakesIsTheOwnersAloneWhatExistedKeepsItsMode)
{
    WorkDir dir;
    const mode_t umask = ::umask(022); // a permissive umask must not matter
    auto mode = [&](const std::string &name) {
        struct stat st {};
        return ::stat(dir.file(name).c_str(), &st) == 0 ? st.st_mode & 07777 : 01;
    };
    QDir().mkdir("old");
    dir.write("old/smsset.ini", "[COMMON]\r\n");
    const mode_t oldMode = mode("old/smsset.ini");
    ASSERT_EQ(oldMode, 0644u);

    const workfolder::Result fresh = workfolder::create(dir.file("work"));
    const workfolder::Result old = workfolder::create(dir.file("old"));
    QDir::setCurrent(QString::fromStdString(dir.file("work")));
    auto dm = std::make_unique<TDataModule1>(); // the database's log files appear
    ::umask(umask);

    std::vector<std::pair<std::string, mode_t>> expected = {
        {"work", 0700}, {"work/smsbook", 0700},  {"work/dbvord.mdb-wal", 0600}, {"work/dbvord.mdb-shm", 0600},
        {"old", 0755},  {"old/smsset.ini", 0644}};
    for (const std::string &f : fresh.created)
        expected.emplace_back("work/" + f, 0600);
    for (const std::string &f : old.created)
        expected.emplace_back("old/" + f, 0600);
    for (const auto &[name, want] : expected)
        EXPECT_EQ(mode(name), want) << name;
}

TEST(WorkFolder, NeverReplacesAFile)
{
    WorkDir dir;
    QDir().mkpath("smsbook");
    dir.write("dbvord.mdb", "not a database");
    dir.write("TreeView.Txt", "mine");
    dir.write("smsbook/日常祝福.txt", "mine too");
    dir.write("SMSLog.TXT", "old log\r\n");
    const workfolder::Result r = workfolder::create(dir.path());
    EXPECT_EQ(r.kept.size(), 4u);
    EXPECT_EQ(dir.read("dbvord.mdb"), "not a database");
    EXPECT_EQ(dir.read("TreeView.Txt"), "mine");
    EXPECT_EQ(dir.read("smsbook/日常祝福.txt"), "mine too");
    EXPECT_EQ(dir.read("SMSLog.TXT"), "old log\r\n");
    EXPECT_TRUE(QFile::exists("smsset.ini"));

    const workfolder::Result again = workfolder::create(dir.path());
    EXPECT_TRUE(again.created.empty());
    EXPECT_EQ(again.kept.size(), 10u);
}

} // namespace
