#pragma once

// What every end-to-end journey shares: the real smsdesk program on a
// private virtual display, in a fresh work folder, against the modem
// simulator, and a connection of the test's own to the program's database.
#include "XDisplay.h"

#include "data/DM1.h"
#include "platform/ado/Ado.h"
#include "support/ModemSim.h"
#include "support/WorkDir.h"

#include <QProcess>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// A short-lived connection of the test's own beside the running program.
struct Db {
    TAdoConnection conn{TDataModule1::ConnectionString};
    TAdoQuery q{conn, "test"};
    Db() { conn.Open(); }

    void append(const std::string &table, const ado::FieldTexts &fields) { ado::appendRow(q, table, fields); }
};

// The values of one column of a statement's rows, read through a fresh
// connection. The program writes through its own connection at the same
// time; a read that meets one of its writes is tried again.
std::vector<std::string> column(const std::string &sql, const char *name);

// Polls a condition; a database busy with the program's own writes counts
// as "not yet".
bool eventually(const std::function<bool()> &condition, int timeoutMs = 60000);

// The destination and text of every PDU the modem took, decoded.
std::vector<std::pair<std::string, std::string>> sentMessages(const ModemSim &sim);
bool wasSent(const ModemSim &sim, const std::string &da, const std::string &text);

// One run of the program. Construction makes the display (screen: Xvfb's
// "WIDTHxHEIGHTxDEPTH"; windowManager: managed by openbox), the work folder (the current directory until the
// object goes) with the files of a first start, and the simulator, and
// points "smsset.ini" at it; ready() tells whether all of it came up.
// start() runs the program; login() logs the supervisor in and waits for the
// main and gateway windows. The program is killed when the object goes, if
// it still runs.
class DeskRun {
public:
    explicit DeskRun(const ModemSim::Options &modem = {}, const std::string &screen = "1280x900x24",
                     bool windowManager = false);
    ~DeskRun();
    DeskRun(const DeskRun &) = delete;
    DeskRun &operator=(const DeskRun &) = delete;

    // "" when ready; otherwise why not (a missing Xvfb skips the journey,
    // a missing window manager fails it).
    std::string notReady() const;
    bool hasDisplay() const { return x.started(); }

    // killAfterSync: the program kills itself right after its first sync
    // of the file of that name (tests/e2e/probe/KillProbe.cpp).
    bool start(const std::string &killAfterSync = {});
    bool login();
    // Asks the main window to close and answers the exit question with OK;
    // true when the program then ended with status 0 within timeoutMs.
    bool quit(int timeoutMs = 60000);
    // Every dialog the program has shown so far, in order: its title and
    // its buttons' texts, as "title\tbutton\tbutton".
    std::vector<std::string> dialogsShown() const;
    // The widget that took the keyboard focus last, as "parent/name", and
    // the screen point where a click lands on it (an item view: its first
    // cell); false before any widget took the focus.
    bool focused(std::string &name, int &x, int &y) const;

    // Where the program shows something now, in screen coordinates: kind
    // "view" (the inside of a list or tree), "item" (a list's row or a
    // tree's node, by the text of its first column) or "button" (by its
    // text); name is the widget's object name, or the last of the names on
    // its path ("ListView3/report" for the rows of ListView3, "TreeView2").
    // Waits, up to timeoutMs, for a report the program made after the call
    // that holds it.
    struct Spot {
        int x = 0, y = 0, width = 0, height = 0;
    };
    std::optional<Spot> find(const std::string &kind, const std::string &name, const std::string &text = {},
                             int timeoutMs = 20000) const;
    // Clicks the middle of what find finds (button 3: the right button;
    // count 2: a double click); false when it is not there.
    bool click(const std::string &kind, const std::string &name, const std::string &text = {}, int button = 1,
               int count = 1) const;
    // Opens the right-button menu of what find finds and, once it is up,
    // chooses in it with keys.
    bool choose(const std::string &kind, const std::string &name, const std::string &text,
                const std::string &keys) const;
    // Everything the program shows now, as find knows it, and besides kind
    // "window": each top-level window by its title, frame included. Waits,
    // up to timeoutMs, for a report made after the call that holds a window
    // whose title starts with title; empty without one.
    struct Shown {
        std::string kind, path, text;
        Spot at;
    };
    std::vector<Shown> shownWith(const std::string &title, int timeoutMs = 20000) const;

    XDisplay x;
    const bool windowManager;
    WorkDir dir;
    ModemSim sim;
    QProcess desk;
};

// Skips the journey without a display, fails it when anything else is
// missing; use at the top of a TEST body.
#define DESK_RUN_READY(run)                                                                                            \
    do {                                                                                                               \
        if (!(run).hasDisplay())                                                                                       \
            GTEST_SKIP() << "Xvfb is not available";                                                                   \
        ASSERT_EQ((run).notReady(), "");                                                                               \
    } while (0)
