#include "gateway/QueueFiles.h"

#include "codec/Text.h"
#include "gateway/Channel.h"
#include "gateway/EngineGlobals.h"
#include "gateway/EngineReports.h"
#include "gateway/SyncedFiles.h"

#include <QDir>
#include <QFile>
#include <QString>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <map>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace queuefiles {

std::string existingName(const std::string &name)
{
    const QString wanted = QString::fromStdString(name);
    if (QFile::exists(wanted))
        return name;
    const QStringList entries = QDir::current().entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QString &entry : entries)
        if (entry.compare(wanted, Qt::CaseInsensitive) == 0)
            return entry.toStdString();
    return name;
}

std::vector<std::string> splitLines(std::string_view bytes)
{
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < bytes.size()) {
        std::size_t end = bytes.find('\n', at);
        if (end == std::string_view::npos)
            end = bytes.size();
        std::string_view line = bytes.substr(at, end - at);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.emplace_back(line);
        at = end + 1;
    }
    return lines;
}

std::optional<std::string> sendLine(std::string_view line)
{
    const std::string_view hex = strings::trimmed(line);
    if (!TPDUSend::IsWhole(hex))
        return std::nullopt;
    return std::string(hex);
}

std::optional<std::string> receivedLine(std::string_view line)
{
    const std::string_view hex = strings::trimmed(line);
    // Only a blank line is an empty entry: control bytes alone are junk.
    if (hex.empty() ? line.find_first_not_of(" \t\r") != std::string_view::npos : !TPDUGet::IsWhole(hex))
        return std::nullopt;
    return std::string(hex);
}

} // namespace queuefiles

namespace {

enum class Outcome { Written, Failed, Deferred };

constexpr auto kRetry = std::chrono::seconds(2); // a file that cannot be written is tried again
constexpr int kSkippedSaid = 10;                 // skipped lines said one by one, per file

// A file's bytes; nullopt when it is missing, or, with error set, when it
// exists but cannot be read.
std::optional<std::string> readFile(const std::string &name, std::string &error)
{
    QFile file(QString::fromStdString(name));
    if (!file.exists())
        return std::nullopt;
    if (!file.open(QIODevice::ReadOnly)) {
        error = "无法打开文件" + name + "（" + file.errorString().toStdString() + "）";
        return std::nullopt;
    }
    const QByteArray all = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        error = "无法读取文件" + name + "（" + file.errorString().toStdString() + "）";
        return std::nullopt;
    }
    return std::string(all.constData(), static_cast<std::size_t>(all.size()));
}

std::string joined(const std::vector<std::string> &lines, std::size_t from = 0, std::size_t to = SIZE_MAX)
{
    std::string bytes;
    for (std::size_t i = from; i < std::min(to, lines.size()); ++i)
        bytes.append(lines[i]).append("\r\n");
    return bytes;
}

// How many of wanted the file's lines do not hold, each line counted as
// often as it occurs.
std::size_t missing(const std::vector<std::string> &wanted, const std::vector<std::string> &held)
{
    std::map<std::string_view, int> count;
    for (const std::string &line : held)
        ++count[line];
    std::size_t n = 0;
    for (const std::string &line : wanted)
        if (--count[line] < 0)
            ++n;
    return n;
}

std::string destination(const std::string &hex)
{
    TPDUSend pdu;
    pdu.Decode(hex);
    return pdu.GetDA();
}

// A queue line as compared: without blanks around, in upper case.
std::string normalised(std::string_view line)
{
    std::string out(strings::trimmed(line));
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::toupper(c); });
    return out;
}

