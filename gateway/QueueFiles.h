#pragma once

#include <string>
#include <vector>

class TSMSChannel;

// The engine's queue files in the current directory: "ReadBuf.TXT" holds a
// channel's received list (oldest first, each entry's hex as received),
// "SendBuf.TXT" its send queue (head first, each entry freshly encoded);
// one PDU hex text per line, each line ended by CR LF, nothing else.
// File names are matched without regard to case: an existing "readbuf.txt"
// is the same file, read and replaced under its own spelling. Main thread.
namespace queuefiles {

inline constexpr const char *kReadBuf = "ReadBuf.TXT";
inline constexpr const char *kSendBuf = "SendBuf.TXT";

// The existing file in the current directory whose name equals name in any
// letter case (the exact spelling first); name itself when there is none.
std::string existingName(const std::string &name);

// Appends a TPDUGet decoding each line of "ReadBuf.TXT" to the channel's
// RecvList, then a TPDUSend (Tries 0) decoding each line of "SendBuf.TXT" to
// its SendQueue. A blank line gives an empty entry. A missing file is an
// empty queue. Returns one text, naming the file, for each file that exists
// but cannot be read; the other file is loaded all the same.
std::vector<std::string> load(TSMSChannel &channel);

// Replaces both files whole (a temporary file renamed over the old one, so
// a crash leaves the old or the new file, never half of one); an empty
// list gives an empty file. Returns the names of the files that could not
// be written. Takes the engine lock only to copy the queues.
std::vector<std::string> save(TSMSChannel &channel);

} // namespace queuefiles
