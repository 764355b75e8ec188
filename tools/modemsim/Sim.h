#pragma once

#include "ControlServer.h"
#include "Log.h"
#include "Modem.h"
#include "Pty.h"
#include "Storage.h"

#include <chrono>
#include <optional>
#include <sstream>
#include <string>

struct Options {
    std::string link;     // where the link to the terminal side goes (required)
    std::string control;  // control socket path; empty: no control channel
    std::string log;      // log file path; empty: no log
    std::string scenario; // scenario file; empty: empty storages
    unsigned baud = 0;    // answer only at this line speed; 0: at any
};

// The running simulator: the pseudo-terminal, the modem behind it, the
// control channel and the log, served by one thread in one poll loop.
class Sim {
public:
    Sim(Options options, Scenario scenario);

    // Sets everything up, then serves until SIGTERM, SIGINT or SIGHUP.
    // Returns 0 after a clean stop (link and socket removed), 1 when the
    // set-up or the loop fails (message on stderr).
    int run();

private:
    using Clock = std::chrono::steady_clock;

    bool start(std::string &error);
    void serveTerminal(short revents);
    void flushQueue();
    // What the modem or a fault writes to the terminal: queued when a
    // program has the port open at the right speed, otherwise lost.
    void toTerminal(std::string_view bytes);
    bool speedMatches(unsigned speed) const { return options_.baud == 0 || speed == options_.baud; }
    void trackTerminal();
    int pollTimeout() const;

    // Control commands (Control.cpp): one line in, one reply line out; each
    // command takes the rest of its line.
    std::string control(const std::string &line);
    std::string smsCommand(std::istringstream &in);
    std::string textCommand(std::istringstream &in);
    std::string failCommand(std::istringstream &in);
    std::string holdCommand(std::istringstream &in);
    std::string releaseCommand(std::istringstream &in);
    std::string muteCommand(std::istringstream &in);
    std::string garbageCommand(std::istringstream &in);
    std::string rawCommand(std::istringstream &in);
    std::string longLineCommand(std::istringstream &in);
    std::string dropCommand(std::istringstream &in);
    std::string backCommand(std::istringstream &in);
    std::string hangUpCommand(std::istringstream &in);
    std::string showCommand(std::istringstream &in);
    std::string junkCommand(std::istringstream &in);
    void dropDevice();
    bool bringBack(std::string &error);

    Options options_;
    Scenario scenario_;
    Log log_;
    Pty pty_;
    ControlServer server_;
    Modem modem_;
    std::string queue_; // bytes accepted for the terminal, not yet written
    bool terminalWasOpen_ = false;
    std::optional<Clock::time_point> backAt_;
    // How long after a drop that a fault makes the device comes back; none: at "back".
    std::optional<std::chrono::milliseconds> backAfterDrop_;
    unsigned garbageSeed_ = 1;
};
