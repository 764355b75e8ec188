#pragma once

#include <atomic>
#include <thread>

class TGateWay;

// Runs the scheduler: one tick of channel 1 (and of channel 2 when it
// exists) every 300 ms (counted from the end of the last tick), and between
// ticks, as soon as they are due or kicked (engineclock::kick), the timed
// steps of the channels' exchanges and the start of the next exchange once
// one has ended (TSMSChannel::Serve), for ever. The program never stops it; a
// test or the program's very end may ask it to (RequestStop) and wait for
// it (Join).
class TDriveThread {
public:
    // gateway may be null: the thread then only sleeps.
    explicit TDriveThread(TGateWay *gateway);
    // Stops and joins a thread still running (main thread, see Join).
    ~TDriveThread();
    TDriveThread(const TDriveThread &) = delete;
    TDriveThread &operator=(const TDriveThread &) = delete;

    void Start();
    // Any thread: the loop ends after the current tick; its sleeps and the
    // device search's waits end at once.
    void RequestStop();
    // Waits for the thread's end. On the main thread it serves the port
    // deliveries that a closing port of the drive thread waits for. The
    // caller must not hold the engine lock.
    void Join();

private:
    void Execute();

    TGateWay *gateway_;
    std::atomic<bool> stopFlag_{false};
    std::atomic<bool> finished_{false};
    std::thread thread_;
};
