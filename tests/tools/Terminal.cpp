#include "Terminal.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

speed_t speedCode(unsigned baud)
{
    switch (baud) {
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    default: return B4800;
    }
}

bool endsWith(const std::string &s, const std::string &tail)
{
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

} // namespace

bool endsInFinalResult(const std::string &text)
{
    if (endsWith(text, "\r\n> "))
        return true;
    if (!endsWith(text, "\r\n"))
        return false;
    const std::string body = text.substr(0, text.size() - 2);
    const size_t start = body.rfind("\r\n");
    const std::string last = start == std::string::npos ? body : body.substr(start + 2);
    return last == "OK" || last == "ERROR" || last == "NO CARRIER" || last.rfind("+CMS ERROR:", 0) == 0 ||
           last.rfind("+CME ERROR:", 0) == 0;
}

Terminal::Terminal(const std::string &path, unsigned baud)
{
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ >= 0)
        setSpeed(baud);
}

Terminal::~Terminal()
{
    if (fd_ >= 0)
        ::close(fd_);
}

void Terminal::setSpeed(unsigned baud)
{
    termios t{};
    tcgetattr(fd_, &t);
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    cfsetispeed(&t, speedCode(baud));
    cfsetospeed(&t, speedCode(baud));
    tcsetattr(fd_, TCSANOW, &t);
}

void Terminal::write(const std::string &bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
        } else if (n < 0 && errno == EAGAIN) {
            pollfd p{fd_, POLLOUT, 0};
            poll(&p, 1, 1000);
        } else if (!(n < 0 && errno == EINTR)) {
            return;
        }
    }
}

bool Terminal::readSome(std::string &into, int timeoutMs)
{
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, timeoutMs) <= 0)
        return true;
    char buf[4096];
    const ssize_t n = ::read(fd_, buf, sizeof buf);
    if (n > 0)
        into.append(buf, static_cast<size_t>(n));
    return n > 0 || (n < 0 && (errno == EAGAIN || errno == EINTR));
}

std::string Terminal::readUntil(const std::string &needle, int timeoutMs)
{
    std::string got;
    const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (got.find(needle) == std::string::npos) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(limit - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !readSome(got, static_cast<int>(left.count())))
            break;
    }
    return got;
}

std::string Terminal::readReply(int timeoutMs)
{
    std::string got;
    const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!endsInFinalResult(got)) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(limit - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !readSome(got, static_cast<int>(left.count())))
            break;
    }
    return got;
}

std::string Terminal::command(const std::string &line)
{
    write(line + "\r");
    return readReply();
}

std::string Terminal::pending()
{
    std::string got;
    while (readSome(got, 0)) {
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, 0) <= 0 || !(p.revents & POLLIN))
            break;
    }
    return got;
}

bool Terminal::waitHangUp(int timeoutMs)
{
    std::string ignored;
    const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < limit)
        if (!readSome(ignored, 50))
            return true;
    return false;
}
