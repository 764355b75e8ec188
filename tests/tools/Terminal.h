#pragma once

#include <string>

// The program side of the simulator's port for the simulator's own tests:
// the terminal opened raw (8N1, no echo, no line editing) at a line speed,
// with reads that wait for what is expected, up to a limit.
class Terminal {
public:
    explicit Terminal(const std::string &path, unsigned baud = 115200);
    ~Terminal();
    Terminal(const Terminal &) = delete;
    Terminal &operator=(const Terminal &) = delete;

    bool isOpen() const { return fd_ >= 0; }
    void setSpeed(unsigned baud);
    void write(const std::string &bytes);

    // Reads until what was read since the last call holds needle, or until
    // timeoutMs passes; returns all of it.
    std::string readUntil(const std::string &needle, int timeoutMs = 5000);
    // Reads until the text ends in a final result code or the send prompt.
    std::string readReply(int timeoutMs = 5000);
    // Writes line and CR and returns readReply().
    std::string command(const std::string &line);
    // What can be read right now, without waiting.
    std::string pending();
    // Waits for the far side to hang up (a read ends in end-of-file or EIO).
    bool waitHangUp(int timeoutMs = 5000);

private:
    // Reads once, waiting up to timeoutMs; false on hang-up.
    bool readSome(std::string &into, int timeoutMs);

    int fd_ = -1;
};

// True when text ends in "OK", "ERROR", a "+CMS ERROR:"/"+CME ERROR:"
// line, "NO CARRIER" or the prompt "\r\n> ".
bool endsInFinalResult(const std::string &text);
