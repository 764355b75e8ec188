// databench [rows...]: times the two statements of the dispatch loop on an
// sms_tosend table of each size (default 1000 and 1000000):
//   (a) open "select * from  sms_tosend", append a row, post it (Query6's job);
//   (b) open "select * from  sms_tosend where SENDFLAG='未发'", edit the first
//       row to "已发", post it (Timer1's job).
// Prints per-operation times and the peak memory the operations add, then
// whether the largest table stays within 1.5 times the smallest's times.
#include "data/DM1.h"
#include "data/WorkFolder.h"
#include "platform/ado/Ado.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int Operations = 300;

long statusKb(const char *key)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key, 0) == 0)
            return std::stol(line.substr(std::string(key).size()));
    return -1;
}

void resetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

struct Times {
    double median = 0, mean = 0, worst = 0;
};

template <typename F> Times measure(F op)
{
    std::vector<double> us;
    for (int i = 0; i < Operations; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        op(i);
        us.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count());
    }
    Times t;
    for (double u : us)
        t.mean += u / us.size();
    std::sort(us.begin(), us.end());
    t.median = us[us.size() / 2];
    t.worst = us.back();
    return t;
}

void fill(long rows)
{
    TAdoConnection db(TDataModule1::ConnectionString);
    db.Open();
    // History first, the pending backlog last (the newest rows), as in use.
    const long pending = Operations * 2;
    db.Execute("BEGIN");
    db.Execute("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM c WHERE x<" + std::to_string(rows) +
               ") INSERT INTO sms_tosend (TASKID, PHONE, MESSAGE, SENDFLAG) SELECT '2024-1-1 ' || x,"
               " '139' || substr('00000000' || x, -8, 8), '您好，这是第' || x || '条测试短信。',"
               " CASE WHEN x > " +
               std::to_string(rows - pending) + " THEN '未发' ELSE '已发' END FROM c");
    db.Execute("COMMIT");
}

struct Result {
    long rows;
    Times append, mark;
    long baseKb, peakKb;
};

Result run(long rows)
{
    QTemporaryDir dir;
    const QString previous = QDir::currentPath();
    QDir::setCurrent(dir.path());
    workfolder::create(dir.path().toStdString());
    const auto t0 = std::chrono::steady_clock::now();
    fill(rows);
    std::printf("%8ld rows: filled in %.1f s\n", rows,
                std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());

    Result r{rows, {}, {}, 0, 0};
    {
        TDataModule1 dm;
        resetPeak();
        r.baseKb = statusKb("VmRSS:");
        r.append = measure([&](int i) {
            TAdoQuery &q = dm.Query6;
            q.Close();
            q.SetSQL("select * from  sms_tosend");
            q.Open();
            q.Append();
            q.FieldByName("TASKID")->SetAsString(DateTimeToStr(QDateTime::currentDateTime()));
            q.FieldByName("PHONE")->SetAsString("13800138000");
            q.FieldByName("MESSAGE")->SetAsString("新消息 " + std::to_string(i));
            q.FieldByName("SENDFLAG")->SetAsString("未发");
            q.Post();
            q.Close();
        });
        r.mark = measure([&](int) {
            TAdoQuery &q = dm.Query1;
            q.Close();
            q.SetSQL("select * from  sms_tosend where SENDFLAG='未发'");
            q.Open();
            if (q.IsEmpty())
                throw std::runtime_error("no pending row");
            const std::string text = q.FieldByName("PHONE")->AsString() + q.FieldByName("MESSAGE")->AsString();
            q.Edit();
            q.FieldByName("SENDFLAG")->SetAsString("已发");
            q.Post();
            q.Close();
        });
        r.peakKb = statusKb("VmHWM:");
    }
    QDir::setCurrent(previous);
    return r;
}

void print(const char *name, const Times &t)
{
    std::printf("    %-22s median %8.1f us  mean %8.1f us  worst %8.1f us\n", name, t.median, t.mean, t.worst);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    std::vector<long> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.push_back(std::stol(argv[i]));
    if (sizes.empty())
        sizes = {1000, 1000000};
    std::vector<Result> results;
    for (long n : sizes) {
        // Each size in a fresh process, so that no heap or cache carries over.
        int fds[2];
        if (pipe(fds) != 0)
            return 1;
        std::fflush(stdout);
        const pid_t child = fork();
        if (child == 0) {
            close(fds[0]);
            const Result r = run(n);
            print("(a) open+append+post", r.append);
            print("(b) open+edit+post", r.mark);
            std::printf("    memory: %ld KiB before the operations, peak %ld KiB during them\n", r.baseKb, r.peakKb);
            std::fflush(stdout);
            _exit(write(fds[1], &r, sizeof r) == sizeof r ? 0 : 1);
        }
        close(fds[1]);
        Result r{};
        const bool got = read(fds[0], &r, sizeof r) == sizeof r;
        close(fds[0]);
        int status = 0;
        waitpid(child, &status, 0);
        if (!got || status != 0)
            return 1;
        results.push_back(r);
    }
    if (results.size() < 2)
        return 0;
    const Result &small = results.front(), &large = results.back();
    const double ra = large.append.median / small.append.median;
    const double rb = large.mark.median / small.mark.median;
    const bool ok = ra <= 1.5 && rb <= 1.5;
    const long growth = (large.peakKb - large.baseKb) - (small.peakKb - small.baseKb);
    std::printf(
        "median ratio %ld/%ld rows: (a) %.2f  (b) %.2f -> %s; peak growth by the operations differs by %ld KiB\n",
        large.rows, small.rows, ra, rb, ok ? "within 1.5x" : "OVER 1.5x", growth);
    return ok ? 0 : 1;
}
