#include "gateway/HandOver.h"

#include "codec/PDUs.h"
#include "gateway/SyncedFiles.h"

#include <cerrno>
#include <charconv>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace handover {

namespace {

constexpr std::string_view kPending = "PENDING";
constexpr std::string_view kQueued = "QUEUED";

bool isHex(std::string_view s) { return s.find_first_not_of("0123456789ABCDEFabcdef") == std::string_view::npos; }

std::vector<std::string_view> split(std::string_view s, char separator)
{
    std::vector<std::string_view> parts;
    for (;;) {
        const std::size_t at = s.find(separator);
        parts.push_back(s.substr(0, at));
        if (at == std::string_view::npos)
            return parts;
        s.remove_prefix(at + 1);
    }
}

std::vector<std::string_view> words(std::string_view line)
{
    std::vector<std::string_view> out;
    for (std::string_view w : split(line, ' '))
        if (!w.empty())
            out.push_back(w);
    return out;
}

std::string rowText(const std::vector<std::string> &row)
{
    std::string text;
    for (const std::string &field : row) {
        text += '.';
        for (char c : field)
            text += ByteToHex(static_cast<std::uint8_t>(c));
    }
    return text;
}

bool readRow(std::string_view text, std::vector<std::string> &row)
{
    if (text.empty() || text.front() != '.')
        return false;
    text.remove_prefix(1);
    for (std::string_view hex : split(text, '.')) {
        if (hex.size() % 2 != 0 || !isHex(hex))
            return false;
        std::string field;
        for (std::size_t i = 0; i < hex.size(); i += 2)
            field += static_cast<char>(HexToByte(hex.substr(i)));
        row.push_back(std::move(field));
    }
    return true;
}

bool readLines(std::string_view text, std::vector<std::string> &lines)
{
    for (std::string_view line : split(text, ',')) {
        if (line.empty() || !isHex(line))
            return false;
        lines.emplace_back(line);
    }
    return true;
}

std::string joinedLines(const std::vector<std::string> &lines)
{
    std::string bytes;
    for (const std::string &line : lines)
        bytes.append(line).append("\r\n");
    return bytes;
}

} // namespace

std::vector<TRecord> parse(std::string_view bytes)
{
    std::vector<TRecord> records;
    std::vector<std::string_view> lines = split(bytes, '\n');
    // A record counts only once its line end is written: a write cut short
    // leaves none.
    lines.pop_back();
    for (std::string_view line : lines) {
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        const std::vector<std::string_view> w = words(line);
        TRecord r;
        bool ok = false;
        if (w.size() == 2 && w[0] == kQueued) {
            ok = readRow(w[1], r.row);
        } else if (w.size() == 4 && w[0] == kPending) {
            r.pending = true;
            const auto [end, error] = std::from_chars(w[1].data(), w[1].data() + w[1].size(), r.offset);
            ok = error == std::errc() && end == w[1].data() + w[1].size() && r.offset >= 0 && readRow(w[2], r.row) &&
                 readLines(w[3], r.lines);
        }
        if (ok)
            records.push_back(std::move(r));
    }
    return records;
}

std::string format(const std::vector<TRecord> &records)
{
    std::string bytes;
    for (const TRecord &r : records) {
        if (r.pending) {
            bytes.append(kPending).append(" ").append(std::to_string(r.offset)).append(" ");
            bytes.append(rowText(r.row)).append(" ");
            for (std::size_t i = 0; i < r.lines.size(); ++i)
                bytes.append(i ? "," : "").append(r.lines[i]);
        } else {
            bytes.append(kQueued).append(" ").append(rowText(r.row));
        }
        bytes.append("\r\n");
    }
    return bytes;
}

bool appended(const TRecord &record, std::string_view sendBuf)
{
    const std::string lines = joinedLines(record.lines);
    const auto at = static_cast<std::size_t>(record.offset);
    return !record.lines.empty() && at <= sendBuf.size() && sendBuf.substr(at, lines.size()) == lines;
}

TJournal::~TJournal()
{
    if (fd_ >= 0)
        ::close(fd_);
}

bool TJournal::Write(const std::vector<TRecord> &records)
{
    bool created = false;
    if (fd_ < 0) {
        if (records.empty() && ::access(name_.c_str(), F_OK) != 0)
            return true; // nothing to clear
        fd_ = ::open(name_.c_str(), O_RDWR | O_CLOEXEC);
        if (fd_ < 0 && errno == ENOENT) {
            fd_ = ::open(name_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
            created = fd_ >= 0;
        }
        struct stat st {};
        if (fd_ >= 0 && ::fstat(fd_, &st) != 0) {
            const int error = errno;
            ::close(fd_);
            fd_ = -1;
            errno = error;
        }
        if (fd_ < 0)
            return false;
        size_ = st.st_size;
    }
    const std::string bytes = format(records);
    if (bytes.empty()) {
        // Cutting a file to nothing takes no room and is done at once.
        if (size_ > 0 && (::ftruncate(fd_, 0) != 0 || ::fdatasync(fd_) != 0))
            return false;
        size_ = 0;
        return true;
    }
    // Blanks over what is left of longer records: a kill before the file is
    // cut leaves them, and they mean nothing.
    std::string padded = bytes;
    if (static_cast<std::int64_t>(padded.size()) < size_)
        padded.append(static_cast<std::size_t>(size_ - static_cast<std::int64_t>(padded.size())), ' ');
    if (!syncedfile::overwrite(fd_, padded, size_))
        return false;
    size_ = static_cast<std::int64_t>(padded.size());
    if (padded.size() > bytes.size() && ::ftruncate(fd_, static_cast<off_t>(bytes.size())) == 0)
        size_ = static_cast<std::int64_t>(bytes.size());
    if (created)
        syncedfile::syncFolder();
    return true;
}

} // namespace handover
