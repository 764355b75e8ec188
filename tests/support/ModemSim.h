#pragma once

#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

// Runs the GSM modem simulator (tools/modemsim) as a child process for one
// test, in a temporary folder of its own that holds the port link
// ("modem"), the control socket ("control"), the log ("modem.log"), the
// scenario ("scenario.txt") and the simulator's error output. The folder is
// removed when the object goes; the simulator is stopped first.
//
// All waits are for conditions (the link, a log line), polled, with a limit.
class ModemSim {
public:
    struct Options {
        std::string scenario; // text of the scenario file; empty: none
        unsigned baud = 0;    // answer only at this line speed; 0: at any
    };
    // One PDU typed after the send prompt, as the log records it.
    struct Pdu {
        std::string outcome; // "sent", "rejected", "failed" (a fault) or "cancelled"
        int length = 0;      // the length given to AT+CMGS
        std::string text;    // exactly as typed, without the Ctrl-Z
    };

    ModemSim();
    explicit ModemSim(const Options &options);
    ~ModemSim();
    ModemSim(const ModemSim &) = delete;
    ModemSim &operator=(const ModemSim &) = delete;

    // True once the link exists; false when the simulator failed to start
    // (errorOutput() says why) or the link did not appear within 10 s.
    bool started() const { return started_; }
    // The link to the modem's terminal side: the serial port to open.
    const std::string &port() const { return port_; }
    const std::string &folder() const { return folder_; }
    std::string errorOutput() const;

    // Sends one control command and returns the reply line without its
    // line end; "" when the simulator does not answer within 5 s.
    std::string control(const std::string &command) const;

    // The whole log, and parts of it picked out:
    std::string log() const;
    std::vector<std::string> commands() const;                                  // command lines carried out, in order
    std::vector<std::string> commandsStarting(const std::string &prefix) const; // those that start with prefix
    int logCount(const std::string &text) const;                                // times the log holds text
    std::vector<Pdu> pdus() const;                                              // PDUs typed after the prompt, in order
    std::string received() const;                                               // bytes the modem took in (RX)
    std::string sent() const; // bytes the modem wrote to the terminal (TX)
    // Polls condition until it holds or timeoutMs passes; its last value.
    bool waitFor(const std::function<bool()> &condition, int timeoutMs = 10000) const;
    // Waits until the log holds text.
    bool waitForLog(const std::string &text, int timeoutMs = 10000) const;

    bool running() const;
    // SIGTERM, then waits for the exit (SIGKILL after 10 s). Returns the
    // exit status, or -1 when it was killed or was not running.
    int stop();

private:
    std::vector<std::string> quoted(const char *tag) const;

    std::string folder_;
    std::string port_;
    std::string socket_;
    std::string logFile_;
    pid_t pid_ = -1;
    mutable bool reaped_ = false; // waitpid has collected the exit
    mutable int status_ = 0;      // its status then
    bool started_ = false;
};
