// The serial device behind a comm-layer port handle: termios, modem-control
// ioctls and a driver thread that sleeps in poll() on the device and a wake-up
// eventfd. Every termios, ioctl and poll call of the project sits in this file.

#include "platform/comm/CommQueues.h"
#include "platform/comm/Termios2.h"

#include <algorithm>
#include <cerrno>
#include <thread>
#include <utility>

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace comm {
namespace detail {
namespace {

// Owns a file descriptor.
class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }
    void reset()
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_;
};

// The classic speed code of a rate, or 0 when it has none.
speed_t speedCode(DWORD bps)
{
    static const struct {
        DWORD bps;
        speed_t code;
    } kCodes[] = {
        {50, B50},           {75, B75},           {110, B110},         {134, B134},         {150, B150},
        {200, B200},         {300, B300},         {600, B600},         {1200, B1200},       {1800, B1800},
        {2400, B2400},       {4800, B4800},       {9600, B9600},       {19200, B19200},     {38400, B38400},
        {57600, B57600},     {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
        {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
        {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000},
    };
    for (const auto &c : kCodes)
        if (c.bps == bps)
            return c.code;
    return 0;
}

// For both termios records (glibc's and the kernel's termios2).
template <typename Termios> void makeRaw(Termios &t)
{
    t.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY | INPCK);
    t.c_oflag &= ~OPOST;
    t.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    // CLOCAL: like a Win32 port, opening and reading never depend on carrier detect.
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
}

// Everything of a DCB that a termios record holds but the speed.
template <typename Termios> void applyLine(Termios &t, const DCB &d)
{
    makeRaw(t);
    static const tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
    t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    t.c_cflag |= sizes[d.ByteSize - 5];
#ifdef CIBAUD
    t.c_cflag &= ~CIBAUD; // input speed follows the output speed
#endif
    switch (d.Parity) {
    case ODDPARITY: t.c_cflag |= PARENB | PARODD; break;
    case EVENPARITY: t.c_cflag |= PARENB; break;
    case MARKPARITY: t.c_cflag |= PARENB | PARODD | CMSPAR; break;
    case SPACEPARITY: t.c_cflag |= PARENB | CMSPAR; break;
    default: break;
    }
    if (d.StopBits != ONESTOPBIT)
        t.c_cflag |= CSTOPB;
    // The kernel's RTS/CTS flow control covers both directions; DSR flow has no counterpart.
    if (d.fOutxCtsFlow || d.fRtsControl == RTS_CONTROL_HANDSHAKE)
        t.c_cflag |= CRTSCTS;
    if (d.fOutX)
        t.c_iflag |= IXON;
    if (d.fInX)
        t.c_iflag |= IXOFF;
    if (d.fParity)
        t.c_iflag |= INPCK;
    t.c_cc[VSTART] = static_cast<cc_t>(d.XonChar);
    t.c_cc[VSTOP] = static_cast<cc_t>(d.XoffChar);
}

// A serial device: its termios, modem lines, and the driver thread that moves
// bytes between the device and the queues.
class Port final : public PortQueues {
public:
    static std::shared_ptr<Port> open(const std::string &path);
    Port(int fd, int wake) : fd_(fd), wake_(wake) {}
    ~Port() override { shutdown(); }
    void closed() override { shutdown(); }

    bool getState(DCB *dcb);
    bool setState(const DCB &dcb);
    bool purge(DWORD flags);
    bool clearError(DWORD *errors, COMSTAT *stat);
    bool write(const BYTE *buffer, DWORD count, DWORD *put, OVERLAPPED *ov, std::shared_ptr<Event> event);

private:
    void wakeDriver() override { wake(); }
    // Not virtual: the destructor stops the driver through it.
    void wake();
    void run();
    void shutdown();
    void receive();
    void transmit();
    bool setLine(int line, bool on);

    Fd fd_;
    Fd wake_;
    std::thread driver_;
};

std::shared_ptr<Port> Port::open(const std::string &path)
{
    Fd fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0) {
        failErrno(errno);
        return nullptr;
    }
    if (!::isatty(fd.get())) {
        fail(ERROR_INVALID_FUNCTION, ENOTTY);
        return nullptr;
    }
    // flock holds other openers off even when they run as root, whom TIOCEXCL does not stop.
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
        failErrno(EBUSY);
        return nullptr;
    }
    termios2 t{};
    if (::ioctl(fd.get(), TCGETS2, &t) != 0) {
        failErrno(errno);
        return nullptr;
    }
    makeRaw(t);
    t.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    t.c_cflag |= CS8;
    if (::ioctl(fd.get(), TCSETS2, &t) != 0) {
        failErrno(errno);
        return nullptr;
    }
    Fd wake(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
    if (wake.get() < 0 || ::ioctl(fd.get(), TIOCEXCL) != 0) {
        failErrno(errno);
        return nullptr;
    }

    auto port = std::make_shared<Port>(fd.release(), wake.release());
    DCB &d = port->dcb_;
    d.DCBlength = sizeof(DCB);
    d.BaudRate = t.c_ospeed;
    d.fBinary = 1;
    d.fDtrControl = DTR_CONTROL_ENABLE;
    d.fRtsControl = RTS_CONTROL_ENABLE;
    d.XonLim = 2048;
    d.XoffLim = 512;
    d.ByteSize = 8;
    d.XonChar = 17;
    d.XoffChar = 19;
    port->driver_ = std::thread([p = port.get()] { p->run(); });
    return port;
}

void Port::shutdown()
{
    {
        std::lock_guard lock(m_);
        if (shut_)
            return;
        shut_ = true;
        closing_ = true;
        abortReads();
        abortWrites();
        if (wait_) {
            completeOverlapped(wait_->ov, *wait_->event, ERROR_OPERATION_ABORTED, 0);
            wait_.reset();
        }
    }
    wake();
    if (driver_.joinable())
        driver_.join();
    ::ioctl(fd_.get(), TIOCNXCL); // the flag outlives our descriptor when others hold the tty
    fd_.reset();
    wake_.reset();
}

void Port::wake()
{
    std::uint64_t one = 1;
    // EAGAIN means the counter is already non-zero: the driver wakes anyway.
    while (::write(wake_.get(), &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void Port::run()
{
    std::unique_lock lock(m_);
    while (!closing_) {
        pollfd fds[2] = {};
        fds[0].fd = gone_ ? -1 : fd_.get(); // a hung-up tty polls ready for ever
        fds[0].events = static_cast<short>((in_.size() < inSize_ ? POLLIN : 0) | (writes_.empty() ? 0 : POLLOUT));
        fds[1].fd = wake_.get();
        fds[1].events = POLLIN;
        int timeout = pollTimeout(Clock::now());
        lock.unlock();
        int rc = ::poll(fds, 2, timeout);
        int err = errno;
        lock.lock();
        if (rc < 0) {
            if (err != EINTR)
                markGone(errorFromErrno(err));
            continue;
        }
        if (fds[1].revents & POLLIN) {
            std::uint64_t count;
            while (::read(wake_.get(), &count, sizeof count) < 0 && errno == EINTR) {
            }
        }
        if (closing_)
            break;
        short rev = fds[0].revents;
        if (rev & (POLLIN | POLLHUP | POLLERR))
            receive();
        if (!gone_ && (rev & (POLLHUP | POLLERR | POLLNVAL)))
            markGone(ERROR_DEVICE_NOT_CONNECTED);
        if (!gone_ && (rev & POLLOUT))
            transmit();
        expire(Clock::now());
    }
}

void Port::receive()
{
    const std::size_t before = in_.size();
    DWORD events = 0;
    while (in_.size() < inSize_) {
        BYTE chunk[4096];
        std::size_t room = std::min<std::size_t>(inSize_ - in_.size(), sizeof chunk);
        ssize_t n = ::read(fd_.get(), chunk, room);
        if (n > 0) {
            events |= accept(chunk, static_cast<std::size_t>(n));
            if (static_cast<std::size_t>(n) < room)
                break;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN)
            break;
        // A non-blocking tty reads 0 only after a hang-up.
        markGone(n == 0 ? ERROR_DEVICE_NOT_CONNECTED : errorFromErrno(errno));
        break;
    }
    received(before, events);
}

void Port::transmit()
{
    const auto now = Clock::now();
    while (!writes_.empty()) {
        Transfer &w = writes_.front();
        startWrite(w, now);
        // An empty write has nothing to wait for: it must not hold up the
        // writes behind it.
        if (w.done < w.want) {
            ssize_t n = ::write(fd_.get(), w.out + w.done, w.want - w.done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n == 0 || (n < 0 && errno == EAGAIN))
                break;
            if (n < 0) {
                DWORD error = errorFromErrno(errno);
                if (error == ERROR_DEVICE_NOT_CONNECTED) {
                    markGone(error);
                    break;
                }
                completeOverlapped(w.ov, *w.event, error, 0);
                writes_.pop_front();
                continue;
            }
            w.done += static_cast<DWORD>(n);
            if (w.done < w.want)
                continue;
        }
        completeOverlapped(w.ov, *w.event, ERROR_SUCCESS, w.done);
        writes_.pop_front();
    }
}

bool Port::setLine(int line, bool on)
{
    int bits = line;
    if (::ioctl(fd_.get(), on ? TIOCMBIS : TIOCMBIC, &bits) == 0)
        return true;
    // Pseudo-terminals and some adapters have no modem-control lines: not an error.
    return errno != EIO;
}

bool Port::getState(DCB *dcb)
{
    std::lock_guard lock(m_);
    if (shut_)
        return fail(ERROR_INVALID_HANDLE);
    termios2 t{};
    if (::ioctl(fd_.get(), TCGETS2, &t) != 0)
        return failErrno(errno);
    *dcb = dcb_;
    dcb->BaudRate = t.c_ospeed;
    switch (t.c_cflag & CSIZE) {
    case CS5: dcb->ByteSize = 5; break;
    case CS6: dcb->ByteSize = 6; break;
    case CS7: dcb->ByteSize = 7; break;
    default: dcb->ByteSize = 8; break;
    }
    if (!(t.c_cflag & PARENB))
        dcb->Parity = NOPARITY;
    else if (t.c_cflag & CMSPAR)
        dcb->Parity = (t.c_cflag & PARODD) ? MARKPARITY : SPACEPARITY;
    else
        dcb->Parity = (t.c_cflag & PARODD) ? ODDPARITY : EVENPARITY;
    if (!(t.c_cflag & CSTOPB))
        dcb->StopBits = ONESTOPBIT;
    else if (dcb_.StopBits == ONESTOPBIT)
        dcb->StopBits = TWOSTOPBITS;
    return true;
}

bool Port::setState(const DCB &d)
{
    if (d.ByteSize < 5 || d.ByteSize > 8 || d.Parity > SPACEPARITY || d.StopBits > TWOSTOPBITS || d.BaudRate == 0)
        return fail(ERROR_INVALID_PARAMETER);
    if ((d.fInX || d.fOutX) && d.XonChar == d.XoffChar)
        return fail(ERROR_INVALID_PARAMETER);
    std::lock_guard lock(m_);
    if (shut_)
        return fail(ERROR_INVALID_HANDLE);
    bool applied;
    if (const speed_t code = speedCode(d.BaudRate)) {
        // A rate with a code of its own is set the classic way, so that stty
        // and every other reader of the standard termios calls see it.
        termios t{};
        applied = ::tcgetattr(fd_.get(), &t) == 0;
        if (applied) {
            applyLine(t, d);
            applied = ::cfsetispeed(&t, code) == 0 && ::cfsetospeed(&t, code) == 0 &&
                      ::tcsetattr(fd_.get(), TCSANOW, &t) == 0;
        }
    } else {
        // Any other rate goes in bit/s through the kernel's "other" rate.
        termios2 t{};
        applied = ::ioctl(fd_.get(), TCGETS2, &t) == 0;
        if (applied) {
            applyLine(t, d);
            t.c_cflag = (t.c_cflag & ~CBAUD) | BOTHER;
            t.c_ispeed = d.BaudRate;
            t.c_ospeed = d.BaudRate;
            applied = ::ioctl(fd_.get(), TCSETS2, &t) == 0;
        }
    }
    if (!applied)
        return failErrno(errno);
    bool lines = setLine(TIOCM_DTR, d.fDtrControl != DTR_CONTROL_DISABLE);
    if (lines && d.fRtsControl != RTS_CONTROL_HANDSHAKE)
        lines = setLine(TIOCM_RTS, d.fRtsControl != RTS_CONTROL_DISABLE);
    if (!lines)
        return fail(ERROR_DEVICE_NOT_CONNECTED);
    dcb_ = d;
    dcb_.DCBlength = sizeof(DCB);
    return true;
}

bool Port::purge(DWORD flags)
{
    std::lock_guard lock(m_);
    if (shut_)
        return fail(ERROR_INVALID_HANDLE);
    if (flags & PURGE_TXABORT)
        abortWrites();
    if (flags & PURGE_RXABORT)
        abortReads();
    if (flags & PURGE_TXCLEAR)
        ::tcflush(fd_.get(), TCOFLUSH);
    if (flags & PURGE_RXCLEAR) {
        in_.clear();
        ::tcflush(fd_.get(), TCIFLUSH);
    }
    wakeDriver();
    return true;
}

bool Port::clearError(DWORD *errors, COMSTAT *stat)
{
    std::lock_guard lock(m_);
    if (shut_)
        return fail(ERROR_INVALID_HANDLE);
    if (errors)
        *errors = 0;
    if (stat) {
        int pending = 0;
        if (gone_ || ::ioctl(fd_.get(), TIOCOUTQ, &pending) != 0 || pending < 0)
            pending = 0;
        stat->Flags = 0;
        stat->cbInQue = static_cast<DWORD>(in_.size());
        stat->cbOutQue = unsent() + static_cast<DWORD>(pending);
    }
    return true;
}

bool Port::write(const BYTE *buffer, DWORD count, DWORD *put, OVERLAPPED *ov, std::shared_ptr<Event> event)
{
    std::lock_guard lock(m_);
    if (shut_)
        return fail(ERROR_INVALID_HANDLE);
    beginOverlapped(ov, *event);
    if (gone_)
        return finishNow(ov, *event, goneError_, 0, put);
    DWORD done = 0;
    if (writes_.empty()) {
        while (done < count) {
            ssize_t n = ::write(fd_.get(), buffer + done, count - done);
            if (n > 0) {
                done += static_cast<DWORD>(n);
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n == 0 || errno == EAGAIN)
                break;
            DWORD error = errorFromErrno(errno);
            if (error == ERROR_DEVICE_NOT_CONNECTED)
                markGone(error);
            return finishNow(ov, *event, error, 0, put);
        }
        if (done == count)
            return finishNow(ov, *event, ERROR_SUCCESS, count, put);
    }
    queueWrite(buffer, count, done, ov, std::move(event));
    return fail(ERROR_IO_PENDING);
}

template <typename F> bool withPort(HANDLE h, F &&f)
{
    auto port = lookupAs<Port>(h);
    if (!port)
        return fail(ERROR_INVALID_HANDLE);
    return f(*port);
}

// The same for a call whose argument must be given: a null one fails with
// ERROR_INVALID_PARAMETER before the handle is looked at.
template <typename F> bool withPort(HANDLE h, const void *required, F &&f)
{
    if (!required)
        return fail(ERROR_INVALID_PARAMETER);
    return withPort(h, std::forward<F>(f));
}

// The event of an overlapped call; the layer needs one to signal completion.
std::shared_ptr<Event> eventOf(OVERLAPPED *ov) { return ov ? lookupAs<Event>(ov->hEvent) : nullptr; }

} // namespace
} // namespace detail

using namespace detail;

HANDLE CreateFile(const std::string &name, DWORD access, DWORD, void *, DWORD disposition, DWORD, HANDLE)
{
    if (disposition != OPEN_EXISTING || (access & (GENERIC_READ | GENERIC_WRITE)) == 0) {
        fail(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    auto port = Port::open(devicePath(name));
    return port ? insertHandle(std::move(port)) : INVALID_HANDLE_VALUE;
}

bool GetCommState(HANDLE port, DCB *dcb)
{
    return withPort(port, dcb, [&](Port &p) { return p.getState(dcb); });
}

bool SetCommState(HANDLE port, const DCB *dcb)
{
    return withPort(port, dcb, [&](Port &p) { return p.setState(*dcb); });
}

bool SetupComm(HANDLE port, DWORD inQueue, DWORD outQueue)
{
    return withPort(port, [&](Port &p) { return p.setup(inQueue, outQueue); });
}

bool PurgeComm(HANDLE port, DWORD flags)
{
    return withPort(port, [&](Port &p) { return p.purge(flags); });
}

bool GetCommTimeouts(HANDLE port, COMMTIMEOUTS *timeouts)
{
    return withPort(port, timeouts, [&](Port &p) { return p.getTimeouts(timeouts); });
}

bool SetCommTimeouts(HANDLE port, const COMMTIMEOUTS *timeouts)
{
    return withPort(port, timeouts, [&](Port &p) { return p.setTimeouts(*timeouts); });
}

bool GetCommProperties(HANDLE port, COMMPROP *prop)
{
    return withPort(port, prop, [&](Port &p) { return p.properties(prop); });
}

bool ClearCommError(HANDLE port, DWORD *errors, COMSTAT *stat)
{
    return withPort(port, [&](Port &p) { return p.clearError(errors, stat); });
}

bool ReadFile(HANDLE port, void *buffer, DWORD count, DWORD *read, OVERLAPPED *ov)
{
    auto event = eventOf(ov);
    if (!event || (!buffer && count > 0))
        return fail(ERROR_INVALID_PARAMETER);
    return withPort(port,
                    [&](Port &p) { return p.read(static_cast<BYTE *>(buffer), count, read, ov, std::move(event)); });
}

bool WriteFile(HANDLE port, const void *buffer, DWORD count, DWORD *written, OVERLAPPED *ov)
{
    auto event = eventOf(ov);
    if (!event || (!buffer && count > 0))
        return fail(ERROR_INVALID_PARAMETER);
    return withPort(port, [&](Port &p) {
        return p.write(static_cast<const BYTE *>(buffer), count, written, ov, std::move(event));
    });
}

bool SetCommMask(HANDLE port, DWORD mask)
{
    return withPort(port, [&](Port &p) { return p.setMask(mask); });
}

bool WaitCommEvent(HANDLE port, DWORD *mask, OVERLAPPED *ov)
{
    auto event = eventOf(ov);
    if (!event || !mask)
        return fail(ERROR_INVALID_PARAMETER);
    return withPort(port, [&](Port &p) { return p.waitEvent(mask, ov, std::move(event)); });
}

} // namespace comm
