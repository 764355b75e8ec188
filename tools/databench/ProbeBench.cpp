// The check lists of the edit dialogs over 100,000 contacts: one dialog
// open reads the items and their ticks (checkItems) and fills the list.
#include "data/DM1.h"
#include "data/WorkFolder.h"
#include "desk/RecordDialogs.h"
#include "platform/ado/Ado.h"

#include <QApplication>
#include <QDir>
#include <QListWidget>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <memory>
#include <string>

namespace {

constexpr int Contacts = 100000;

// One work folder for the whole run: 100,000 contacts, each in one of 20
// groups, 10 tasks of 1,000 contacts each, and a task "gone" of 1,000 rows
// that name no contact.
class Folder {
public:
    Folder()
    {
        QDir::setCurrent(dir_.path());
        workfolder::create(dir_.path().toStdString());
        TAdoConnection db(TDataModule1::ConnectionString);
        db.Open();
        db.BeginTrans();
        const std::string n = std::to_string(Contacts);
        db.Execute("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM c WHERE x<" + n +
                   ") INSERT INTO client (CLIENTID, CONTACT) SELECT '客户' || x, '139' || substr('00000000' || x, -8, "
                   "8) FROM c");
        db.Execute("INSERT INTO client_cgroup (CLIENTID, GROUPNAME) SELECT CLIENTID, '组' || (rowid % 20) FROM client");
        db.Execute("INSERT INTO task_client (TASKID, CLIENTID) SELECT 'T' || (rowid % 10), CLIENTID FROM client "
                   "WHERE rowid % 100 < 10");
        db.Execute("INSERT INTO task_client (TASKID, CLIENTID) SELECT 'gone', '离开' || rowid FROM client "
                   "WHERE rowid % 100 = 0");
        db.CommitTrans();
        dm = std::make_unique<TDataModule1>();
    }

    std::unique_ptr<TDataModule1> dm;

private:
    QTemporaryDir dir_;
};

Folder &folder()
{
    static Folder f;
    return f;
}

// One dialog open as the edit dialogs load a check list of every contact:
// the items read and ticked (checkItems), then put into a list widget. The
// statements prepared per open are counted.
void dialogOpen(benchmark::State &state, const TLinkList &link, const char *key, bool linkedFirst = false)
{
    TDataModule1 &dm = *folder().dm;
    QListWidget list;
    int ticked = 0;
    uint64_t prepared = 0;
    for (auto _ : state) {
        const uint64_t before = dm.Database1.StatementsPrepared();
        const std::vector<TCheckItem> items = checkItems(dm.Query1, link, QString::fromUtf8(key), linkedFirst);
        fillCheckList(&list, items);
        prepared = dm.Database1.StatementsPrepared() - before;
        ticked = int(std::count_if(items.begin(), items.end(), [](const TCheckItem &i) { return i.ticked; }));
    }
    state.counters["ticked"] = ticked;
    state.counters["prepared"] = double(prepared);
}

// "编辑组": the group's 5,000 members first, then the other contacts.
void BM_ContactGroupsDialog(benchmark::State &state)
{
    dialogOpen(state, {nullptr, "select * from client ", "CLIENTID", "client_cgroup", "CLIENTID", "GROUPNAME"}, "组3",
               true);
}
BENCHMARK(BM_ContactGroupsDialog)->Unit(benchmark::kMillisecond)->UseRealTime();

// "编辑任务": every contact, the task's 1,000 ticked.
void BM_TaskContactsDialog(benchmark::State &state)
{
    dialogOpen(state, {nullptr, "select * from client", "CLIENTID", "task_client", "clientid", "taskid"}, "T5");
}
BENCHMARK(BM_TaskContactsDialog)->Unit(benchmark::kMillisecond)->UseRealTime();

// A task whose 1,000 contacts are gone: each such row is one lookup more,
// as is one stored in another letter case than its contact.
void BM_TaskContactsDialogNoneEqualByteForByte(benchmark::State &state)
{
    dialogOpen(state, {nullptr, "select * from client", "CLIENTID", "task_client", "clientid", "taskid"}, "gone");
}
BENCHMARK(BM_TaskContactsDialogNoneEqualByteForByte)->Unit(benchmark::kMillisecond)->UseRealTime();

// The walk over the contacts alone, as a part of a dialog open.
void BM_ContactWalk(benchmark::State &state)
{
    TAdoQuery &q = folder().dm->Query1;
    for (auto _ : state) {
        q.Close();
        q.SetSQL("select * from client");
        q.Open();
        for (; !q.Eof(); q.Next())
            benchmark::DoNotOptimize(q.FieldByName("CLIENTID")->AsString());
        q.Close();
    }
}
BENCHMARK(BM_ContactWalk)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
