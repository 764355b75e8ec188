#include "DeskRun.h"

#include "codec/PDUs.h"
#include "data/WorkFolder.h"
#include "platform/text/Profile.h"
#include "support/ColumnValues.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>
#include <algorithm>
#include <sstream>

std::vector<std::string> column(const std::string &sql, const char *name)
{
    for (int attempt = 0;; ++attempt) {
        try {
            Db db;
            return columnValues(db.q, sql, name);
        } catch (const EDatabaseError &e) {
            if (attempt == 20 || std::string(e.what()).find("locked") == std::string::npos)
                throw;
        }
        QThread::msleep(250);
    }
}

bool eventually(const std::function<bool()> &condition, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    for (;;) {
        try {
            if (condition())
                return true;
        } catch (const EDatabaseError &) {
        }
        if (t.elapsed() > timeoutMs)
            return false;
        QThread::msleep(200);
    }
}

std::vector<std::pair<std::string, std::string>> sentMessages(const ModemSim &sim)
{
    std::vector<std::pair<std::string, std::string>> out;
    for (const ModemSim::Pdu &p : sim.pdus()) {
        if (p.outcome != "sent")
            continue;
        TPDUSend pdu;
        pdu.Decode(p.text);
        out.emplace_back(pdu.GetDA(), pdu.GetUD());
    }
    return out;
}

bool wasSent(const ModemSim &sim, const std::string &da, const std::string &text)
{
    for (const auto &m : sentMessages(sim))
        if (m.first == da && m.second == text)
            return true;
    return false;
}

DeskRun::DeskRun(const ModemSim::Options &modem, const std::string &screen, bool windowManager)
    : x(screen, windowManager), windowManager(windowManager), sim(modem)
{
    workfolder::create(".");
    if (sim.started())
        profile::writeString("CH1", "COMPORT", sim.port(), "smsset.ini");
}

DeskRun::~DeskRun()
{
    if (desk.state() != QProcess::NotRunning) {
        desk.kill();
        desk.waitForFinished();
    }
}

std::string DeskRun::notReady() const
{
    if (!x.started())
        return "Xvfb is not available";
    if (windowManager && !x.managed())
        return "the window manager openbox did not start (tools/install-deps.sh installs it)";
    if (!sim.started())
        return "the modem simulator did not start: " + sim.errorOutput();
    return {};
}

bool DeskRun::start(const std::string &killAfterSync)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", QString::fromStdString(x.name()));
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("LD_PRELOAD", killAfterSync.empty() ? BOXPROBE_PATH : BOXPROBE_PATH " " KILLPROBE_PATH);
    env.insert("SMS_KILL_AFTER_SYNC", QString::fromStdString(killAfterSync));
    env.insert("SMS_BOX_PROBE", QString::fromStdString(dir.file("dialogs.probe")));
    env.insert("SMS_FOCUS_PROBE", QString::fromStdString(dir.file("focus.probe")));
    env.insert("SMS_SPOT_PROBE", QString::fromStdString(dir.file("spots.probe")));
    desk.setProcessEnvironment(env);
    desk.setWorkingDirectory(QString::fromStdString(dir.path()));
    desk.setProcessChannelMode(QProcess::ForwardedChannels);
    desk.start(SMSDESK_PATH, {});
    return desk.waitForStarted();
}

bool DeskRun::login()
{
    // The boxes are pre-filled with the supervisor's code and password:
    // Enter in the password box logs in.
    return x.keys("登录窗口", "Tab Return") && x.waitForWindow("澜星信使V1.1") && x.waitForWindow("澜星信使网关");
}

std::vector<std::string> DeskRun::dialogsShown() const
{
    std::vector<std::string> out;
    std::istringstream lines(dir.read("dialogs.probe"));
    for (std::string line; std::getline(lines, line);)
        out.push_back(line);
    return out;
}

bool DeskRun::focused(std::string &name, int &x, int &y) const
{
    std::istringstream lines(dir.read("focus.probe"));
    std::string last;
    for (std::string line; std::getline(lines, line);)
        last = line;
    std::istringstream fields(last);
    return std::getline(fields, name, '\t') && fields >> x >> y;
}

bool DeskRun::quit(int timeoutMs)
{
    if (!x.requestClose("澜星信使V1.1") || !x.keys("退出程序", "Return"))
        return false;
    return desk.waitForFinished(timeoutMs) && desk.exitStatus() == QProcess::NormalExit && desk.exitCode() == 0;
}

namespace {

// The first report of the spot probe made after since that holds what
// wanted accepts, waiting up to timeoutMs; empty without one.
std::vector<DeskRun::Shown> spotsAfter(const WorkDir &dir, const QDateTime &since,
                                       const std::function<bool(const DeskRun::Shown &)> &wanted, int timeoutMs)
{
    const QString file = QString::fromStdString(dir.file("spots.probe"));
    QElapsedTimer t;
    t.start();
    do {
        if (QFileInfo(file).lastModified() > since) {
            std::vector<DeskRun::Shown> report;
            std::istringstream lines(dir.read("spots.probe"));
            for (std::string line; std::getline(lines, line);) {
                const QStringList f = QString::fromStdString(line).split('\t');
                if (f.size() == 7)
                    report.push_back({f[0].toStdString(),
                                      f[1].toStdString(),
                                      f[2].toStdString(),
                                      {f[3].toInt(), f[4].toInt(), f[5].toInt(), f[6].toInt()}});
            }
            if (std::any_of(report.begin(), report.end(), wanted))
                return report;
        }
        QThread::msleep(100);
    } while (t.elapsed() < timeoutMs);
    return {};
}

} // namespace

std::optional<DeskRun::Spot> DeskRun::find(const std::string &kind, const std::string &name, const std::string &text,
                                           int timeoutMs) const
{
    const std::string suffix = "/" + name;
    const auto matches = [&](const Shown &s) {
        return s.kind == kind && s.text == text &&
               (s.path == name || (s.path.size() > suffix.size() &&
                                   s.path.compare(s.path.size() - suffix.size(), suffix.size(), suffix) == 0));
    };
    for (const Shown &s : spotsAfter(dir, QDateTime::currentDateTime(), matches, timeoutMs))
        if (matches(s))
            return s.at;
    return std::nullopt;
}

std::vector<DeskRun::Shown> DeskRun::shownWith(const std::string &title, int timeoutMs) const
{
    return spotsAfter(
        dir, QDateTime::currentDateTime(),
        [&](const Shown &s) { return s.kind == "window" && s.text.rfind(title, 0) == 0; }, timeoutMs);
}

bool DeskRun::click(const std::string &kind, const std::string &name, const std::string &text, int button,
                    int count) const
{
    const std::optional<Spot> s = find(kind, name, text);
    return s && x.click(s->x + s->width / 2, s->y + s->height / 2, button, count);
}

bool DeskRun::choose(const std::string &kind, const std::string &name, const std::string &text,
                     const std::string &keys) const
{
    return click(kind, name, text, 3) && x.menuKeys(keys);
}
