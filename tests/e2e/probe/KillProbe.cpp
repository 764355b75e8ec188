// Preloaded into the real program by the end-to-end tests (LD_PRELOAD), so
// that a test can kill it at an exact step: right after the first fdatasync
// that succeeds on a file named SMS_KILL_AFTER_SYNC (its name without the
// folder), the program ends with SIGKILL. Without the variable every call
// just goes through.
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <dlfcn.h>
#include <unistd.h>

namespace {

bool named(int fd, const char *wanted)
{
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char path[PATH_MAX];
    const ssize_t n = ::readlink(link, path, sizeof path - 1);
    if (n <= 0)
        return false;
    path[n] = '\0';
    const char *slash = std::strrchr(path, '/');
    return std::strcmp(slash ? slash + 1 : path, wanted) == 0;
}

} // namespace

extern "C" int fdatasync(int fd)
{
    using Sync = int (*)(int);
    static const auto real = reinterpret_cast<Sync>(::dlsym(RTLD_NEXT, "fdatasync"));
    const int result = real(fd);
    const char *wanted = std::getenv("SMS_KILL_AFTER_SYNC");
    if (result == 0 && wanted && *wanted && named(fd, wanted))
        std::raise(SIGKILL);
    return result;
}
