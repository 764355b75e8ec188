#pragma once

#include <cstddef>
#include <string>

// A pseudo-terminal pair standing in for a serial device: the code under test
// opens slavePath(); the test plays the device on the master side. The slave
// starts in raw mode, and the helper keeps a slave descriptor of its own, so
// the master never reads EIO while the code under test closes and reopens.
class PtyPair {
public:
    PtyPair(); // throws std::runtime_error when no pty can be made
    ~PtyPair();
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    const std::string &slavePath() const { return path_; }
    // The device side's descriptor (non-blocking), for a simulator's own poll loop; -1 once closed.
    int masterFd() const { return master_; }

    // Writes every byte to the master; throws when the pty takes nothing for 10 s.
    void write(const std::string &bytes);
    // Reads from the master until count bytes came or timeoutMs passed
    // without a byte; returns what came.
    std::string read(std::size_t count, int timeoutMs = 5000);
    // What the master can read at once.
    std::string readAvailable();

    // The device disappears: the slave side is hung up.
    void closeMaster();

    // The slave's line settings as the kernel holds them.
    struct LineSettings {
        unsigned baud;
        int dataBits;
        char parity; // 'N', 'O', 'E', 'M', 'S'
        int stopBits;
        bool rtsCts;
        bool xonOut; // IXON
        bool xonIn;  // IXOFF
    };
    LineSettings lineSettings() const;
    // Sets the line speed from outside the code under test (a standard rate).
    void setBaud(unsigned baud);

private:
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
};
