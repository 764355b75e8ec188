#include "gateway/SyncedFiles.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace syncedfile {

namespace {

// Goes on after a partial write or a signal until all of bytes is written.
template <typename Write> bool writeLoop(std::string_view bytes, Write write)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(bytes.data() + done, bytes.size() - done, done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

bool writeAll(int fd, std::string_view bytes)
{
    return writeLoop(bytes, [fd](const char *data, std::size_t size, std::size_t) { return ::write(fd, data, size); });
}

bool writeAllAt(int fd, std::string_view bytes, off_t at)
{
    return writeLoop(bytes, [fd, at](const char *data, std::size_t size, std::size_t done) {
        return ::pwrite(fd, data, size, at + static_cast<off_t>(done));
    });
}

bool append(int fd, std::string_view bytes)
{
    if (fd < 0) {
        errno = EBADF;
        return false;
    }
    const off_t before = ::lseek(fd, 0, SEEK_END);
    if (writeAll(fd, bytes) && ::fdatasync(fd) == 0)
        return true;
    const int error = errno;
    if (before >= 0)
        (void)::ftruncate(fd, before);
    errno = error;
    return false;
}

bool overwrite(int fd, std::string_view bytes, off_t oldSize)
{
    if (fd < 0) {
        errno = EBADF;
        return false;
    }
    const auto size = static_cast<off_t>(bytes.size());
    // An empty file has nothing to lose.
    if (size > oldSize && oldSize > 0) {
        const std::string blanks(static_cast<std::size_t>(size - oldSize), ' ');
        if (!writeAllAt(fd, blanks, oldSize) || ::fdatasync(fd) != 0) {
            const int error = errno;
            (void)::ftruncate(fd, oldSize);
            errno = error;
            return false;
        }
    }
    return writeAllAt(fd, bytes, 0) && ::fdatasync(fd) == 0;
}

void syncFolder()
{
    const int dir = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

std::string lastError() { return std::strerror(errno); }

} // namespace syncedfile
