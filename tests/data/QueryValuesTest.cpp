#include "DataFixture.h"

#include "support/LocalZone.h"

namespace {

using QueryValues = DataFixture;

TEST_F(QueryValues, NullReadsAsEmptyTextZeroDateAndZero)
{
    ado::appendRow(dm->Query1, "client", {{"CLIENTID", "张三"}});
    TAdoQuery &q = probe("select * from client");
    EXPECT_TRUE(q.FieldByName("birthday")->IsNull());
    EXPECT_TRUE(q.FieldByName("birthday")->AsDateTime().isNull());
    EXPECT_EQ(q.FieldByName("birthday")->AsString(), "");
    EXPECT_EQ(q.FieldByName("NAME")->AsString(), "");
    EXPECT_TRUE(q.FieldByName("NAME")->IsNull());
}

TEST_F(QueryValues, DateTimesRoundTripSortAndCompareAsStored)
{
    const QDateTime base(QDate(2024, 5, 1), QTime(12, 0, 0));
    TAdoQuery &q = dm->Query1;
    q.SetSQL("select * from task");
    q.Open();
    // Offsets that text order would get wrong in a locale format (9 < 10, 12-31 < 2-1).
    for (int hours : {25, -9, 0, 10, -24 * 40}) {
        q.Append();
        q.FieldByName("TASKID")->SetAsString(std::to_string(hours));
        q.FieldByName("EXETIME")->SetAsDateTime(base.addSecs(hours * 3600));
        q.FieldByName("STATE")->SetAsString("未执行");
        q.Post();
    }
    q.Close();
    EXPECT_EQ(column("select * from  task where state='未执行' order by exetime", "TASKID"),
              (std::vector<std::string>{"-960", "-9", "0", "10", "25"}));
    EXPECT_EQ(column("select * from task where EXETIME <= '2024-05-01 12:00:00' order by exetime", "TASKID"),
              (std::vector<std::string>{"-960", "-9", "0"}));
    TAdoQuery &p = probe("select * from task where taskid='0'");
    EXPECT_EQ(p.FieldByName("EXETIME")->AsDateTime(), base);
    EXPECT_EQ(p.FieldByName("EXETIME")->AsString(), "2024-5-1 12:00:00");
}

TEST_F(QueryValues, DateTimeTextsAndZero)
{
    TAdoQuery &q = dm->Query1;
    q.SetSQL("select * from client");
    q.Open();
    q.Append();
    q.FieldByName("CLIENTID")->SetAsString("a");
    q.FieldByName("birthday")->SetAsDateTime(QDateTime(QDate(1990, 12, 31), QTime(0, 0)));
    q.Post();
    // The desk shows a midnight as the date alone, whatever the locale.
    EXPECT_EQ(q.FieldByName("birthday")->AsString(), "1990-12-31");
    // The shown form reads back as the same time.
    q.Edit();
    q.FieldByName("birthday")->SetAsString("2024-5-6 8:05:09");
    EXPECT_EQ(q.FieldByName("birthday")->AsDateTime(), QDateTime(QDate(2024, 5, 6), QTime(8, 5, 9)));
    EXPECT_EQ(q.FieldByName("birthday")->AsString(), "2024-5-6 8:05:09");
    q.Cancel();
    q.Edit();
    q.FieldByName("birthday")->SetAsDateTime(QDateTime()); // date-time zero
    q.Post();
    EXPECT_TRUE(probe("select * from client").FieldByName("birthday")->IsNull());
    q.Edit();
    EXPECT_THROW(q.FieldByName("birthday")->SetAsString("not a date"), EDatabaseError);
    q.FieldByName("birthday")->SetAsString("1990-12-31 08:30:00");
    q.Post();
    EXPECT_EQ(q.FieldByName("birthday")->AsDateTime(), QDateTime(QDate(1990, 12, 31), QTime(8, 30)));
    EXPECT_THROW(q.FieldByName("CLIENTID")->AsDateTime(), EDatabaseError);
}

TEST_F(QueryValues, ATimeTheLocalClockSkipsIsKeptAsWritten)
{
    const LocalZone zone(LocalZone::MidnightGap);
    const QDate day(2024, 6, 2);
    ASSERT_FALSE(QDateTime(day, QTime(0, 0)).isValid()); // the zone has no such local time
    struct Case {
        const char *key;
        const char *typed; // null: the local date-time a picker makes
        QTime time;
        const char *stored;
        const char *shown;
    };
    const Case cases[] = {
        {"picked", nullptr, {0, 0}, "2024-06-02 00:00:00", "2024-6-2"},
        {"stored form", "2024-06-02 00:00:00", {0, 0}, "2024-06-02 00:00:00", "2024-6-2"},
        {"date alone", "2024-6-2", {0, 0}, "2024-06-02 00:00:00", "2024-6-2"},
        {"shown form", "2024-6-2 0:30:00", {0, 30}, "2024-06-02 00:30:00", "2024-6-2 0:30:00"},
    };
    TAdoQuery &q = dm->Query1;
    q.SetSQL("select * from client");
    q.Open();
    for (const Case &c : cases) {
        q.Append();
        q.FieldByName("CLIENTID")->SetAsString(c.key);
        if (c.typed)
            q.FieldByName("birthday")->SetAsString(c.typed);
        else
            q.FieldByName("birthday")->SetAsDateTime(QDateTime(day, c.time));
        q.Post();
    }
    q.Close();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.key);
        TAdoQuery &p = probe("select birthday, birthday || '' as raw from client where clientid=" + QuotedStr(c.key));
        EXPECT_EQ(p.FieldByName("raw")->AsString(), c.stored);
        const QDateTime read = p.FieldByName("birthday")->AsDateTime();
        EXPECT_EQ(read.date(), day);
        EXPECT_EQ(read.time(), c.time);
        EXPECT_EQ(p.FieldByName("birthday")->AsString(), c.shown);
    }
}

