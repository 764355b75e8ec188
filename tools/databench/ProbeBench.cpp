// The per-item probes of an edit dialog's check lists: with 100,000 contacts
// one dialog open runs one probe per contact on Query2 while Query1 walks
// "select * from client", as the record dialogs load their links.
#include "data/DM1.h"
#include "data/WorkFolder.h"
#include "platform/ado/Ado.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <chrono>
#include <memory>
#include <string>

namespace {

constexpr int Contacts = 100000;

// One work folder for the whole run: 100,000 contacts, each in one of 20
// groups, and 10 tasks of 1,000 contacts each.
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

// One probe as the dialogs run it (out of line, for profilers to pick out).
[[gnu::noinline]] bool isLinked(TAdoQuery &probe, std::string sql)
{
    probe.Close();
    probe.SetSQL(std::move(sql));
    probe.Open();
    const bool linked = !probe.IsEmpty();
    probe.Close();
    return linked;
}

// One dialog open: every contact of Query1's walk probed on Query2, as the
// record dialogs load a check list. The time is that of the probes alone
// (the walk is BM_ContactWalk); the statements prepared per open are counted.
void dialogOpen(benchmark::State &state, const std::string &linkTable, const std::string &otherColumn,
                const std::string &key)
{
    using Clock = std::chrono::steady_clock;
    TDataModule1 &dm = *folder().dm;
    int ticked = 0;
    uint64_t prepared = 0;
    for (auto _ : state) {
        ticked = 0;
        const uint64_t before = dm.Database1.StatementsPrepared();
        Clock::duration probes{};
        TAdoQuery &q = dm.Query1;
        q.Close();
        q.SetSQL("select * from client");
        q.Open();
        for (; !q.Eof(); q.Next()) {
            const std::string item = q.FieldByName("CLIENTID")->AsString();
            const Clock::time_point t0 = Clock::now();
            ticked += isLinked(dm.Query2, "select * from " + linkTable + " where clientid=" + QuotedStr(item) +
                                              " and " + otherColumn + "=" + QuotedStr(key));
            probes += Clock::now() - t0;
        }
        q.Close();
        prepared = dm.Database1.StatementsPrepared() - before;
        state.SetIterationTime(std::chrono::duration<double>(probes).count());
    }
    state.counters["ticked"] = ticked;
    state.counters["prepared"] = double(prepared);
}

void BM_ContactGroupsDialog(benchmark::State &state) { dialogOpen(state, "client_cgroup", "groupname", "组3"); }
BENCHMARK(BM_ContactGroupsDialog)->Unit(benchmark::kMillisecond)->UseManualTime();

void BM_TaskContactsDialog(benchmark::State &state) { dialogOpen(state, "task_client", "taskid", "T5"); }
BENCHMARK(BM_TaskContactsDialog)->Unit(benchmark::kMillisecond)->UseManualTime();

// The walk alone, without probes: what the dialog costs besides them.
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
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
