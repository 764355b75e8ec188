#include "support/ModemSim.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#ifndef MODEMSIM_PATH
#error "MODEMSIM_PATH must name the modemsim executable"
#endif

namespace fs = std::filesystem;

namespace {

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// A Unix socket path must fit in 108 bytes; a long TMPDIR falls back to /tmp.
std::string makeFolder()
{
    std::string base = fs::temp_directory_path().string();
    if (base.size() > 60)
        base = "/tmp";
    std::string pattern = base + "/modemsim-XXXXXX";
    if (!mkdtemp(pattern.data()))
        return {};
    return pattern;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return 0;
}

// The bytes of the log's quoted form starting at text[at] (the opening quote).
std::string unquote(const std::string &text, size_t at)
{
    std::string out;
    for (size_t i = at + 1; i < text.size() && text[i] != '"'; ++i) {
        if (text[i] != '\\' || i + 1 >= text.size()) {
            out += text[i];
            continue;
        }
        const char e = text[++i];
        if (e == 'r')
            out += '\r';
        else if (e == 'n')
            out += '\n';
        else if (e == 't')
            out += '\t';
        else if (e == 'x' && i + 2 < text.size()) {
            out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else
            out += e;
    }
    return out;
}

// Lines of the log as tag and rest (the time stamp dropped).
std::vector<std::pair<std::string, std::string>> entries(const std::string &log)
{
    std::vector<std::pair<std::string, std::string>> out;
    std::istringstream in(log);
    std::string line;
    while (std::getline(in, line)) {
        const size_t a = line.find(' ');
        const size_t b = a == std::string::npos ? a : line.find(' ', a + 1);
        if (b == std::string::npos)
            continue;
        out.emplace_back(line.substr(a + 1, b - a - 1), line.substr(b + 1));
    }
    return out;
}

} // namespace

ModemSim::ModemSim() : ModemSim(Options{}) {}

ModemSim::ModemSim(const Options &options)
{
    folder_ = makeFolder();
    if (folder_.empty())
        return;
    port_ = folder_ + "/modem";
    socket_ = folder_ + "/control";
    logFile_ = folder_ + "/modem.log";

    std::vector<std::string> args = {MODEMSIM_PATH, "--link", port_, "--control", socket_, "--log", logFile_};
    if (!options.scenario.empty()) {
        std::ofstream(folder_ + "/scenario.txt") << options.scenario;
        args.insert(args.end(), {"--scenario", folder_ + "/scenario.txt"});
    }
    if (options.baud)
        args.insert(args.end(), {"--baud", std::to_string(options.baud)});
    std::vector<char *> argv;
    for (auto &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, (folder_ + "/stderr.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    const int rc = posix_spawn(&pid_, MODEMSIM_PATH, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        pid_ = -1;
        return;
    }
    started_ = waitFor([this] { return fs::is_symlink(port_) || !running(); }) && running() && fs::is_symlink(port_);
}

ModemSim::~ModemSim()
{
    stop();
    if (!folder_.empty()) {
        std::error_code ec;
        fs::remove_all(folder_, ec);
    }
}

std::string ModemSim::errorOutput() const { return readFile(folder_ + "/stderr.txt"); }

bool ModemSim::running() const
{
    if (pid_ <= 0 || reaped_)
        return false;
    if (waitpid(pid_, &status_, WNOHANG) == pid_)
        reaped_ = true;
    return !reaped_;
}

int ModemSim::stop()
{
    if (pid_ <= 0)
        return -1;
    if (running()) {
        kill(pid_, SIGTERM);
        waitFor([this] { return !running(); });
        if (running()) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status_, 0);
            status_ = -1;
        }
    }
    pid_ = -1;
    reaped_ = false;
    return status_ >= 0 && WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
}

std::string ModemSim::control(const std::string &command) const
{
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, socket_.c_str(), sizeof addr.sun_path - 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return {};
    std::string reply;
    const std::string line = command + "\n";
    if (connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0 &&
        send(fd, line.data(), line.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(line.size())) {
        pollfd p{fd, POLLIN, 0};
        char c;
        while (poll(&p, 1, 5000) > 0 && read(fd, &c, 1) == 1 && c != '\n')
            reply += c;
    }
    close(fd);
    return reply;
}

std::string ModemSim::log() const { return readFile(logFile_); }

std::vector<std::string> ModemSim::quoted(const char *tag) const
{
    std::vector<std::string> out;
    for (const auto &[t, rest] : entries(log()))
        if (t == tag && rest.find('"') != std::string::npos)
            out.push_back(unquote(rest, rest.find('"')));
    return out;
}

std::vector<std::string> ModemSim::commands() const { return quoted("CMD"); }

std::vector<std::string> ModemSim::commandsStarting(const std::string &prefix) const
{
    std::vector<std::string> out;
    for (const std::string &c : commands())
        if (c.rfind(prefix, 0) == 0)
            out.push_back(c);
    return out;
}

int ModemSim::logCount(const std::string &text) const
{
    const std::string all = log();
    int n = 0;
    for (std::size_t at = all.find(text); at != std::string::npos; at = all.find(text, at + 1))
        ++n;
    return n;
}

std::string ModemSim::received() const
{
    std::string all;
    for (const auto &chunk : quoted("RX"))
        all += chunk;
    return all;
}

std::string ModemSim::sent() const
{
    std::string all;
    for (const auto &chunk : quoted("TX"))
        all += chunk;
    return all;
}

std::vector<ModemSim::Pdu> ModemSim::pdus() const
{
    std::vector<Pdu> out;
    for (const auto &[tag, rest] : entries(log())) {
        if (tag != "PDU")
            continue;
        Pdu p;
        std::istringstream in(rest);
        in >> p.outcome >> p.length;
        const size_t q = rest.find('"');
        if (q != std::string::npos)
            p.text = unquote(rest, q);
        out.push_back(p);
    }
    return out;
}

bool ModemSim::waitFor(const std::function<bool()> &condition, int timeoutMs) const
{
    const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= limit)
            return condition();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

bool ModemSim::waitForLog(const std::string &text, int timeoutMs) const
{
    return waitFor([&] { return log().find(text) != std::string::npos; }, timeoutMs);
}
