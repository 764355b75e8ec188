#pragma once

#include <cstdio>
#include <string>
#include <string_view>

// The simulator's record: one line per event, "<time> <tag> <rest>", the
// time local with microseconds. Every line is flushed as written so that
// a test reading the file sees it at once. Tags:
//   RX <speed> "<bytes>"       bytes the terminal wrote that the modem took in
//   RX-LOST <speed> "<bytes>"  bytes the modem could not take (wrong line speed)
//   TX <speed> "<bytes>"       bytes the modem wrote to the terminal
//   TX-LOST <speed> "<bytes>"  bytes that went nowhere (port closed, wrong speed)
//   CMD "<line>"               a command line the modem carried out
//   PDU <outcome> <length> "<text>"  a PDU typed after the send prompt
//   CTL "<command>" -> "<reply>"     a control command
//   EV <text>                  anything else (start, port, drop, dial ...)
// <speed> is the line speed the terminal had set, in bit/s (0 unknown).
class Log {
public:
    Log() = default;
    ~Log();
    Log(const Log &) = delete;
    Log &operator=(const Log &) = delete;

    // Starts a fresh file; false when it cannot be created. Without a file
    // every call below does nothing.
    bool open(const std::string &path);
    void bytes(const char *tag, unsigned speed, std::string_view data);
    void line(const char *tag, const std::string &rest);

private:
    std::FILE *file_ = nullptr;
};
