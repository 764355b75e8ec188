#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

struct pollfd;

// The control channel: a Unix stream socket that takes one command per line
// and answers each with one line. Any number of connections, one after the
// other or at once; served from the simulator's single thread.
class ControlServer {
public:
    using Handler = std::function<std::string(const std::string &)>;

    ControlServer() = default;
    ~ControlServer();
    ControlServer(const ControlServer &) = delete;
    ControlServer &operator=(const ControlServer &) = delete;

    // Listens at path (a stale socket there is replaced; anything else is
    // refused). False with error set.
    bool listen(const std::string &path, std::string &error);
    // Closes every connection and removes the socket file.
    void close();

    // Appends the descriptors to watch for reading.
    void watch(std::vector<pollfd> &fds) const;
    // Serves what poll reported on one of them: accepts, reads, answers each
    // complete line through handler, drops closed connections. Returns false
    // when fd is not one of the server's.
    bool serve(int fd, short revents, const Handler &handler);

private:
    int listen_ = -1;
    std::string path_;
    std::map<int, std::string> clients_; // fd -> bytes of an unfinished line
};