TEST_F(QueryValues, TemplateNumbersAreIntegersAndRefuseText)
{
    EXPECT_TRUE(probe("select smsid from smsdata order by smsid desc").IsEmpty());
    TAdoQuery &q = dm->Query1;
    q.SetSQL("select * from  SMSDATA");
    q.Open();
    for (const char *id : {"2", "10", " 9 "}) {
        q.Append();
        q.FieldByName("SMSID")->SetAsString(id);
        q.FieldByName("TITLE")->SetAsString(std::string("t") + id);
        q.Post();
    }
    q.Append();
    q.FieldByName("SMSID")->SetAsString("12a");
    EXPECT_THROW(q.Post(), EDatabaseError);
    q.Cancel();
    q.Close();
    TAdoQuery &p = probe("select smsid from smsdata order by smsid desc");
    EXPECT_EQ(p.Fields(0)->AsInteger(), 10); // numeric order, not text order
    EXPECT_EQ(count("select * from smsdata"), 3);
    EXPECT_EQ(probe("select * from smsdata where smsid=9").FieldByName("TITLE")->AsString(), "t 9 ");
    EXPECT_THROW(probe("select * from smsdata where smsid=9").FieldByName("TITLE")->AsInteger(), EDatabaseError);
}

TEST_F(QueryValues, PicturesKeepEveryByte)
{
    QByteArray picture(1 << 20, '\0');
    for (int i = 0; i < picture.size(); ++i)
        picture[i] = char(i * 7 + (i >> 8));
    TAdoQuery &q = dm->Query4;
    q.SetSQL("select * from clientphotos where CLIENTID='张三'");
    q.Open();
    q.Edit(); // no row yet: starts one
    q.FieldByName("CLIENTID")->SetAsString("张三");
    q.FieldByName("photo3")->SetAsBytes(picture);
    q.Post();
    TAdoQuery &p = probe("select * from clientphotos");
    EXPECT_EQ(p.FieldByName("photo3")->AsBytes(), picture);
    EXPECT_TRUE(p.FieldByName("photo1")->IsNull());
    EXPECT_EQ(p.FieldByName("photo3")->Kind(), TFieldKind::Bytes);
}

TEST_F(QueryValues, TextComparesInPinyinOrderIgnoringCase)
{
    ado::appendRow(dm->Query1, "operater", {{"WORKCODE", "Admin"}, {"PASSWORD", "x"}});
    // Found in another letter case; the password is compared by the caller.
    EXPECT_EQ(column("select * from operater where WORKCODE='kelvo'", "PASSWORD"), std::vector<std::string>{"tobrun"});
    EXPECT_EQ(count("select * from operater where PASSWORD='TOBRUN'"), 1);

    TAdoQuery &q = dm->Query1;
    q.SetSQL("select * from operater");
    q.Open();
    q.Append();
    q.FieldByName("WORKCODE")->SetAsString("KELVO");
    EXPECT_THROW(q.Post(), EDatabaseError);
    q.Cancel();
    // Full-width letters are other characters, not another case.
    q.Append();
    q.FieldByName("WORKCODE")->SetAsString("ｋｅｌｖｏ");
    q.Post();
    q.Close();
    EXPECT_EQ(count("select * from operater where WORKCODE='KELVO'"), 1);

    for (const char *g : {"张三组", "阿里组", "李四组", "bob", "Alice", "王五组", "a"})
        ado::appendRow(dm->Query1, "cgroup", {{"GROUPNAME", g}, {"DISCRIBE", g}});
    EXPECT_EQ(column("select * from  cgroup order by discribe", "GROUPNAME"),
              (std::vector<std::string>{"a", "Alice", "bob", "阿里组", "李四组", "手机电话本", "王五组", "张三组"}));
}

