#include "support/WorkDir.h"

#include <QDir>
#include <fstream>
#include <sstream>

WorkDir::WorkDir() : previous_(QDir::currentPath().toStdString()) { QDir::setCurrent(dir_.path()); }

WorkDir::~WorkDir() { QDir::setCurrent(QString::fromStdString(previous_)); }

std::string WorkDir::path() const { return dir_.path().toStdString(); }

std::string WorkDir::file(const std::string &name) const { return path() + "/" + name; }

std::string WorkDir::read(const std::string &name) const
{
    std::ifstream in(file(name), std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WorkDir::write(const std::string &name, const std::string &bytes) const
{
    std::ofstream(file(name), std::ios::binary | std::ios::trunc) << bytes;
}
