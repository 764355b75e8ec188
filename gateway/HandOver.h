#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The hand-over journal "HandOver.TXT" in the current directory: the desk's
// rows whose messages the engine has taken (or is taking) into "SendBuf.TXT"
// and whose mark "已发" may not be written yet. A kill between a message's
// append and its row's mark would otherwise send the row twice. One record
// per line, lines ended by CR LF; blanks between and after records mean
// nothing (the file is rewritten in place and padded):
//   PENDING <offset> <row> <lines>  being handed over: appended when
//                                   "SendBuf.TXT" holds <lines> at <offset>
//   QUEUED <row>                    appended; the row's mark may be missing
// <row> is each of the row's fields as "." and its bytes in hex, <lines> the
// PDU hex texts joined by ",". "SendBuf.TXT" is never rewritten while the
// file on disk holds a PENDING record, so the offset stays true.
namespace handover {

inline constexpr const char *kFileName = "HandOver.TXT";

struct TRecord {
    std::vector<std::string> row; // the desk's row: its key and values
    bool pending = false;         // whether the lines went in is not known yet
    std::int64_t offset = 0;      // pending: where in "SendBuf.TXT" the lines begin
    std::vector<std::string> lines;

    bool operator==(const TRecord &) const = default;
};

// The records of a journal's bytes, in order; lines that are no record,
// and a last one without its line end, are passed over.
std::vector<TRecord> parse(std::string_view bytes);
std::string format(const std::vector<TRecord> &records);

// True when sendBuf (the bytes of "SendBuf.TXT") holds the pending record's
// lines, each ended by CR LF, at its offset.
bool appended(const TRecord &record, std::string_view sendBuf);

// The journal file: written in place and synced, so that a full disk can
// still take it from PENDING to QUEUED or to nothing. Not synchronised.
class TJournal {
public:
    explicit TJournal(std::string name = kFileName) : name_(std::move(name)) {}
    ~TJournal();
    TJournal(const TJournal &) = delete;
    TJournal &operator=(const TJournal &) = delete;

    const std::string &Name() const { return name_; }
    // Replaces what the file holds by records; false with errno when they
    // could not be written (the file then holds what it held before, or
    // PENDING records cut short, which parse passes over).
    bool Write(const std::vector<TRecord> &records);

private:
    std::string name_;
    int fd_ = -1;
    std::int64_t size_ = 0;
};

} // namespace handover
