#include "gateway/SmsLog.h"

#include "codec/Gbk.h"
#include "gateway/EngineReports.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace smslog {

bool append(const std::string &line)
{
    static std::mutex fileMutex;
    static bool failing = false; // said once, until a line goes in again
    std::string why;
    {
        std::lock_guard lock(fileMutex);
        try {
            const std::string bytes = gbk::fromUtf8(line) + "\r\n";
            std::FILE *f = std::fopen(kFileName, "ab");
            if (f) {
                const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
                if (std::fclose(f) == 0 && written) {
                    failing = false;
                    return true;
                }
            }
            why = std::strerror(errno);
        } catch (...) {
            why = "?";
        }
        if (failing)
            return false;
        failing = true;
    }
    engine::logLine(std::string("日志文件") + kFileName + "无法写入（" + why + "）");
    return false;
}

} // namespace smslog
