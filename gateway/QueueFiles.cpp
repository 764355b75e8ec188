#include "gateway/QueueFiles.h"

#include "gateway/Channel.h"
#include "gateway/EngineGlobals.h"
#include "gateway/EngineReports.h"

#include <QDir>
#include <QFile>
#include <QString>
#include <cerrno>
#include <cstring>
#include <optional>

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

} // namespace queuefiles

namespace {

std::string systemError(int error) { return std::strerror(error); }

// The lines of a file; nullopt when it is missing; error set when it exists
// but cannot be read; open set when its last line has no line end.
std::optional<std::vector<std::string>> readLines(const std::string &name, std::string &error, bool &open)
{
    QFile file(QString::fromStdString(name));
    if (!file.exists())
        return std::nullopt;
    if (!file.open(QIODevice::ReadOnly)) {
        error = "无法打开文件" + name + ":" + file.errorString().toStdString();
        return std::nullopt;
    }
    const QByteArray all = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        error = "无法读取文件" + name + ":" + file.errorString().toStdString();
        return std::nullopt;
    }
    open = !all.isEmpty() && !all.endsWith('\n');
    return queuefiles::splitLines(std::string_view(all.constData(), static_cast<std::size_t>(all.size())));
}

// Writes all of bytes, going on after a partial write or a signal.
bool writeAll(int fd, const std::string &bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::string joined(const std::vector<std::string> &lines, std::size_t from = 0)
{
    std::string bytes;
    for (std::size_t i = from; i < lines.size(); ++i)
        bytes.append(lines[i]).append("\r\n");
    return bytes;
}

// A rename or a new file is on disk only once its folder is synced.
void syncFolder()
{
    const int dir = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

void closeFd(int &fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
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
    std::string error;
    bool queuedBefore = false;
    {
        EngineLock lock;
        queuedBefore = !channel_.SendQueue.empty() || !channel_.RecvList.empty();
    }
    if (auto lines = readLines(read_.name, error, read_.openLine)) {
        EngineLock lock;
        for (const std::string &line : *lines) {
            auto pdu = std::make_unique<TPDUGet>();
            pdu->Decode(line);
            channel_.RecvList.push_back(std::move(pdu));
        }
        read_.base = std::move(*lines);
    }
    if (!error.empty()) {
        errors.push_back(error);
        read_.stale = true;
    }
    error.clear();
    if (auto lines = readLines(send_.name, error, send_.openLine)) {
        EngineLock lock;
        int number = 0;
        for (const std::string &line : *lines) {
            ++number;
            if (!TPDUSend::IsWhole(line)) {
                engine::logLine(send_.name + "第" + std::to_string(number) +
                                "行不是完整的短信，已跳过:" + line.substr(0, 60));
                continue;
            }
            auto pdu = std::make_unique<TPDUSend>();
            pdu->Tries = 0;
            pdu->Decode(line);
            pdu->Encode();
            channel_.SendQueue.push_back(std::move(pdu));
        }
        // Skipped lines stay until the queue is next written.
        send_.base = std::move(*lines);
    }
    if (!error.empty()) {
        errors.push_back(error);
        send_.stale = true;
    }
    {
        std::lock_guard lock(guard_);
        loaded_ = true;
    }
    {
        // Messages queued before the load are not in the file yet.
        std::lock_guard lock(wake_);
        dirty_ = queuedBefore;
        stop_ = false;
    }
    writer_ = std::thread([this] { WriterLoop(); });
    return errors;
}

bool TQueueStore::Appended(const std::vector<std::string> &lines)
{
    bool ok = false;
    bool stale = false;
    std::string why;
    {
        std::lock_guard lock(guard_);
        // Before the load the file is not ours yet: the load finds these
        // messages queued and the writer adds them.
        if (!loaded_)
            return false;
        send_.extra.insert(send_.extra.end(), lines.begin(), lines.end());
        bool created = false;
        if (send_.fd < 0) {
            send_.fd = ::open(send_.name.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
            if (send_.fd < 0 && errno == ENOENT) {
                send_.fd = ::open(send_.name.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
                created = send_.fd >= 0;
            }
        }
        // A last line without its end would swallow the first one written.
        const std::string bytes = (send_.openLine ? "\r\n" : "") + joined(lines);
        ok = send_.fd >= 0 && writeAll(send_.fd, bytes) && ::fdatasync(send_.fd) == 0;
        send_.openLine = !ok;
        if (ok && created)
            syncFolder();
        if (!ok) {
            why = systemError(errno);
            // A half-written line is skipped at the next load; the writer
            // puts the file right as soon as it can.
            closeFd(send_.fd);
            send_.stale = true;
        }
        stale = send_.stale;
    }
    Report(send_, ok, why);
    // Lines that failed before are not in the file yet.
    if (stale)
        Changed();
    return ok;
}

void TQueueStore::Changed()
{
    {
        std::lock_guard lock(wake_);
        dirty_ = true;
    }
    cv_.notify_all();
}

std::vector<std::string> TQueueStore::Close()
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

std::vector<std::string> TQueueStore::Save()
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
        {
            std::unique_lock lock(wake_);
            cv_.wait(lock, [this] { return dirty_ || stop_; });
            if (stop_)
                return;
            dirty_ = false;
        }
        Rewrite(false);
    }
}

std::vector<std::string> TQueueStore::Rewrite(bool fresh)
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
    std::vector<std::string> failed;
    if (!RewriteFile(read_, received, readSeen, readStale))
        failed.push_back(read_.name);
    if (!RewriteFile(send_, toSend, sendSeen, sendStale))
        failed.push_back(send_.name);
    return failed;
}

bool TQueueStore::RewriteFile(File &file, const std::vector<std::string> &lines, std::size_t extraSeen, bool stale)
{
    // What the file holds when the copy was taken: base and the lines
    // appended before it. Only this thread changes base.
    bool same = !stale && lines.size() == file.base.size() + extraSeen;
    for (std::size_t i = 0; same && i < file.base.size(); ++i)
        same = lines[i] == file.base[i];
    if (same) {
        std::lock_guard lock(guard_);
        for (std::size_t i = 0; same && i < extraSeen; ++i)
            same = lines[file.base.size() + i] == file.extra[i];
        if (same && (file.fd >= 0 || QFile::exists(QString::fromStdString(file.name)))) {
            file.base.insert(file.base.end(), file.extra.begin(), file.extra.begin() + extraSeen);
            file.extra.erase(file.extra.begin(), file.extra.begin() + extraSeen);
            return true;
        }
    }

    const std::string temp = file.name + ".tmp";
    struct stat old {};
    const bool existed = ::stat(file.name.c_str(), &old) == 0 && S_ISREG(old.st_mode);
    int fd = ::open(temp.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    bool ok = fd >= 0 && (!existed || ::fchmod(fd, old.st_mode & 07777) == 0) && writeAll(fd, joined(lines)) &&
              ::fdatasync(fd) == 0;
    std::string why = ok ? std::string() : systemError(errno);
    {
        // Appends wait only for the lines that came meanwhile and the rename.
        std::lock_guard lock(guard_);
        if (ok) {
            ok = writeAll(fd, joined(file.extra, extraSeen)) && ::fdatasync(fd) == 0 &&
                 ::rename(temp.c_str(), file.name.c_str()) == 0;
            if (!ok)
                why = systemError(errno);
        }
        if (ok) {
            syncFolder();
            closeFd(file.fd);
            file.fd = fd;
            fd = -1;
            file.base = lines;
            file.base.insert(file.base.end(), file.extra.begin() + extraSeen, file.extra.end());
            file.extra.clear();
            file.stale = false;
            file.openLine = false;
        }
    }
    if (fd >= 0) {
        ::close(fd);
        ::unlink(temp.c_str());
    }
    Report(file, ok, why);
    return ok;
}

void TQueueStore::Report(File &file, bool ok, const std::string &why)
{
    {
        std::lock_guard lock(guard_);
        const bool said = file.failing;
        file.failing = !ok;
        if (ok || said)
            return;
    }
    engine::logLine("队列文件写入失败:" + file.name + ":" + why);
}