void closeFd(int &fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

// Whether fd is still the file that name names: one deleted or replaced
// behind our back would take lines that nobody ever reads.
bool stillNamed(int fd, const std::string &name)
{
    struct stat open {};
    struct stat named {};
    return fd >= 0 && ::fstat(fd, &open) == 0 && open.st_nlink > 0 && ::stat(name.c_str(), &named) == 0 &&
           open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

} // namespace

TQueueStore::TQueueStore(TSMSChannel &channel) : channel_(channel)
{
    read_.name = queuefiles::kReadBuf;
    send_.name = queuefiles::kSendBuf;
}

TQueueStore::~TQueueStore()
{
    {
        std::lock_guard lock(wake_);
        stop_ = true;
    }
    cv_.notify_all();
    if (writer_.joinable())
        writer_.join();
    closeFd(read_.fd);
    closeFd(send_.fd);
}

std::vector<std::string> TQueueStore::Load()
{
    std::vector<std::string> errors;
    read_.name = queuefiles::existingName(queuefiles::kReadBuf);
    send_.name = queuefiles::existingName(queuefiles::kSendBuf);
    journal_ = std::make_unique<handover::TJournal>(queuefiles::existingName(handover::kFileName));
    bool changed = false;
    {
        EngineLock lock;
        changed = !channel_.SendQueue.empty() || !channel_.RecvList.empty();
    }
    // A line the queue does not take is kept aside before anything can
    // rewrite the file.
    auto skip = [&](File &file, std::size_t number, const std::string &line) {
        file.aside.push_back(line);
        std::lock_guard said(guard_);
        if (file.aside.size() <= kSkippedSaid)
            toSay_.push_back(file.name + "第" + std::to_string(number) + "行不是完整的短信，已跳过，另存于" +
                             file.name + queuefiles::kSkippedSuffix + ":" + line.substr(0, 60));
    };
    auto load = [&](File &file, auto take) {
        std::string error;
        std::optional<std::string> bytes = readFile(file.name, error);
        if (!error.empty()) {
            errors.push_back(error);
            file.stale = true;
        }
        if (!bytes)
            return bytes;
        file.openLine = !bytes->empty() && bytes->back() != '\n';
        file.base = queuefiles::splitLines(*bytes);
        EngineLock lock;
        for (std::size_t i = 0; i < file.base.size(); ++i)
            changed = !take(i + 1, file.base[i]) || changed;
        std::lock_guard said(guard_);
        if (file.aside.size() > kSkippedSaid)
            toSay_.push_back(file.name + "共有" + std::to_string(file.aside.size()) +
                             "行不是完整的短信，已跳过，另存于" + file.name + queuefiles::kSkippedSuffix);
        return bytes;
    };
    // Each takes one line; false when the queue does not hold it as it stands.
    load(read_, [&](std::size_t number, const std::string &line) {
        const std::optional<std::string> hex = queuefiles::receivedLine(line);
        if (!hex) {
            skip(read_, number, line);
            return false;
        }
        auto pdu = std::make_unique<TPDUGet>();
        pdu->Decode(*hex);
        channel_.RecvList.push_back(std::move(pdu));
        {
            std::lock_guard held(guard_);
            readAtLoad_.insert(normalised(*hex));
        }
        return *hex == line;
    });
    const std::optional<std::string> sendBuf = load(send_, [&](std::size_t number, const std::string &line) {
        const std::optional<std::string> hex = queuefiles::sendLine(line);
        if (!hex) {
            if (!line.empty())
                skip(send_, number, line);
            return false;
        }
        auto pdu = std::make_unique<TPDUSend>();
        pdu->Tries = 0;
        pdu->Decode(*hex);
        pdu->Encode();
        channel_.SendQueue.push_back(std::move(pdu));
        return *hex == line;
    });

    std::string error;
    if (const std::optional<std::string> bytes = readFile(journal_->Name(), error)) {
        for (handover::TRecord &r : handover::parse(*bytes)) {
            if (r.pending) {
                // The kill came between naming the row and marking it: its
                // messages are queued when they made it into the file.
                journalPending_ = journalDirty_ = true;
                if (!sendBuf || !handover::appended(r, *sendBuf))
                    continue;
                r = {std::move(r.row), false, 0, {}};
            }
            unmarked_.push_back(r.row);
            kept_.push_back(std::move(r));
        }
    }
    if (!error.empty())
        errors.push_back(error);
    {
        std::lock_guard lock(guard_);
        PutAside(read_);
        PutAside(send_);
        loaded_ = true;
    }
    Say();
    {
        std::lock_guard lock(wake_);
        dirty_ = changed || journalDirty_;
        stop_ = false;
    }
    writer_ = std::thread([this] { WriterLoop(); });
    return errors;
}

bool TQueueStore::AppendSynced(File &file, const std::vector<std::string> &lines, std::string &why,
                               const std::function<bool(std::size_t)> &beforeWrite)
{
    bool created = false;
    if (!stillNamed(file.fd, file.name))
        closeFd(file.fd);
    if (file.fd < 0) {
        file.fd = ::open(file.name.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
        if (file.fd < 0 && errno == ENOENT) {
            file.fd = ::open(file.name.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
            created = file.fd >= 0;
        }
    }
    // A last line without its end would swallow the first one written.
    const std::string lineEnd = file.openLine ? "\r\n" : "";
    const bool ok = file.fd >= 0 && (!beforeWrite || beforeWrite(lineEnd.size())) &&
                    syncedfile::append(file.fd, lineEnd + joined(lines));
    why = ok ? std::string() : syncedfile::lastError();
    if (ok) {
        file.extra.insert(file.extra.end(), lines.begin(), lines.end());
        file.openLine = false;
        if (created)
            syncedfile::syncFolder();
    } else {
        // Cut back to what it held, as a rule; the writer makes sure.
        file.stale = true;
        file.openLine = true;
        closeFd(file.fd);
    }
    return ok;
}

bool TQueueStore::Appended(const std::vector<std::string> &lines)
{
    bool ok = false;
    bool behind = false; // the file lacks earlier messages
    {
        std::lock_guard lock(guard_);
        // Before the load the file is not ours yet: the load finds these
        // messages queued and the writer adds them.
        if (!loaded_)
            return false;
        std::string why;
        ok = AppendSynced(send_, lines, why, [&](std::size_t lineEnd) {
            if (!handOver_)
                return true;
            const off_t end = ::lseek(send_.fd, 0, SEEK_END);
            std::vector<handover::TRecord> records = kept_;
            records.push_back({*handOver_, true, end + static_cast<off_t>(lineEnd), lines});
            const bool written = end >= 0 && journal_->Write(records);
            journalPending_ = journalPending_ || written;
            return written;
        });
        if (handOver_) {
            if (ok)
                kept_.push_back({*handOver_, false, 0, {}});
            handOverKept_ = ok;
            journalDirty_ = true;
        } else if (!ok) {
            for (const std::string &line : lines)
                toSay_.push_back("短信未能保存到" + send_.name + "，只在内存中等待发送，手机号:" + destination(line) +
                                 "（" + why + "）");
        }
        // The desk says each refused hand-over itself.
        if (!ok)
            Report(send_.failing, send_.name, false, why);
        behind = send_.stale || send_.failing;
    }
    Say();
    if (behind)
        Changed();
    return ok;
}

bool TQueueStore::Received(const std::string &line)
{
    bool ok = false;
    bool behind = false;
    {
        std::lock_guard lock(guard_);
        if (!loaded_)
            return false;
        std::string why;
        ok = AppendSynced(read_, {line}, why);
        if (!ok)
            Report(read_.failing, read_.name, false, why);
        behind = read_.stale || read_.failing;
    }
    Say();
    if (behind)
        Changed();
    return ok;
}

bool TQueueStore::Holds(const std::string &line) const
{
    const std::string wanted = normalised(line);
    std::lock_guard lock(guard_);
    if (readAtLoad_.count(wanted) > 0)
        return true;
    const std::vector<std::string> held = Held(read_);
    return std::any_of(held.begin(), held.end(), [&](const std::string &l) { return normalised(l) == wanted; });
}

void TQueueStore::Changed()
{
    {
        std::lock_guard lock(wake_);
        dirty_ = true;
    }
    cv_.notify_all();
}

void TQueueStore::BeginHandOver(std::vector<std::string> row)
{
    std::lock_guard lock(guard_);
    handOver_ = std::move(row);
    handOverKept_ = false;
}

bool TQueueStore::HandingOver() const
{
    std::lock_guard lock(guard_);
    return handOver_.has_value();
}

bool TQueueStore::EndHandOver()
{
    std::lock_guard lock(guard_);
    handOver_.reset();
    return std::exchange(handOverKept_, false);
}

void TQueueStore::HandOverMarked(const std::vector<std::string> &row)
{
    {
        std::lock_guard lock(guard_);
        const auto it = std::find_if(kept_.begin(), kept_.end(),
                                     [&](const handover::TRecord &r) { return !r.pending && r.row == row; });
        if (it == kept_.end())
            return;
        kept_.erase(it);
        journalDirty_ = true;
    }
    Changed();
}

std::vector<std::vector<std::string>> TQueueStore::TakeUnmarked()
{
    std::lock_guard lock(guard_);
    return std::exchange(unmarked_, {});
}

std::vector<TQueueStore::TUnsaved> TQueueStore::Close()
{
    {
        std::lock_guard lock(wake_);
        stop_ = true;
    }
    cv_.notify_all();
    if (writer_.joinable())
        writer_.join();
    return Save();
}

std::vector<TQueueStore::TUnsaved> TQueueStore::Save()
{
    {
        std::lock_guard lock(guard_);
        if (!loaded_)
            return {};
    }
    return Rewrite(true);
}

void TQueueStore::WriterLoop()
{
    for (;;) {
        bool retry = false;
        {
            std::lock_guard lock(guard_);
            retry = read_.failing || send_.failing || journalFailing_ || journalDirty_ || !read_.aside.empty() ||
                    !send_.aside.empty();
        }
        {
            std::unique_lock lock(wake_);
            const auto woken = [this] { return dirty_ || stop_; };
            if (retry)
                cv_.wait_for(lock, kRetry, woken);
            else
                cv_.wait(lock, woken);
            if (stop_)
                return;
            dirty_ = false;
        }
        Rewrite(false);
    }
}

std::vector<TQueueStore::TUnsaved> TQueueStore::Rewrite(bool fresh)
{
    std::lock_guard serial(rewrite_);
    std::vector<std::string> received, toSend;
    std::size_t readSeen = 0, sendSeen = 0;
    bool readStale = false, sendStale = false;
    {
        EngineLock lock;
        received.reserve(channel_.RecvList.size());
        for (const auto &pdu : channel_.RecvList)
            received.push_back(pdu->Text);
        toSend.reserve(channel_.SendQueue.size());
        for (const auto &pdu : channel_.SendQueue) {
            if (fresh || pdu->Text.empty())
                pdu->Encode();
            toSend.push_back(pdu->Text);
        }
        // Every message queued so far has had its line appended (the send
        // path appends under this lock): lines appended after this point
        // are not in the copy and must follow it into a new file.
        std::lock_guard files(guard_);
        readSeen = read_.extra.size();
        sendSeen = send_.extra.size();
        readStale = read_.stale;
        sendStale = send_.stale;
    }
    {
        // Not under the engine lock: it syncs.
        std::lock_guard files(guard_);
        FlushJournal();
    }
    std::vector<TUnsaved> unsaved;
    for (auto [file, lines, seen, stale] :
         {std::tuple{&read_, &received, readSeen, readStale}, std::tuple{&send_, &toSend, sendSeen, sendStale}}) {
        TUnsaved u{file->name, 0, {}};
        RewriteFile(*file, *lines, seen, stale, u.messages, u.why);
        if (u.messages > 0)
            unsaved.push_back(std::move(u));
    }
    Say();
    return unsaved;
}

void TQueueStore::RewriteFile(File &file, const std::vector<std::string> &lines, std::size_t extraSeen, bool stale,
                              std::size_t &unsaved, std::string &why)
{
    unsaved = 0;
    // What the file holds when the copy was taken: base and the lines
    // appended before it. Only this thread changes base.
    bool same = !stale && lines.size() == file.base.size() + extraSeen;
    for (std::size_t i = 0; same && i < file.base.size(); ++i)
        same = lines[i] == file.base[i];
    if (same) {
        std::lock_guard lock(guard_);
        for (std::size_t i = 0; same && i < extraSeen; ++i)
            same = lines[file.base.size() + i] == file.extra[i];
        if (same &&
            (file.fd >= 0 ? stillNamed(file.fd, file.name) : QFile::exists(QString::fromStdString(file.name)))) {
            file.base.insert(file.base.end(), file.extra.begin(), file.extra.begin() + extraSeen);
            file.extra.erase(file.extra.begin(), file.extra.begin() + extraSeen);
            Report(file.failing, file.name, true, {});
            return;
        }
    }
    {
        std::lock_guard lock(guard_);
        if (!PutAside(file)) {
            why = "无法另存跳过的行:" + syncedfile::lastError();
            unsaved = missing(lines, Held(file));
            Report(file.failing, file.name, false, why);
            return;
        }
    }

    const std::string temp = file.name + ".tmp";
    struct stat old {};
    const bool existed = ::stat(file.name.c_str(), &old) == 0 && S_ISREG(old.st_mode);
    int fd = ::open(temp.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    bool ok = fd >= 0 && (!existed || ::fchmod(fd, old.st_mode & 07777) == 0) &&
              syncedfile::writeAll(fd, joined(lines)) && ::fdatasync(fd) == 0;
    why = ok ? std::string() : syncedfile::lastError();
    Outcome outcome = Outcome::Failed;
    {
        // Appends wait only for the lines that came meanwhile and the rename.
        std::lock_guard lock(guard_);
        std::vector<std::string> all = lines;
        all.insert(all.end(), file.extra.begin() + extraSeen, file.extra.end());
        if (&file == &send_ && !FlushJournal()) {
            // A hand-over's offset must stay true until the journal says
            // how it ended.
            outcome = Outcome::Deferred;
            ok = false;
            unsaved = missing(all, Held(file));
        } else if (ok) {
            ok = syncedfile::writeAll(fd, joined(file.extra, extraSeen)) && ::fdatasync(fd) == 0 &&
                 ::rename(temp.c_str(), file.name.c_str()) == 0;
            if (!ok)
                why = syncedfile::lastError();
        }
        if (ok) {
            syncedfile::syncFolder();
            closeFd(file.fd);
            file.fd = fd;
            fd = -1;
            file.base = std::move(all);
            file.extra.clear();
            file.stale = false;
            file.openLine = false;
            outcome = Outcome::Written;
        } else if (outcome != Outcome::Deferred) {
            std::size_t kept = 0;
            if (ShrinkInPlace(file, all, kept)) {
                unsaved = all.size() - kept;
                if (unsaved == 0)
                    outcome = Outcome::Written;
            } else {
                unsaved = missing(all, Held(file));
            }
        }
        if (outcome != Outcome::Deferred)
            Report(file.failing, file.name, outcome == Outcome::Written, why);
    }
    if (fd >= 0) {
        ::close(fd);
        ::unlink(temp.c_str());
    }
}

std::vector<std::string> TQueueStore::Held(const File &file)
{
    if (file.stale)
        return {};
    std::vector<std::string> held = file.base;
    held.insert(held.end(), file.extra.begin(), file.extra.end());
    return held;
}

bool TQueueStore::ShrinkInPlace(File &file, const std::vector<std::string> &all, std::size_t &kept)
{
    int fd = ::open(file.name.c_str(), O_WRONLY | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        closeFd(fd);
        return false;
    }
    std::size_t bytes = 0;
    std::size_t n = 0;
    while (n < all.size() && bytes + all[n].size() + 2 <= static_cast<std::size_t>(st.st_size))
        bytes += all[n++].size() + 2;
    // Nothing to gain when it holds just that already.
    if (!file.stale && file.extra.empty() && file.base.size() == n &&
        std::equal(file.base.begin(), file.base.end(), all.begin())) {
        closeFd(fd);
        kept = n;
        return true;
    }
    bool ok = false;
    if (n == 0) {
        ok = ::ftruncate(fd, 0) == 0 && ::fdatasync(fd) == 0;
    } else {
        // Blanks at the end of the last line fill the old length, and the
        // cut comes before that line gets its end back: a kill at any point
        // leaves whole lines, which the load takes.
        std::string content = joined(all, 0, n);
        content.insert(content.size() - 2, static_cast<std::size_t>(st.st_size) - bytes, ' ');
        const auto end = static_cast<off_t>(bytes);
        ok = syncedfile::overwrite(fd, content, st.st_size) && ::ftruncate(fd, end) == 0 &&
             syncedfile::writeAllAt(fd, "\r\n", end - 2) && ::fdatasync(fd) == 0;
    }
    closeFd(fd);
    if (!ok)
        return false;
    file.base.assign(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(n));
    file.extra.clear();
    file.stale = false;
    file.openLine = false;
    kept = n;
    return true;
}

bool TQueueStore::PutAside(File &file)
{
    if (file.aside.empty())
        return true;
    const std::string name = file.name + queuefiles::kSkippedSuffix;
    const bool existed = ::access(name.c_str(), F_OK) == 0;
    int fd = ::open(name.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    const bool ok = syncedfile::append(fd, joined(file.aside));
    const int error = errno;
    closeFd(fd);
    errno = error;
    if (!ok)
        return false;
    if (!existed)
        syncedfile::syncFolder();
    file.aside.clear();
    return true;
}

bool TQueueStore::FlushJournal()
{
    if (!journal_)
        return true;
    if (journalDirty_) {
        const bool ok = journal_->Write(kept_);
        Report(journalFailing_, journal_->Name(), ok, ok ? std::string() : syncedfile::lastError());
        if (ok) {
            // Only a hand-over's own append writes PENDING.
            journalDirty_ = false;
            journalPending_ = false;
        }
    }
    return !journalPending_;
}

void TQueueStore::Report(bool &failing, const std::string &name, bool ok, const std::string &why)
{
    const bool said = failing;
    failing = !ok;
    if (!ok && !said)
        toSay_.push_back("队列文件写入失败:" + name + "（" + why + "）");
    else if (ok && said)
        toSay_.push_back("队列文件已写入:" + name);
    const bool any = read_.failing || send_.failing || journalFailing_;
    if (any != storeFailingShown_) {
        storeFailingShown_ = any;
        storeFailing_ = any;
    }
}

void TQueueStore::Say()
{
    std::lock_guard serial(say_);
    std::vector<std::string> lines;
    std::optional<bool> failing;
    {
        std::lock_guard lock(guard_);
        lines.swap(toSay_);
        failing = std::exchange(storeFailing_, std::nullopt);
    }
    for (const std::string &line : lines)
        engine::logLine(line);
    if (failing)
        engine::storeState(*failing ? "队列文件无法写入，未保存的短信只在内存中" : "");
}
