#include "data/Schema.h"

#include "platform/ado/AdoCollation.h"

#include <string_view>

namespace schema {

namespace {

constexpr Kind T = Kind::Text;
constexpr Kind D = Kind::DateTime;
constexpr Kind I = Kind::Integer;
constexpr Kind P = Kind::Picture;

std::string quoted(const char *name) { return std::string("\"") + name + "\""; }

std::string columnDefinition(const Column &c)
{
    std::string out = quoted(c.name);
    switch (c.kind) {
    case Kind::Text: out += std::string(" TEXT COLLATE ") + ado::CollationName; break;
    case Kind::DateTime: out += " DATETIME"; break;
    case Kind::Integer:
        // Text that is not a number is refused instead of kept as text.
        out += " INTEGER CHECK (typeof(" + quoted(c.name) + ") IN ('integer','null'))";
        break;
    case Kind::Picture: out += " BLOB"; break;
    }
    if (c.unique)
        out += " NOT NULL UNIQUE";
    return out;
}

std::string createTable(const Table &t, const char *how)
{
    std::string sql = std::string(how) + quoted(t.name) + " (";
    for (size_t i = 0; i < t.columns.size(); ++i)
        sql += (i ? ", " : "") + columnDefinition(t.columns[i]);
    return sql + ")";
}

} // namespace

const std::vector<Table> &tables()
{
    static const std::vector<Table> all = {
        {"operater", {{"WORKCODE", T, true}, {"NAME", T, false}, {"DISCRIBE", T, false}, {"PASSWORD", T, false}}},
        {"workgroup", {{"GROUPNAME", T, true}, {"DISCRIBE", T, false}}},
        {"oper_group", {{"WORKCODE", T, false}, {"GROUPNAME", T, false}}},
        {"module", {{"MODULEID", T, true}, {"NAME", T, false}, {"DISCRIBE", T, false}}},
        {"group_module", {{"GROUPNAME", T, false}, {"MODULEID", T, false}}},
        {"operlog", {{"WORKCODE", T, false}, {"Action", T, false}, {"OperTime", D, false}}},
        {"client", {{"CLIENTID", T, true},   {"NAME", T, false},     {"CONTACT", T, false},  {"PERSONID", T, false},
                    {"PHONE", T, false},     {"COMPANY", T, false},  {"HEADSHIP", T, false}, {"EMAIL", T, false},
                    {"FAX", T, false},       {"ADDR", T, false},     {"POSTCODE", T, false}, {"HOMEPAGE", T, false},
                    {"OICQ", T, false},      {"Sex", T, false},      {"LanID", T, false},    {"birthday", D, false},
                    {"nickname", T, false},  {"netname", T, false},  {"like", T, false},     {"orighome", T, false},
                    {"homephone", T, false}, {"homeaddr", T, false}, {"family", T, false},   {"recent", T, false},
                    {"CHATTOOL", T, false},  {"nation", T, false}}},
        {"client_cgroup", {{"CLIENTID", T, false}, {"GROUPNAME", T, false}}},
        {"cgroup", {{"GROUPNAME", T, true}, {"DISCRIBE", T, false}, {"parent", T, false}}},
        {"clientphotos",
         {{"CLIENTID", T, false},
          {"photo1", P, false},
          {"photo2", P, false},
          {"photo3", P, false},
          {"photo4", P, false},
          {"photo5", P, false}}},
        {"clientsession",
         {{"CLIENTID", T, false},
          {"datetime", D, false},
          {"session", T, false},
          {"Status", T, false},
          {"Level", T, false}}},
        {"terminate", {{"CLIENTID", T, false}}},
        {"sms_tosend", {{"TASKID", T, false}, {"PHONE", T, false}, {"MESSAGE", T, false}, {"SENDFLAG", T, false}}},
        {"sms_toread", {{"PHONE", T, false}, {"MESSAGE", T, false}, {"TIME", D, false}, {"READFLAG", T, false}}},
        {"smstype", {{"TYPEID", T, true}, {"NAME", T, false}}},
        {"smsdata", {{"SMSID", I, true}, {"TYPEID", T, false}, {"TITLE", T, false}, {"CONTENT", T, false}}},
        {"task",
         {{"TASKID", T, true},
          {"TASKNAME", T, false},
          {"MESSAGE", T, false},
          {"EXETIME", D, false},
          {"STATE", T, false}}},
        {"task_client", {{"TASKID", T, false}, {"CLIENTID", T, false}}},
        {"task_cgroup", {{"TASKID", T, false}, {"GROUPNAME", T, false}}},
        {"param", {{"paramid", T, true}, {"paramval", T, false}}},
    };
    return all;
}

const std::vector<Table> &engineTables()
{
    static const std::vector<Table> all = {
        {"sms_received", {{"DIGEST", T, true}, {"STORED", D, false}, {"QUEUED", I, false}}},
    };
    return all;
}

const std::vector<AddedColumn> &addedColumns()
{
    static const std::vector<AddedColumn> all = {{"sms_received", "QUEUED"}};
    return all;
}

const std::vector<Index> &indices()
{
    // Not unique: they only speed up the dispatch timers, the task runner,
    // the received-message lists, the group and number lookups, and the
    // edit dialogs' probe of one (owner, item) pair per check-list item.
    // One column each: rows equal in it come in the order a scan gives, so
    // a statement without ORDER BY returns what it returned before.
    static const std::vector<Index> all = {
        {"sms_tosend_sendflag", "sms_tosend", {"SENDFLAG"}},
        {"task_state_exetime", "task", {"STATE", "EXETIME"}},
        {"sms_toread_readflag_time", "sms_toread", {"READFLAG", "TIME"}},
        {"sms_toread_phone", "sms_toread", {"PHONE"}},
        {"client_cgroup_groupname", "client_cgroup", {"GROUPNAME"}},
        {"client_cgroup_clientid", "client_cgroup", {"CLIENTID"}},
        {"task_client_clientid", "task_client", {"CLIENTID"}},
        {"task_cgroup_groupname", "task_cgroup", {"GROUPNAME"}},
        {"client_contact", "client", {"CONTACT"}},
        {"sms_received_stored", "sms_received", {"STORED"}},
    };
    return all;
}

std::vector<std::string> createStatements()
{
    std::vector<std::string> out;
    for (const Table &t : tables())
        out.push_back(createTable(t, "CREATE TABLE "));
    const std::vector<std::string> more = upgradeStatements();
    out.insert(out.end(), more.begin(), more.end());
    return out;
}

std::vector<std::string> upgradeStatements()
{
    std::vector<std::string> out;
    for (const Table &t : engineTables())
        out.push_back(createTable(t, "CREATE TABLE IF NOT EXISTS "));
    for (const Index &x : indices()) {
        std::string sql = "CREATE INDEX IF NOT EXISTS " + quoted(x.name) + " ON " + quoted(x.table) + " (";
        for (size_t i = 0; i < x.columns.size(); ++i)
            sql += (i ? ", " : "") + quoted(x.columns[i]);
        out.push_back(sql + ")");
    }
    return out;
}

std::string addColumnStatement(const AddedColumn &added)
{
    for (const Table &t : engineTables())
        if (std::string_view(t.name) == added.table)
            for (const Column &c : t.columns)
                if (std::string_view(c.name) == added.column)
                    return "ALTER TABLE " + quoted(t.name) + " ADD COLUMN " + columnDefinition(c);
    return {};
}

} // namespace schema
