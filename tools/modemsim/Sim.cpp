#include "Sim.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <iostream>
#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>
#include <utility>

namespace {

// While nobody has the port open the master only reports a hang-up, so it
// is looked at again after this long rather than watched.
constexpr int kAbsentRecheckMs = 20;
// Output for a terminal that does not read is not kept without bound.
constexpr size_t kMaxQueue = 1 << 20;

} // namespace

Sim::Sim(Options options, Scenario scenario)
    : options_(std::move(options)), scenario_(std::move(scenario)),
      modem_(scenario_, log_, [this](std::string_view bytes) { toTerminal(bytes); })
{
}

bool Sim::start(std::string &error)
{
    if (!options_.log.empty() && !log_.open(options_.log)) {
        error = options_.log + ": " + std::strerror(errno);
        return false;
    }
    log_.line("EV", "started, speed " + (options_.baud ? std::to_string(options_.baud) : std::string("any")));
    if (!options_.control.empty() && !server_.listen(options_.control, error))
        return false;
    // The link comes last: once it exists, everything else is ready.
    if (!pty_.open(options_.link, error))
        return false;
    log_.line("EV", "port " + pty_.terminalName() + " at " + options_.link);
    return true;
}

int Sim::run()
{
    sigset_t stops;
    sigemptyset(&stops);
    sigaddset(&stops, SIGTERM);
    sigaddset(&stops, SIGINT);
    sigaddset(&stops, SIGHUP);
    sigprocmask(SIG_BLOCK, &stops, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    const int signals = signalfd(-1, &stops, SFD_CLOEXEC);

    std::string error;
    if (signals < 0 || !start(error)) {
        std::cerr << "modemsim: " << (signals < 0 ? std::strerror(errno) : error) << "\n";
        pty_.close();
        server_.close();
        return 1;
    }

    int status = 0;
    for (;;) {
        trackTerminal();
        std::vector<pollfd> fds{{signals, POLLIN, 0}};
        const bool watchTerminal = pty_.isOpen() && terminalWasOpen_;
        if (watchTerminal)
            fds.push_back({pty_.fd(), static_cast<short>(POLLIN | (queue_.empty() ? 0 : POLLOUT)), 0});
        server_.watch(fds);
        if (poll(fds.data(), fds.size(), pollTimeout()) < 0 && errno != EINTR) {
            log_.line("EV", std::string("poll failed: ") + std::strerror(errno));
            std::cerr << "modemsim: poll: " << std::strerror(errno) << "\n";
            status = 1;
            break;
        }
        if (fds[0].revents)
            break; // a stop signal
        if (backAt_ && Clock::now() >= *backAt_) {
            if (!bringBack(error))
                log_.line("EV", "cannot come back: " + error);
        }
        if (const auto due = modem_.releaseDue(); due && Clock::now() >= *due)
            modem_.releaseHeld();
        // The terminal first: a control command may close or replace the pty.
        size_t first = 1;
        if (watchTerminal) {
            serveTerminal(fds[1].revents);
            first = 2;
        }
        for (size_t i = first; i < fds.size(); ++i)
            if (fds[i].revents)
                server_.serve(fds[i].fd, fds[i].revents, [this](const std::string &line) { return control(line); });
    }
    close(signals);
    log_.line("EV", "stopped");
    pty_.close();
    server_.close();
    return status;
}

int Sim::pollTimeout() const
{
    int timeout = -1;
    if (pty_.isOpen() && !terminalWasOpen_)
        timeout = kAbsentRecheckMs;
    for (const auto &at : {backAt_, modem_.releaseDue()}) {
        if (!at)
            continue;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*at - Clock::now());
        const int ms = left.count() < 0 ? 0 : static_cast<int>(left.count()) + 1;
        timeout = timeout < 0 ? ms : std::min(timeout, ms);
    }
    return timeout;
}

void Sim::trackTerminal()
{
    const bool open = pty_.terminalOpen();
    if (open == terminalWasOpen_)
        return;
    terminalWasOpen_ = open;
    if (open) {
        log_.line("EV", "terminal opened");
        return;
    }
    // What the program wrote before it went away reached the module.
    serveTerminal(POLLIN);
    if (!queue_.empty()) {
        // Like a UART whose port was closed: what had not gone out is lost.
        log_.bytes("TX-LOST", pty_.speed(), queue_);
        queue_.clear();
    }
    // A program that went away without closing its port (killed) leaves the
    // terminal side in exclusive mode, which a serial port drops with its
    // last close but a pty keeps while its other side is open: a new pair
    // behind the same link lets the next program in. Only then: a program
    // that reopens at once must not find its pair gone under it.
    if (pty_.exclusiveLeftBehind()) {
        std::string error;
        if (pty_.open(options_.link, error))
            log_.line("EV", "port " + pty_.terminalName() + " at " + options_.link);
        else
            log_.line("EV", "port not renewed: " + error);
    }
    log_.line("EV", "terminal closed");
}

void Sim::serveTerminal(short revents)
{
    if (revents & POLLIN) {
        char buf[4096];
        ssize_t n = 0;
        while ((n = read(pty_.fd(), buf, sizeof buf)) > 0) {
            const unsigned speed = pty_.speed();
            const std::string_view bytes(buf, static_cast<size_t>(n));
            if (speedMatches(speed)) {
                log_.bytes("RX", speed, bytes);
                modem_.receive(bytes);
                if (modem_.takeDrop()) {
                    // What the program wrote after that command is lost with the device.
                    dropDevice();
                    if (backAfterDrop_)
                        backAt_ = Clock::now() + *backAfterDrop_;
                    return;
                }
            } else {
                // At the wrong speed the module sees framing errors, not characters.
                log_.bytes("RX-LOST", speed, bytes);
            }
        }
        // n < 0: EAGAIN or EINTR try again next round; EIO is a close, which
        // trackTerminal sees as a hang-up on the next round.
    }
    if ((revents & POLLOUT) && pty_.isOpen())
        flushQueue();
}

void Sim::flushQueue()
{
    while (!queue_.empty()) {
        const ssize_t n = write(pty_.fd(), queue_.data(), queue_.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return; // EAGAIN: POLLOUT brings us back; EIO: the close is seen next round
        queue_.erase(0, static_cast<size_t>(n));
    }
}

void Sim::toTerminal(std::string_view bytes)
{
    const unsigned speed = pty_.speed();
    if (!pty_.isOpen() || !pty_.terminalOpen() || !speedMatches(speed) || queue_.size() + bytes.size() > kMaxQueue) {
        log_.bytes("TX-LOST", speed, bytes);
        return;
    }
    log_.bytes("TX", speed, bytes);
    queue_.append(bytes);
    flushQueue();
}

void Sim::dropDevice()
{
    if (pty_.isOpen()) {
        if (!queue_.empty())
            log_.bytes("TX-LOST", pty_.speed(), queue_);
        queue_.clear();
        pty_.close();
        terminalWasOpen_ = false;
        log_.line("EV", "device dropped");
    }
}

bool Sim::bringBack(std::string &error)
{
    backAt_.reset();
    if (pty_.isOpen())
        return true;
    // The module powers up afresh; the SIM and the module's memory keep their messages.
    modem_.powerOn();
    if (!pty_.open(options_.link, error))
        return false;
    log_.line("EV", "device back: port " + pty_.terminalName() + " at " + options_.link);
    return true;
}
