#pragma once

#include "gateway/HandOver.h"

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

class TSMSChannel;

// The engine's queue files in the current directory: "ReadBuf.TXT" holds a
// channel's received list (oldest first, each entry's hex as received),
// "SendBuf.TXT" its send queue (head first); one PDU hex text per line, each
// line ended by CR LF, nothing else. File names are matched without regard
// to case: an existing "readbuf.txt" is the same file, read and replaced
// under its own spelling.
namespace queuefiles {

inline constexpr const char *kReadBuf = "ReadBuf.TXT";
inline constexpr const char *kSendBuf = "SendBuf.TXT";
// Added to a queue file's name: the file beside it that keeps the lines the
// load skipped, so that no rewrite of the queue ever loses them.
inline constexpr const char *kSkippedSuffix = ".skipped";

// The existing file in the current directory whose name equals name in any
// letter case (the exact spelling first); name itself when there is none.
std::string existingName(const std::string &name);

// The lines of a file's bytes: LF ends a line and a CR before it goes; a
// final line end makes no extra line.
std::vector<std::string> splitLines(std::string_view bytes);

// What a line of "SendBuf.TXT" holds to send: the line without blanks and
// control characters at either end (strings::trimmed) when that is one
// whole SMS-SUBMIT (TPDUSend::IsWhole); nullopt when the line is to be
// skipped.
std::optional<std::string> sendLine(std::string_view line);
// What a line of "ReadBuf.TXT" holds: the same for one whole received
// message (TPDUGet::IsWhole), or "" for a blank line (blanks, TABs and CRs
// only), which is an empty entry; nullopt when the line is to be skipped.
std::optional<std::string> receivedLine(std::string_view line);

} // namespace queuefiles

// Keeps channel 1's queue files in step with its SendQueue and RecvList
// without work on the caller's thread that grows with the queues:
// - a message the send path queues is appended to "SendBuf.TXT" and synced
//   before the send path returns (Appended), so whoever hands a message over
//   may count it as kept once the call is back;
// - so is a message the read controller lists for READ, to "ReadBuf.TXT"
//   (Received), so that it may be deleted from the modem once the call is
//   back;
// - every other change (a message sent or dropped, a READ) only wakes a
//   writer thread (Changed), which rewrites the files
//   that no longer match the queues: a temporary file beside the old one,
//   synced and renamed over it, so a crash leaves the old or the new file,
//   never half of one. A message taken off the queue may thus still be in
//   the file for a moment: a crash then sends it again, never loses it.
// When no new file can be made (a full disk) the old one is rewritten in
// place with as many of the queue's messages, from the head, as fit in its
// length, so that a message sent or read never stays in it; what does not
// fit stays in memory only. While a file cannot be written the writer tries
// again every few seconds; the first failure is said in the log pane, and
// the status bar (engine::storeState) says that messages are kept in memory
// only until every file is written again.
//
// The desk's hand-over of a row (BeginHandOver .. EndHandOver around the
// send path) is all or nothing and survives a kill: the row is named in the
// journal (HandOver.h) before its messages are appended, and the next Load
// finds out whether they went in.
class TQueueStore {
public:
    explicit TQueueStore(TSMSChannel &channel);
    // Stops the writer thread; writes nothing (Close does).
    ~TQueueStore();
    TQueueStore(const TQueueStore &) = delete;
    TQueueStore &operator=(const TQueueStore &) = delete;

    // Main thread, once: appends a TPDUGet for each line of "ReadBuf.TXT"
    // that queuefiles::receivedLine takes to the channel's RecvList, then a
    // TPDUSend (Tries 0) for each line of "SendBuf.TXT" that
    // queuefiles::sendLine takes to its SendQueue. A blank line of
    // "SendBuf.TXT" goes without a word; any other line that is skipped is
    // said in the log pane and appended to the file of the queue file's name
    // and kSkippedSuffix; until it is there, the queue file is not
    // rewritten. A missing file is an empty queue. Then reads the hand-over
    // journal (rows to report through TakeUnmarked) and starts the writer.
    // Returns one text, naming the file, for each file that exists but
    // cannot be read; the other file is loaded all the same.
    std::vector<std::string> Load();

    // The send path, on the main thread, with the engine lock held, right
    // after it queued the messages whose hex texts are lines: appends them
    // to "SendBuf.TXT" and syncs it. False when they could not be written
    // (the file is left as it was); outside a hand-over the log pane then
    // says that they are sent from memory only, and they stay queued.
    bool Appended(const std::vector<std::string> &lines);
    // The read controller, on the main thread with the engine lock held,
    // right after it appended the message whose hex text is line to the
    // channel's RecvList: appends it to "ReadBuf.TXT" and syncs it. False
    // when it could not be written (nor before Load): it is then listed from
    // memory only, the writer tries again and the failure is reported.
    bool Received(const std::string &line);
    // Whether "ReadBuf.TXT" held the entry line at Load or is known to hold
    // it now (blanks around and letter case aside): an entry READ took
    // since still counts.
    bool Holds(const std::string &line) const;
    // Any thread, the engine lock held or not; cheap: wakes the writer.
    void Changed();

