#include "support/FakeSmbclient.h"

#include <QFile>
#include <algorithm>
#include <sstream>

namespace {

const char Script[] = R"(#!/bin/sh
here=$(dirname "$0")
echo run >> "$here/runs"
printf '%s\n' "$@" > "$here/args"
cat > "$here/input"
case "$2" in
fail*) exit 1 ;;
hang*) exec sleep 60 ;;
esac
exit 0
)";

} // namespace

FakeSmbclient::FakeSmbclient() : path_(qgetenv("PATH"))
{
    QFile script(dir_.filePath("smbclient"));
    script.open(QIODevice::WriteOnly);
    script.write(Script);
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("PATH", dir_.path().toLocal8Bit() + ":/usr/bin:/bin");
}

FakeSmbclient::~FakeSmbclient() { qputenv("PATH", path_); }

std::string FakeSmbclient::read(const char *name) const
{
    QFile file(dir_.filePath(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
}

int FakeSmbclient::runs() const
{
    const std::string lines = read("runs");
    return int(std::count(lines.begin(), lines.end(), '\n'));
}

std::vector<std::string> FakeSmbclient::args() const
{
    std::vector<std::string> out;
    std::istringstream lines(read("args"));
    for (std::string line; std::getline(lines, line);)
        out.push_back(line);
    return out;
}

std::string FakeSmbclient::input() const { return read("input"); }

void FakeSmbclient::remove() { qputenv("PATH", dir_.path().toLocal8Bit() + "/none"); }
