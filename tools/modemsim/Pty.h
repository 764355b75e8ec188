#pragma once

#include <string>

// The pseudo-terminal the modem sits on. Its terminal side (the slave) is
// what a program opens as its serial port, through a symbolic link that
// stays at one path while the pair behind it is replaced. Every termios and
// pty call of the simulator is in Pty.cpp.
class Pty {
public:
    Pty() = default;
    ~Pty() { close(); }
    Pty(const Pty &) = delete;
    Pty &operator=(const Pty &) = delete;

    // Creates a new pair and points link at its terminal side, replacing an
    // older link in one step; a pair already open is closed once the link
    // has left it. A path that exists and is not a symbolic link is left
    // alone and refused. False with error set (an open pair then stays).
    bool open(const std::string &link, std::string &error);
    // Closes the pair (a program holding the terminal side sees a hang-up)
    // and removes the link. Does nothing when closed.
    void close();

    bool isOpen() const { return master_ >= 0; }
    int fd() const { return master_; }
    const std::string &terminalName() const { return terminal_; }

    // True while some program has the terminal side open.
    bool terminalOpen() const;
    // With nobody on the terminal side: true when the last program left it
    // in exclusive mode that this process may not override (it keeps that
    // mode while the master is open). An exclusive mode this process may
    // override is cleared instead, and false returned.
    bool exclusiveLeftBehind() const;
    // The line speed the terminal side is set to, in bit/s; 0 when unknown.
    unsigned speed() const;

    // True for the line speeds a serial port offers (bit/s).
    static bool isStandardSpeed(unsigned bps);

private:
    int master_ = -1;
    std::string terminal_;
    std::string link_;
};