    // The desk's hand-over, main thread. Begin: the next Appended belongs to
    // row (the desk's key and values): it first names the row and the lines
    // in the journal, then appends them; a failure of either leaves neither
    // in "SendBuf.TXT", and the send path's caller must take the messages
    // off the queue again. End: true when that Appended kept the lines; the
    // row then stays in the journal until HandOverMarked.
    void BeginHandOver(std::vector<std::string> row);
    bool HandingOver() const;
    bool EndHandOver();
    // The desk has marked row (or found it changed): it leaves the journal.
    void HandOverMarked(const std::vector<std::string> &row);
    // Main thread: the rows of earlier runs whose messages went into
    // "SendBuf.TXT" and whose mark may be missing; each is returned once.
    std::vector<std::vector<std::string>> TakeUnmarked();

    // A queue file that does not hold every message of its queue.
    struct TUnsaved {
        std::string file;
        std::size_t messages = 0; // queued and not in the file
        std::string why;
    };
    // Writes both files (and the journal) from the channel now, on the
    // calling thread, each send entry freshly encoded. Returns the files
    // that do not hold their whole queue afterwards. Nothing before Load.
    std::vector<TUnsaved> Save();
    // Stops the writer, then Save. Changed does nothing afterwards.
    std::vector<TUnsaved> Close();

private:
    struct File {
        std::string name;               // as found on disk, or the usual spelling
        int fd = -1;                    // open for appending; -1: none yet
        std::vector<std::string> base;  // the file's lines at its last rewrite
        std::vector<std::string> extra; // lines appended since (guard_)
        std::vector<std::string> aside; // skipped lines not yet kept beside it
        bool failing = false;           // does not hold its queue; said (guard_)
        bool stale = false;             // what the file holds is not known: rewrite it
        bool openLine = false;          // the file may end inside a line
    };

    // Under guard_: appends lines to file and syncs it, keeping extra in
    // step; before, beforeWrite (the number of bytes that end an open last
    // line first) may refuse. On a failure the file is left to the writer
    // and why says what went wrong.
    bool AppendSynced(File &file, const std::vector<std::string> &lines, std::string &why,
                      const std::function<bool(std::size_t)> &beforeWrite = {});
    void WriterLoop();
    // Brings the journal and both files in line with the channel; fresh:
    // encode every send entry first. Serialised by rewrite_.
    std::vector<TUnsaved> Rewrite(bool fresh);
    // Replaces file by lines and the lines appended after the first
    // extraSeen, unless it holds just that already (and is not stale).
    // unsaved: how many of them the file does not hold afterwards.
    void RewriteFile(File &file, const std::vector<std::string> &lines, std::size_t extraSeen, bool stale,
                     std::size_t &unsaved, std::string &why);
    // The full-disk way, under guard_: the head of all that fits into the
    // file's present length, written over it in place.
    bool ShrinkInPlace(File &file, const std::vector<std::string> &all, std::size_t &kept);
    // What the file is known to hold (nothing when that is not known).
    static std::vector<std::string> Held(const File &file);
    // Appends file.aside to the file beside it; true when none is left.
    bool PutAside(File &file);
    // Writes the journal when it changed; true when its file holds no
    // PENDING record, so "SendBuf.TXT" may be rewritten. Under guard_.
    bool FlushJournal();
    // Notes a failure of what is named for the log pane, once until it is
    // written again, and keeps the status bar's word in line. Under guard_.
    void Report(bool &failing, const std::string &name, bool ok, const std::string &why);
    // Says what Report and the others noted; without guard_. One call at a
    // time (say_), so that the status bar's last word is the latest state
    // even when the writer and the send path say at once.
    void Say();

    TSMSChannel &channel_;
    File read_, send_;
    std::unique_ptr<handover::TJournal> journal_;      // guard_; made by Load
    std::vector<handover::TRecord> kept_;              // guard_: the journal's records
    bool journalDirty_ = false;                        // guard_: kept_ differs from the file
    bool journalPending_ = false;                      // guard_: the file holds a PENDING record
    bool journalFailing_ = false;                      // guard_
    std::optional<std::vector<std::string>> handOver_; // guard_: the row being handed over
    bool handOverKept_ = false;                        // guard_
    std::vector<std::vector<std::string>> unmarked_;   // guard_: for TakeUnmarked
    std::set<std::string> readAtLoad_;                 // guard_: "ReadBuf.TXT"'s entries, normalised (Holds)
    std::vector<std::string> toSay_;                   // guard_: log lines for Say
    std::optional<bool> storeFailing_;                 // guard_: a status for Say
    bool storeFailingShown_ = false;                   // guard_
    // Lock order, as taken: rewrite_ (Rewrite, on the writer thread or in
    // Save), then the engine lock, then say_ (Say, also from the send path
    // under the engine lock), then guard_; never the other way. wake_ is a
    // leaf, taken with nothing of these held but the engine lock.
    mutable std::mutex guard_; // the files' fd, extra and failing; the last of them
    std::mutex rewrite_;       // one rewrite at a time; the first, never under the engine lock
    std::mutex say_;           // one Say at a time; never while guard_ is held
    std::mutex wake_;          // dirty_ and stop_
    std::condition_variable cv_;
    bool loaded_ = false; // guard_
    bool dirty_ = false;  // wake_
    bool stop_ = true;    // wake_; until Load starts the writer
    std::thread writer_;
};
