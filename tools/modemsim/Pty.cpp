#include "Pty.h"

#include "platform/comm/Termios2.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

struct SpeedEntry {
    speed_t code;
    unsigned bps;
};

const SpeedEntry kSpeeds[] = {
    {B300, 300},       {B600, 600},       {B1200, 1200},     {B2400, 2400},   {B4800, 4800},
    {B9600, 9600},     {B19200, 19200},   {B38400, 38400},   {B57600, 57600}, {B115200, 115200},
    {B230400, 230400}, {B460800, 460800}, {B921600, 921600},
};

std::string errnoText(const char *what) { return std::string(what) + ": " + std::strerror(errno); }

} // namespace

bool Pty::open(const std::string &link, std::string &error)
{
    struct stat st {};
    if (lstat(link.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
        error = link + " exists and is not a symbolic link";
        return false;
    }
    const int fd = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = errnoText("posix_openpt");
        return false;
    }
    const char *name = (grantpt(fd) == 0 && unlockpt(fd) == 0) ? ptsname(fd) : nullptr;
    if (!name) {
        error = errnoText("pseudo-terminal set-up");
        ::close(fd);
        return false;
    }
    // Opening and closing the terminal side once puts the pair into the
    // hung-up state that also follows every later close, so that "nobody
    // has the port open" reads the same before the first program and after.
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave >= 0)
        ::close(slave);

    const std::string temp = link + ".new";
    ::unlink(temp.c_str());
    if (symlink(name, temp.c_str()) != 0 || rename(temp.c_str(), link.c_str()) != 0) {
        error = errnoText(("linking " + link).c_str());
        ::unlink(temp.c_str());
        ::close(fd);
        return false;
    }
    // The link already leads to the new pair: the old one goes unseen.
    if (master_ >= 0)
        ::close(master_);
    master_ = fd;
    terminal_ = name;
    link_ = link;
    return true;
}

void Pty::close()
{
    if (master_ < 0)
        return;
    struct stat st {};
    if (lstat(link_.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
        ::unlink(link_.c_str());
    ::close(master_);
    master_ = -1;
    terminal_.clear();
}

bool Pty::terminalOpen() const
{
    if (master_ < 0)
        return false;
    pollfd p{master_, POLLIN, 0};
    // EINTR: report "open"; the caller asks again on its next round.
    if (poll(&p, 1, 0) < 0)
        return true;
    return !(p.revents & POLLHUP);
}

bool Pty::exclusiveLeftBehind() const
{
    if (master_ < 0 || terminalOpen())
        return false;
    const int fd = ::open(terminal_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd >= 0) {
        ::ioctl(fd, TIOCNXCL);
        ::close(fd);
        return false;
    }
    // Asked again: a program that opened it meanwhile holds it, not a ghost.
    return errno == EBUSY && !terminalOpen();
}

unsigned Pty::speed() const
{
    termios t{};
    // The master reads the settings of its terminal side.
    if (master_ < 0 || tcgetattr(master_, &t) != 0)
        return 0;
    const speed_t code = cfgetospeed(&t);
    for (const auto &e : kSpeeds)
        if (e.code == code)
            return e.bps;
    termios2 t2{};
    if (ioctl(master_, TCGETS2, &t2) == 0)
        return t2.c_ospeed;
    return 0;
}

bool Pty::isStandardSpeed(unsigned bps)
{
    for (const auto &e : kSpeeds)
        if (e.bps == bps)
            return true;
    return false;
}
