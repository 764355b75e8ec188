#pragma once

#include <QTemporaryDir>
#include <string>

// A fresh temporary folder made the current directory for one test: the
// system keeps its files (database, ini, queues, logs) in the current
// directory. The previous directory is restored on destruction.
class WorkDir {
public:
    WorkDir();
    ~WorkDir();
    WorkDir(const WorkDir &) = delete;
    WorkDir &operator=(const WorkDir &) = delete;

    std::string path() const;
    // Path of a file inside the folder.
    std::string file(const std::string &name) const;
    // Whole content of a file inside the folder ("" if missing).
    std::string read(const std::string &name) const;
    void write(const std::string &name, const std::string &bytes) const;

private:
    QTemporaryDir dir_;
    std::string previous_;
};
