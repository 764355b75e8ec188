#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
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

// The existing file in the current directory whose name equals name in any
// letter case (the exact spelling first); name itself when there is none.
std::string existingName(const std::string &name);

// The lines of a file's bytes: LF ends a line and a CR before it goes; a
// final line end makes no extra line.
std::vector<std::string> splitLines(std::string_view bytes);

} // namespace queuefiles

// Keeps channel 1's queue files in step with its SendQueue and RecvList
// without work on the caller's thread that grows with the queues:
// - a message the send path queues is appended to "SendBuf.TXT" and synced
//   before the send path returns (Appended), so whoever hands a message over
//   may count it as kept once the call is back;
// - every other change (a message sent or dropped, a READ, a received
//   message) only wakes a writer thread (Changed), which rewrites the files
//   that no longer match the queues: a temporary file beside the old one,
//   synced and renamed over it, so a crash leaves the old or the new file,
//   never half of one. A message taken off the queue may thus still be in
//   the file for a moment: a crash then sends it again, never loses it.
// A file that cannot be written is said once in the log pane, and again
// only after it has been written once more.
class TQueueStore {
public:
    explicit TQueueStore(TSMSChannel &channel);
    // Stops the writer thread; writes nothing (Close does).
    ~TQueueStore();
    TQueueStore(const TQueueStore &) = delete;
    TQueueStore &operator=(const TQueueStore &) = delete;

    // Main thread, once: appends a TPDUGet decoding each line of
    // "ReadBuf.TXT" to the channel's RecvList (a blank line is an empty
    // entry), then a TPDUSend (Tries 0) for each line of "SendBuf.TXT" that
    // is a whole SMS-SUBMIT to its SendQueue; any other line is skipped and
    // said in the log pane, and stays in the file until the queue is next
    // written. A missing file is an empty queue. Then starts the writer.
    // Returns one text, naming the file, for each file that exists but
    // cannot be read; the other file is loaded all the same.
    std::vector<std::string> Load();

    // The send path, on the main thread, with the engine lock held, right
    // after it queued the messages whose hex texts are lines: appends them
    // to "SendBuf.TXT" and syncs it. False when they could not be written
    // (the log pane says so); the messages stay queued all the same.
    bool Appended(const std::vector<std::string> &lines);
    // Any thread, the engine lock held or not; cheap: wakes the writer.
    void Changed();

    // Writes both files from the channel now, on the calling thread, each
    // send entry freshly encoded. Returns the names of the files that could
    // not be written. Nothing before Load.
    std::vector<std::string> Save();
    // Stops the writer, then Save. Changed does nothing afterwards.
    std::vector<std::string> Close();

private:
    struct File {
        std::string name;               // as found on disk, or the usual spelling
        int fd = -1;                    // open for appending; -1: none yet
        std::vector<std::string> base;  // the file's lines at its last rewrite
        std::vector<std::string> extra; // lines appended since (guard_)
        bool failing = false;           // the last write failed and was said
        bool stale = false;             // what the file holds is not known: rewrite it
        bool openLine = false;          // the file may end inside a line
    };

    void WriterLoop();
    // Brings both files in line with the channel; fresh: encode every send
    // entry first. Returns the names that failed. Serialised by rewrite_.
    std::vector<std::string> Rewrite(bool fresh);
    // Replaces file by lines and the lines appended after the first
    // extraSeen, unless it holds just that already (and is not stale).
    bool RewriteFile(File &file, const std::vector<std::string> &lines, std::size_t extraSeen, bool stale);
    // Says a failure of file in the log pane, once until it is written again.
    void Report(File &file, bool ok, const std::string &why);

    TSMSChannel &channel_;
    File read_, send_;
    std::mutex guard_;   // fd and extra of both files; taken under the engine lock, never the other way
    std::mutex rewrite_; // one rewrite at a time
    std::mutex wake_;
    std::condition_variable cv_;
    bool loaded_ = false; // guard_
    bool dirty_ = false;  // wake_
    bool stop_ = true;    // wake_; until Load starts the writer
    std::thread writer_;
};
