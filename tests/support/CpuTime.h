#pragma once

#include <sys/resource.h>

// The process's CPU time so far, user and system, in seconds: all its
// threads together. Header only, for tests and benchmarks alike.
inline double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}
