#pragma once

#include <QTemporaryDir>
#include <string>
#include <vector>

// A stand-in for Samba's smbclient, first on PATH for one test (PATH is
// restored when the object goes): a shell script that records each run's
// arguments and standard input, then ends by the recipient it was given
// (the argument after -M): a name starting with "fail" exits 1, one
// starting with "hang" sleeps for a minute, any other exits 0.
class FakeSmbclient {
public:
    FakeSmbclient();
    ~FakeSmbclient();
    FakeSmbclient(const FakeSmbclient &) = delete;
    FakeSmbclient &operator=(const FakeSmbclient &) = delete;

    int runs() const;                      // how often it was started
    std::vector<std::string> args() const; // of the last run
    std::string input() const;             // what the last run read
    // Leaves PATH with no smbclient at all.
    void remove();

private:
    std::string read(const char *name) const;

    QTemporaryDir dir_;
    QByteArray path_;
};
