#include "gateway/SmsLog.h"

#include "codec/Gbk.h"

#include <cstdio>
#include <mutex>

namespace smslog {

bool append(const std::string &line)
{
    static std::mutex fileMutex;
    try {
        const std::string bytes = gbk::fromUtf8(line) + "\r\n";
        std::lock_guard lock(fileMutex);
        std::FILE *f = std::fopen(kFileName, "ab");
        if (!f)
            return false;
        const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
        return (std::fclose(f) == 0) && written;
    } catch (...) {
        return false;
    }
}

} // namespace smslog
