#include "codec/Numbers.h"

#include <gtest/gtest.h>

#include <string>

TEST(Numbers, ANumberFitsAnAddressOnlyWithAtMostTwentyDigitsInInternationalForm)
{
    struct Case {
        std::string number;
        bool valid, fits;
    };
    const Case cases[] = {
        {"13912345678", true, true},
        {" +8613912345678\r\n", true, true},
        {"8613912345678", true, true},            // "86" is not put in front again
        {std::string(18, '1'), true, true},       // "86" makes it 20
        {std::string(19, '1'), true, false},      // ... or 21
        {"+" + std::string(20, '4'), true, true}, // international: the digits as they are
        {"+" + std::string(21, '4'), true, false},
        {"\x01\t+" + std::string(20, '4'), true, true}, // what validNumber trims hides no "+"
        {std::string(200, '9'), true, false},
        {"abc", false, false},
        {"+86abc", false, false},
        {"139 1234 5678", false, false},
        {"", false, false},
        {"+", false, false},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(numbers::validNumber(c.number), c.valid) << c.number;
        EXPECT_EQ(numbers::fitsAddress(c.number), c.fits) << c.number;
    }
    EXPECT_EQ(numbers::internationalForm(std::string(19, '1')), "86" + std::string(19, '1')); // nothing cut
}