TEST_F(QueryValues, StatementTextsAsTheDeskWritesThem)
{
    ado::appendRow(dm->Query1, "client_cgroup", {{"CLIENTID", "张三"}, {"GROUPNAME", "同事"}});
    ado::appendRow(dm->Query1, "client_cgroup", {{"CLIENTID", "张三"}, {"GROUPNAME", "朋友"}});
    ado::appendRow(dm->Query1, "clientsession",
                   {{"CLIENTID", "张三"}, {"datetime", "2024-01-02 03:04:05"}, {"session", "早"}});
    ado::appendRow(dm->Query1, "clientsession",
                   {{"CLIENTID", "张三"}, {"datetime", "2024-01-03 03:04:05"}, {"session", "晚"}});
    // No blank between the closing quote and "order".
    EXPECT_EQ(column("select * from clientsession where clientid='张三'order by datetime desc", "session"),
              (std::vector<std::string>{"晚", "早"}));
    EXPECT_EQ(count("select * from client_cgroup where  groupname='朋友'"), 1);
    TAdoQuery &q = dm->Query1;
    q.SetSQL("delete * from client_cgroup where clientid='张三' and groupname='同事'");
    EXPECT_EQ(q.ExecSQL(), 1);
    EXPECT_EQ(column("select * from CLIENT_CGROUP", "groupname"), std::vector<std::string>{"朋友"});
}

// Values that would break a statement built by plain concatenation.
class QuotedValues : public DataFixture, public ::testing::WithParamInterface<std::string> {};

TEST_P(QuotedValues, AreStoredFoundEditedAndDeletedAsTyped)
{
    const std::string v = GetParam();
    ado::appendRow(dm->Query1, "client", {{"CLIENTID", "bystander"}, {"NAME", v}});
    ado::appendRow(dm->Query1, "client", {{"CLIENTID", v}, {"CONTACT", " "}});

    TAdoQuery &q = dm->Query1;
    q.SetSQL("select * from client where clientid=" + QuotedStr(v));
    q.Open();
    ASSERT_EQ(q.RecordCount(), 1);
    EXPECT_EQ(q.FieldByName("CLIENTID")->AsString(), v);
    EXPECT_EQ(q.FieldByName("CONTACT")->AsString(), " ");
    q.Edit();
    q.FieldByName("NAME")->SetAsString(v + v);
    q.Post();
    q.Close();
    EXPECT_EQ(column("select * from client where name=" + QuotedStr(v + v), "CLIENTID"), std::vector<std::string>{v});
    EXPECT_EQ(column("select * from client where name=" + QuotedStr(v), "CLIENTID"),
              std::vector<std::string>{"bystander"});

    q.SetSQL("delete from client where clientid=" + QuotedStr(v));
    EXPECT_EQ(q.ExecSQL(), 1);
    EXPECT_EQ(column("select * from client", "CLIENTID"), std::vector<std::string>{"bystander"});
}

INSTANTIATE_TEST_SUITE_P(Hostile, QuotedValues,
                         ::testing::Values("O'Brien", "'; delete from client; --", "'", "''", "a\\'b", "x' or '1'='1",
                                           "引号'中文"));

TEST_F(QueryValues, AnUnquotedValueCannotSmuggleASecondStatement)
{
    ado::appendRow(dm->Query1, "client", {{"CLIENTID", "张三"}});
    TAdoQuery &q = dm->Query1;
    q.SetSQL("select * from client where clientid='" + std::string("'; delete from client; --") + "'");
    EXPECT_THROW(q.Open(), EDatabaseError);
    q.SetSQL("delete from client where clientid='x'; delete from client");
    EXPECT_THROW(q.ExecSQL(), EDatabaseError);
    EXPECT_EQ(count("select * from client"), 1);
}

} // namespace
