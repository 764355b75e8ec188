#pragma once

#include <gtest/gtest.h>
#include <string>

// "Suite.Name" of the test running now; "(no test)" between tests.
inline std::string currentTestName()
{
    const ::testing::TestInfo *info = ::testing::UnitTest::GetInstance()->current_test_info();
    if (!info)
        return "(no test)";
    return std::string(info->test_suite_name()) + "." + info->name();
}
