#pragma once

#include <stdexcept>
#include <string>

// The one error of the data-access layer. When the database raised it, code()
// is SQLite's extended result code and what() the database's own text,
// unchanged; when this layer raised it (a missing field, a call in the wrong
// state) code() is 0. Worded: what() is already the whole message in the
// operator's words (a value that is no number, no one logged in).
class EDatabaseError : public std::runtime_error {
public:
    static constexpr int Worded = -1;

    EDatabaseError(int code, const std::string &message) : std::runtime_error(message), code_(code) {}

    int code() const noexcept { return code_; }

private:
    int code_;
};
