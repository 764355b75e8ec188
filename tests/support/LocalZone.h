#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <ctime>

// The process's local time zone set to a POSIX TZ rule for one scope, and
// the former one put back afterwards. Needs no zone database.
class LocalZone {
public:
    explicit LocalZone(const char *rule) : had_(qEnvironmentVariableIsSet("TZ")), was_(qgetenv("TZ"))
    {
        qputenv("TZ", rule);
        tzset();
    }
    ~LocalZone()
    {
        if (had_)
            qputenv("TZ", was_);
        else
            qunsetenv("TZ");
        tzset();
    }
    LocalZone(const LocalZone &) = delete;
    LocalZone &operator=(const LocalZone &) = delete;

    // Eight hours ahead of UTC, with clocks that jump from midnight to one
    // o'clock on the first Sunday of June (2024-06-02 00:00 never happens),
    // as China's did in some years.
    static constexpr const char *MidnightGap = "XST-8XDT,M6.1.0/0,M9.1.0/0";

private:
    bool had_;
    QByteArray was_;
};
