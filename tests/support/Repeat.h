#pragma once

#include <string>
#include <string_view>

// s written n times in a row ("" for n <= 0). Header only, so that the
// benchmarks can use it without the test harness.
inline std::string repeat(std::string_view s, int n)
{
    std::string out;
    for (int i = 0; i < n; ++i)
        out += s;
    return out;
}
