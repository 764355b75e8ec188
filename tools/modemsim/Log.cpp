#include "Log.h"

#include "Hex.h"

#include <chrono>
#include <ctime>

namespace {

std::string timestamp()
{
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t secs = system_clock::to_time_t(now);
    const auto micros = duration_cast<microseconds>(now.time_since_epoch()).count() % 1000000;
    std::tm tm{};
    localtime_r(&secs, &tm);
    char buf[48];
    const size_t n = std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%S", &tm);
    std::snprintf(buf + n, sizeof buf - n, ".%06lld", static_cast<long long>(micros));
    return buf;
}

} // namespace

Log::~Log()
{
    if (file_)
        std::fclose(file_);
}

bool Log::open(const std::string &path)
{
    file_ = std::fopen(path.c_str(), "w");
    return file_ != nullptr;
}

void Log::bytes(const char *tag, unsigned speed, std::string_view data)
{
    line(tag, std::to_string(speed) + " " + escapeBytes(data));
}

void Log::line(const char *tag, const std::string &rest)
{
    if (!file_)
        return;
    std::fprintf(file_, "%s %s %s\n", timestamp().c_str(), tag, rest.c_str());
    std::fflush(file_);
}
