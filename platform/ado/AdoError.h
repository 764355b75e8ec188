#pragma once

#include <stdexcept>
#include <string>

// The one error of the data-access layer. When the database raised it, code()
// is SQLite's extended result code and what() the database's own text,
// unchanged; when this layer raised it (a missing field, a call in the wrong
// state) code() is 0.
class EDatabaseError : public std::runtime_error {
public:
    EDatabaseError(int code, const std::string &message) : std::runtime_error(message), code_(code) {}

    int code() const noexcept { return code_; }

private:
    int code_;
};
