#pragma once

#include <algorithm>
#include <vector>

// The median and the worst of a benchmark's runs, in milliseconds.
struct Times {
    double median = 0, worst = 0;
};

inline Times summary(std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms.back()};
}
