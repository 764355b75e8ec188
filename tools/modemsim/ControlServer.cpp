#include "ControlServer.h"

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// A longer line is answered with an error and thrown away.
constexpr size_t kMaxLine = 64 * 1024;

void sendAll(int fd, const std::string &text)
{
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::send(fd, text.data() + done, text.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return; // the peer went away; its connection is dropped on the next read
        done += static_cast<size_t>(n);
    }
}

} // namespace

ControlServer::~ControlServer() { close(); }

bool ControlServer::listen(const std::string &path, std::string &error)
{
    sockaddr_un addr{};
    if (path.size() >= sizeof addr.sun_path) {
        error = path + ": path too long for a socket";
        return false;
    }
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0) {
        if (!S_ISSOCK(st.st_mode)) {
            error = path + " exists and is not a socket";
            return false;
        }
        ::unlink(path.c_str());
    }
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    listen_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listen_ < 0 || ::bind(listen_, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 ||
        ::listen(listen_, 8) != 0) {
        error = path + ": " + std::strerror(errno);
        close();
        return false;
    }
    path_ = path;
    return true;
}

void ControlServer::close()
{
    for (const auto &[fd, pending] : clients_)
        ::close(fd);
    clients_.clear();
    if (listen_ >= 0) {
        ::close(listen_);
        listen_ = -1;
        if (!path_.empty())
            ::unlink(path_.c_str());
    }
    path_.clear();
}

void ControlServer::watch(std::vector<pollfd> &fds) const
{
    if (listen_ >= 0)
        fds.push_back({listen_, POLLIN, 0});
    for (const auto &[fd, pending] : clients_)
        fds.push_back({fd, POLLIN, 0});
}

bool ControlServer::serve(int fd, short revents, const Handler &handler)
{
    if (fd == listen_ && listen_ >= 0) {
        const int client = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client >= 0)
            clients_[client];
        return true; // EINTR, EAGAIN, a peer gone before accept: nothing to do
    }
    auto it = clients_.find(fd);
    if (it == clients_.end())
        return false;
    if (!(revents & (POLLIN | POLLHUP | POLLERR)))
        return true;
    char buf[4096];
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && (errno == EINTR || errno == EAGAIN))
        return true;
    if (n <= 0) {
        ::close(fd);
        clients_.erase(it);
        return true;
    }
    std::string &pending = it->second;
    pending.append(buf, static_cast<size_t>(n));
    size_t nl;
    while ((nl = pending.find('\n')) != std::string::npos) {
        std::string line = pending.substr(0, nl);
        pending.erase(0, nl + 1);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        sendAll(fd, handler(line) + "\n");
    }
    if (pending.size() > kMaxLine) {
        pending.clear();
        sendAll(fd, "ERR line too long\n");
    }
    return true;
}
