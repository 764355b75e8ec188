#include "support/PtyPair.h"

#include "platform/comm/Termios2.h"

#include <cerrno>
#include <stdexcept>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

speed_t speedCode(unsigned baud)
{
    switch (baud) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    case 460800: return B460800;
    default: throw std::invalid_argument("no B constant for this rate");
    }
}

} // namespace

PtyPair::PtyPair()
{
    char name[256];
    if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0)
        throw std::runtime_error("openpty failed");
    path_ = name;
    termios t{};
    tcgetattr(slave_, &t);
    cfmakeraw(&t);
    tcsetattr(slave_, TCSANOW, &t);
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
}

PtyPair::~PtyPair()
{
    closeMaster();
    if (slave_ >= 0)
        ::close(slave_);
}

void PtyPair::write(const std::string &bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN)
            throw std::runtime_error("pty master write failed");
        pollfd p{master_, POLLOUT, 0};
        if (::poll(&p, 1, 10000) == 0)
            throw std::runtime_error("pty master took nothing for 10 s");
    }
}

std::string PtyPair::read(std::size_t count, int timeoutMs)
{
    std::string out;
    while (out.size() < count) {
        pollfd p{master_, POLLIN, 0};
        int rc = ::poll(&p, 1, timeoutMs);
        if (rc < 0 && errno == EINTR)
            continue;
        if (rc <= 0)
            break;
        char buf[65536];
        ssize_t n = ::read(master_, buf, std::min(sizeof buf, count - out.size()));
        if (n <= 0)
            break;
        out.append(buf, static_cast<std::size_t>(n));
    }
    return out;
}

std::string PtyPair::readAvailable()
{
    std::string out;
    char buf[65536];
    ssize_t n;
    while ((n = ::read(master_, buf, sizeof buf)) > 0)
        out.append(buf, static_cast<std::size_t>(n));
    return out;
}

void PtyPair::closeMaster()
{
    if (master_ >= 0)
        ::close(master_);
    master_ = -1;
}

PtyPair::LineSettings PtyPair::lineSettings() const
{
    termios2 t2{}; // also rates that have no B constant
    termios t{};
    // The helper's own slave descriptor sees the same tty as the code under test.
    if (::ioctl(slave_, TCGETS2, &t2) != 0 || tcgetattr(slave_, &t) != 0)
        throw std::runtime_error("cannot read the pty's settings");
    LineSettings s{};
    s.baud = t2.c_ospeed;
    switch (t.c_cflag & CSIZE) {
    case CS5: s.dataBits = 5; break;
    case CS6: s.dataBits = 6; break;
    case CS7: s.dataBits = 7; break;
    default: s.dataBits = 8; break;
    }
    if (!(t.c_cflag & PARENB))
        s.parity = 'N';
    else if (t.c_cflag & CMSPAR)
        s.parity = (t.c_cflag & PARODD) ? 'M' : 'S';
    else
        s.parity = (t.c_cflag & PARODD) ? 'O' : 'E';
    s.stopBits = (t.c_cflag & CSTOPB) ? 2 : 1;
    s.rtsCts = (t.c_cflag & CRTSCTS) != 0;
    s.xonOut = (t.c_iflag & IXON) != 0;
    s.xonIn = (t.c_iflag & IXOFF) != 0;
    return s;
}

void PtyPair::setBaud(unsigned baud)
{
    termios t{};
    tcgetattr(slave_, &t);
    cfsetspeed(&t, speedCode(baud));
    tcsetattr(slave_, TCSANOW, &t);
}
