#pragma once

#include <string>

// The engine's log file "SMSLog.TXT" in the current directory: one line per
// send attempt, received message and dropped message, in GBK, each ended by
// CR LF. Lines are only ever appended.
namespace smslog {

inline constexpr const char *kFileName = "SMSLog.TXT";

// Appends one line (UTF-8 in) to the file, creating the file when it is
// missing. Returns false when the line could not be written; never throws,
// so a log that cannot be written stops nothing, but the log pane says it
// once (and again only after a line has gone in meanwhile). Thread-safe.
bool append(const std::string &line);

} // namespace smslog
