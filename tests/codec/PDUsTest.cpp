#include "codec/PDUs.h"
#include "support/PduPieces.h"
#include "support/Repeat.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TPDUGet received(const std::string &hex)
{
    TPDUGet pdu;
    pdu.Decode(hex);
    return pdu;
}

} // namespace

TEST(PduHex, DigitsPairsAndBadCharacters)
{
    EXPECT_EQ(ByteToHex(0x05), "05");
    EXPECT_EQ(ByteToHex(0xA8), "A8");
    EXPECT_EQ(ByteToHex(0xFF), "FF");
    EXPECT_EQ(HexToByte("A8"), 0xA8);
    EXPECT_EQ(HexToByte("a8"), 0xA8);
    EXPECT_EQ(HexToByte("F5XYZ"), 0xF5); // only the first two count
    EXPECT_EQ(HexToByte(""), 0);
    EXPECT_EQ(HexToByte("7"), 0x70);  // a lone digit is the high nibble
    EXPECT_EQ(HexToByte("G1"), 0x01); // not a hex digit: 0
    EXPECT_EQ(HexToByte(" \n"), 0);
    EXPECT_EQ(SwapPair("F5"), "5F");
    EXPECT_EQ(SwapPair("8621"), "68");
    EXPECT_EQ(SwapPair("1"), "1");
    EXPECT_EQ(SwapPair(""), "");
}

TEST(PduText, SevenBitUnpacking)
{
    const std::uint8_t hello[] = {0xE8, 0x32, 0x9B, 0xFD, 0x06};
    EXPECT_EQ(Decode7Bit(hello, 5), "hello");
    // Eight septets fill seven octets exactly; the eighth is the top bits.
    const std::uint8_t eight[] = {0xE8, 0x32, 0x9B, 0xFD, 0x46, 0x97, 0xD9};
    EXPECT_EQ(Decode7Bit(eight, 8), "hellohel");
    // Septets past the data read as 0 and no alphabet is applied.
    EXPECT_EQ(Decode7Bit(hello, 7), std::string("hello\0\0", 7));
    EXPECT_EQ(Decode7Bit({}, 2), std::string(2, '\0'));
    EXPECT_EQ(Decode7Bit(hello, 0), "");
}

TEST(PduText, GsmAlphabetAndEscapes)
{
    EXPECT_EQ(gsm7ToUtf8(std::string("\x00\x01\x02\x11 Hi", 7)), "@£$_ Hi");
    EXPECT_EQ(gsm7ToUtf8("\x1B\x65\x1B\x28\x1B\x29\x1B\x3C\x1B\x3E"), "€{}[]");
    EXPECT_EQ(gsm7ToUtf8("\x1B"
                         "A"),
              "A");                         // unknown escape: the plain character
    EXPECT_EQ(gsm7ToUtf8("ab\x1B"), "ab "); // escape at the end: a blank
    EXPECT_EQ(gsm7ToUtf8("\x10\x7F"), "Δà");
    EXPECT_EQ(gsm7ToUtf8("\xC1"), "A"); // the eighth bit is not part of a septet
}

TEST(PduText, Ucs2Units)
{
    const std::uint8_t text[] = {0x6F, 0x9C, 0x00, 0x41, 0xD8, 0x3D, 0xDE, 0x00, 0x7F};
    EXPECT_EQ(ucs2ToUtf8(text), "澜A😀"); // pair joined, odd octet left out
    const std::uint8_t lone[] = {0xD8, 0x3D, 0x00, 0x41, 0xDE, 0x00};
    EXPECT_EQ(ucs2ToUtf8(lone), "?A?");
}

TEST(PduText, CodingGroupsIgnoreClassBits)
{
    EXPECT_EQ(codingOf(0x00), TextCoding::Gsm7);
    EXPECT_EQ(codingOf(0x04), TextCoding::Octets);
    EXPECT_EQ(codingOf(0x08), TextCoding::Ucs2);
    EXPECT_EQ(codingOf(0x18), TextCoding::Ucs2);    // class 0 ("flash")
    EXPECT_EQ(codingOf(0x11), TextCoding::Gsm7);    // class 1
    EXPECT_EQ(codingOf(0x16), TextCoding::Octets);  // class 2
    EXPECT_EQ(codingOf(0x48), TextCoding::Ucs2);    // automatic deletion group
    EXPECT_EQ(codingOf(0x28), TextCoding::Unknown); // compressed
    EXPECT_EQ(codingOf(0x0C), TextCoding::Unknown); // reserved alphabet
    EXPECT_EQ(codingOf(0x80), TextCoding::Unknown); // reserved group
    EXPECT_EQ(codingOf(0xC8), TextCoding::Gsm7);    // message waiting
    EXPECT_EQ(codingOf(0xE0), TextCoding::Ucs2);
    EXPECT_EQ(codingOf(0xF0), TextCoding::Gsm7);
    EXPECT_EQ(codingOf(0xF6), TextCoding::Octets);
}

TEST(PduSend, ShortestMessageEncodesToKnownOctets)
{
    TPDUSend pdu;
    pdu.SetSCA("5");
    EXPECT_EQ(pdu.SCALen, 3);
    EXPECT_EQ(pdu.SCAType, 0x91);
    EXPECT_EQ(pdu.SCA[0], 0x68);
    EXPECT_EQ(pdu.SCA[1], 0xF5);
    pdu.FirstOctet = 0x11;
    pdu.MR = 0;
    pdu.SetDA("12");
    EXPECT_EQ(pdu.DALen, 4); // even: no filler
    EXPECT_EQ(pdu.DAType, 0x91);
    EXPECT_EQ(pdu.DA[0], 0x68);
    EXPECT_EQ(pdu.DA[1], 0x21);
    pdu.PID = 0;
    pdu.DCS = 8;
    pdu.VP = 0xA8;
    pdu.SetUD("A");
    EXPECT_EQ(pdu.UDL, 2);
    pdu.Encode();
    EXPECT_EQ(pdu.Text, "039168F51100049168210008A8020041");
    EXPECT_EQ(pdu.TPDULength(), 12);
    EXPECT_EQ(pdu.GetSCA(), "+865");
    EXPECT_EQ(pdu.GetDA(), "+8612");
    EXPECT_EQ(pdu.GetUD(), "A");
}

TEST(PduSend, EverydayMessageWithElevenDigitNumbers)
{
    TPDUSend pdu;
    pdu.SetSCA("13800100500");
    pdu.FirstOctet = 0x11;
    pdu.SetDA("13912345678");
    pdu.DCS = 8;
    pdu.VP = 0xA8;
    pdu.SetUD("你好");
    pdu.Encode();
    EXPECT_EQ(pdu.SCALen, 8);
    EXPECT_EQ(pdu.DALen, 13); // odd: the last octet carries the filler
    EXPECT_EQ(pdu.Text, kCentre + "1100" + kNumber + "0008A8044F60597D");
    EXPECT_EQ(pdu.Text.substr(pdu.Text.size() - 18, 2), "F8");
    EXPECT_EQ(pdu.TPDULength(), static_cast<int>(pdu.Text.size() / 2) - 9);
    EXPECT_EQ(pdu.GetSCA(), "+8613800100500");
    EXPECT_EQ(pdu.GetDA(), "+8613912345678");
    EXPECT_EQ(pdu.GetWideUD(), "你好");
}

TEST(PduSend, NumbersKeepOnlyDigitsAndAtMostEighteen)
{
    TPDUSend pdu;
    pdu.SetDA("139-1234 5678");
    EXPECT_EQ(pdu.GetDA(), "+8613912345678");
    pdu.SetDA("1234567890123456789012"); // 22 digits: the first 18 count
    EXPECT_EQ(pdu.DALen, 20);
    EXPECT_EQ(pdu.GetDA(), "+86123456789012345678");
    pdu.SetDA("");
    EXPECT_EQ(pdu.DALen, 2);
    EXPECT_EQ(pdu.GetDA(), "+86");
    pdu.SetSCA("abc");
    EXPECT_EQ(pdu.SCALen, 2);
    EXPECT_EQ(pdu.GetSCA(), "+86");
    pdu.SetSCA("123456789012345678999");
    EXPECT_EQ(pdu.SCALen, 11);
    pdu.Encode();
    EXPECT_EQ(pdu.Text.substr(0, 24), "0B9168214365870921436587");
}

TEST(PduSend, ACountryCodeGivenWithTheNumberIsNotDoubled)
{
    const std::pair<const char *, const char *> cases[] = {
        {"13912345678", "+8613912345678"},
        {"+8613912345678", "+8613912345678"},
        {"8613912345678", "+8613912345678"},
        {" +86 139 1234 5678", "+8613912345678"},
        {"+447700900123", "+447700900123"},
        {"861391234567", "+86861391234567"},   // not "86" and eleven digits
        {"8623912345678", "+868623912345678"}, // eleven digits, but not a mobile number
        {"1+44", "+86144"},                    // "+" only in front
        {"+", "+86"},
        {"+123456789012345678901234", "+12345678901234567890"},
    };
    for (const auto &[number, address] : cases) {
        TPDUSend pdu;
        pdu.SetDA(number);
        pdu.SetSCA(number);
        EXPECT_EQ(pdu.GetDA(), address) << number;
        EXPECT_EQ(pdu.GetSCA(), address) << number;
    }
}

TEST(PduSend, AddressTextRules)
{
    TPDUSend pdu;
    pdu.SetSCA("13800100500");
    pdu.SCAType = 0x81; // not international: no "+"
    EXPECT_EQ(pdu.GetSCA(), "8613800100500");
    pdu.SCA[1] = 0xA1; // a semi-octet of 10 is written as two digits
    EXPECT_EQ(pdu.GetSCA(), "86110800100500");
    pdu.SCALen = 200; // never read past the field
    EXPECT_EQ(pdu.GetSCA(), "86110800100500000000");
}

TEST(PduSend, TextIsCutToSeventyUnitsWithoutSplittingPairs)
{
    TPDUSend pdu;
    pdu.DCS = 0x55;
    pdu.SetUD(repeat("信", 100));
    EXPECT_EQ(pdu.UDL, 140);
    EXPECT_EQ(pdu.DCS, 0x55); // left alone
    EXPECT_EQ(pdu.GetWideUD(), repeat("信", 70));

    pdu.SetUD(repeat("中", 69) + "😀"); // the pair would be cut: it goes whole
    EXPECT_EQ(pdu.UDL, 138);
    pdu.SetUD(repeat("中", 68) + "😀x");
    EXPECT_EQ(pdu.UDL, 140);
    EXPECT_EQ(pdu.GetWideUD(), repeat("中", 68) + "😀");

    pdu.SetUD("a\xFF"
              "b\xE4\xB8"); // broken UTF-8 becomes "?"
    EXPECT_EQ(pdu.GetWideUD(), "a?b?");
    pdu.SetUD(repeat("z", 200));
    EXPECT_EQ(pdu.UDL, 140);
    pdu.SetUD("");
    EXPECT_EQ(pdu.UDL, 0);
    EXPECT_EQ(pdu.GetWideUD(), "");
}

TEST(PduSend, DecodeReadsWhatEncodeWrote)
{
    TPDUSend out;
    out.SetSCA("13800100500");
    out.FirstOctet = 0x11;
    out.SetDA("15012345678");
    out.DCS = 8;
    out.VP = 0xA8;
    out.SetUD("澜星信使 SMS!");
    out.Encode();

    TPDUSend back;
    back.Tries = 3;
    back.Text = "kept";
    back.Decode(out.Text);
    EXPECT_EQ(back.Text, "kept"); // Decode does not set Text
    EXPECT_EQ(back.Tries, 3);     // nor the attempt count
    EXPECT_EQ(back.GetSCA(), "+8613800100500");
    EXPECT_EQ(back.GetDA(), "+8615012345678");
    EXPECT_EQ(back.GetUD(), "澜星信使 SMS!");
    EXPECT_EQ(back.VP, 0xA8);
    back.Encode();
    EXPECT_EQ(back.Text, out.Text);
    EXPECT_EQ(back.TPDULength(), out.TPDULength());
}

TEST(PduSend, EmptyOrHostileTextDecodesWithinTheFields)
{
    TPDUSend pdu;
    pdu.SetSCA("13800100500");
    pdu.SetDA("13912345678");
    pdu.SetUD("abc");
    pdu.Decode("");
    EXPECT_EQ(pdu.SCALen, 0);
    EXPECT_EQ(pdu.DALen, 0);
    EXPECT_EQ(pdu.UDL, 0);
    EXPECT_EQ(pdu.DA[0], 0);
    pdu.Encode();
    EXPECT_EQ(pdu.Text, "000000000000000000"); // no centre part: no type octet
    EXPECT_EQ(pdu.TPDULength(), 8);

    // Every length at its largest: the fields are cut, the re-encoded text
    // is consistent with them and decodes to itself.
    pdu.Decode("FF91" + repeat("31", 300));
    EXPECT_EQ(pdu.SCALen, 11);
    pdu.Decode("0011"
               "00"
               "FF91" +
               repeat("21", 128) +
               "0008A8"
               "FF" +
               repeat("4E2D", 200));
    EXPECT_EQ(pdu.DALen, 20);
    EXPECT_EQ(pdu.UDL, 140);
    EXPECT_EQ(pdu.GetUD(), repeat("中", 70));
    pdu.Encode();
    const std::string once = pdu.Text;
    pdu.Decode(once);
    pdu.Encode();
    EXPECT_EQ(pdu.Text, once);
    EXPECT_EQ(pdu.TPDULength(), 1 + 1 + 1 + 1 + 10 + 4 + 140);
}

TEST(PduGet, SevenBitDeliverWithEveryField)
{
    TPDUGet pdu = received(kCentre + "04" + kNumber + "0000" + kStamp + "05E8329BFD06");
    EXPECT_EQ(pdu.SCALen, 8);
    EXPECT_EQ(pdu.GetSCA(), "+8613800100500");
    EXPECT_EQ(pdu.FirstOctet, 0x04);
    EXPECT_EQ(pdu.OALen, 13);
    EXPECT_EQ(pdu.OAType, 0x91);
    EXPECT_EQ(pdu.GetOA(), "+8613912345678");
    EXPECT_EQ(pdu.PID, 0);
    EXPECT_EQ(pdu.DCS, 0);
    EXPECT_EQ(pdu.GetSCTS(), "12-5-3 14:7:9:32");
    EXPECT_EQ(pdu.UDL, 5);
    EXPECT_EQ(pdu.GetUD(), "hello");
    EXPECT_EQ(pdu.Text, kCentre + "04" + kNumber + "0000" + kStamp + "05E8329BFD06");

    // Eight septets in seven octets; the GSM alphabet and its escapes.
    EXPECT_EQ(received(kCentre + "04" + kNumber + "0000" + kStamp + "08E8329BFD4697D9").GetUD(), "hellohel");
    EXPECT_EQ(received(kCentre + "04" + kNumber + "0000" + kStamp + "050041645306").GetUD(), "@$_€");
}

TEST(PduGet, UcsTwoAndEightBitDeliver)
{
    TPDUGet pdu = received(kCentre + "24" + kNumber + "0008" + kStamp + "086F9C661F4FE14F7F");
    EXPECT_EQ(pdu.GetUD(), "澜星信使");
    EXPECT_EQ(pdu.GetWideUD(), "澜星信使");

    // 8-bit data is text in the system's code page.
    pdu = received(kCentre + "04" + kNumber + "0004" + kStamp + "05D6D0CEC441");
    EXPECT_EQ(pdu.GetUD(), "中文A");
    EXPECT_EQ(pdu.GetWideUD(), "훐컄"); // the same octets read as UCS-2
    EXPECT_EQ(received(kCentre + "04" + kNumber + "0008" + kStamp + "034F6000").GetUD(), "你");
}

TEST(PduGet, SendersOfEveryShape)
{
    // Service number of odd length, national type: no "+", no filler.
    EXPECT_EQ(received(kCentre +
                       "04"
                       "05A10180F6"
                       "0008" +
                       kStamp + "00")
                  .GetOA(),
              "10086");
    // Alphanumeric sender "Google" (11 semi-octets of packed 7-bit text).
    EXPECT_EQ(received(kCentre +
                       "04"
                       "0BD0C7F7FBCC2E03"
                       "0000" +
                       kStamp + "00")
                  .GetOA(),
              "Google");
    // No service centre in the PDU: the length 00 has no type octet.
    TPDUGet pdu = received("00"
                           "04" +
                           kNumber + "0000" + kStamp + "05E8329BFD06");
    EXPECT_EQ(pdu.SCALen, 0);
    EXPECT_EQ(pdu.GetSCA(), "");
    EXPECT_EQ(pdu.GetOA(), "+8613912345678");
    EXPECT_EQ(pdu.GetUD(), "hello");
}

TEST(PduGet, ConcatenatedPartsShowTheirTextOnly)
{
    // UCS-2 part 1 of 2 with a 6-octet header.
    TPDUGet pdu = received(kCentre + "44" + kNumber + "0008" + kStamp + "0A050003A702014F60597D");
    EXPECT_EQ(pdu.UDL, 10);
    EXPECT_EQ(pdu.GetUD(), "你好");
    // 7-bit: the header and one fill bit take seven septets.
    EXPECT_EQ(received(kCentre + "40" + kNumber + "0000" + kStamp + "09050003A70201D069").GetUD(), "hi");
    // A header longer than the data gives no text at all.
    EXPECT_EQ(received(kCentre + "44" + kNumber + "0008" + kStamp + "0408AAAAAA").GetUD(), "");
    EXPECT_EQ(received(kCentre + "44" + kNumber + "0008" + kStamp + "00").GetUD(), "");
}

TEST(PduGet, StoredSubmitReadsItsDestination)
{
    // Our own message as it would lie in the modem's sent storage.
    TPDUGet pdu = received(kCentre + "1100" + kNumber + "0008A8044F60597D");
    EXPECT_EQ(pdu.GetOA(), "+8613912345678");
    EXPECT_EQ(pdu.GetUD(), "你好");

    // First octet 0x51: relative validity and a user-data header. The time
    // stamp is absent, so it reads 0 and not the previous message's.
    pdu = received(kCentre + "04" + kNumber + "0000" + kStamp + "05E8329BFD06");
    pdu.Decode(kCentre + "5100" + kNumber +
               "0008A7"
               "0B"
               "06080412340201"
               "4F60597D");
    EXPECT_EQ(pdu.GetOA(), "+8613912345678");
    EXPECT_EQ(pdu.GetSCTS(), "0-0-0 0:0:0:0");
    EXPECT_EQ(pdu.GetUD(), "你好");
    // Without a validity period (first octet 0x01) nothing is skipped.
    EXPECT_EQ(received("00"
                       "0100"
                       "0491"
                       "6821"
                       "0000"
                       "02"
                       "C834")
                  .GetUD(),
              "Hi");
}

TEST(PduGet, LengthAndCodingLimits)
{
    const std::string head = kCentre + "04" + kNumber;
    TPDUGet pdu = received(head + "0008" + kStamp + "A1" + repeat("4E2D", 80));
    EXPECT_EQ(pdu.UDL, 0); // above 160
    EXPECT_EQ(pdu.GetUD(), "");
    pdu = received(head + "0008" + kStamp + "A0" + repeat("4E2D", 80));
    EXPECT_EQ(pdu.UDL, 140); // 160 octets do not fit: 140 are kept
    EXPECT_EQ(pdu.GetUD(), repeat("中", 70));
    pdu = received(head + "0000" + kStamp + "A0" + repeat("00", 140));
    EXPECT_EQ(pdu.UDL, 160); // 160 septets fill 140 octets
    EXPECT_EQ(pdu.GetUD(), repeat("@", 160));
    EXPECT_EQ(received(head + "0018" + kStamp + "024F60").GetUD(), "你"); // flash message
    EXPECT_EQ(received(head + "002C" + kStamp + "024F60").GetUD(), "");   // compressed
    EXPECT_EQ(received(head + "000C" + kStamp + "024F60").GetUD(), "");   // reserved
}

TEST(PduGet, TimeStampDigitsAreReadAsWritten)
{
    const std::string head = kCentre + "04" + kNumber + "0000";
    EXPECT_EQ(received(head + "99121332595980" + "00").GetSCTS(), "99-21-31 23:95:95:8");
    // Not digits: the arithmetic of the character codes, modulo 256.
    EXPECT_EQ(received(head + "FF0000000000"
                              "8A"
                              "00")
                  .GetSCTS(),
              "242-0-0 0:0:0:178");
}

TEST(PduGet, EmptyTextLeavesEverythingAndOtherTextsRefreshEverything)
{
    TPDUGet pdu = received(kCentre + "04" + kNumber + "0008" + kStamp + "024F60");
    pdu.Decode("");
    EXPECT_EQ(pdu.Text, kCentre + "04" + kNumber + "0008" + kStamp + "024F60");
    EXPECT_EQ(pdu.GetUD(), "你");

    pdu.Decode("00");
    EXPECT_EQ(pdu.Text, "00");
    EXPECT_EQ(pdu.GetOA(), "");
    EXPECT_EQ(pdu.GetUD(), "");
    EXPECT_EQ(pdu.GetSCTS(), "0-0-0 0:0:0:0");
    EXPECT_EQ(pdu.UD[0], 0);
}

TEST(PduGet, MalformedTextsReadAsDefined)
{
    const std::string good = kCentre + "04" + kNumber + "0008" + kStamp + "044F60597D";
    // Cut short: missing octets read as 0.
    EXPECT_EQ(received(good.substr(0, good.size() - 4)).GetUD(), std::string("你\0", 4));
    // Odd length: the lone last digit is a high nibble (7 -> 0x70, "p").
    EXPECT_EQ(received(kCentre + "04" + kNumber + "0008" + kStamp + "02007").GetUD(), "p");
    // Lower case reads like upper case; Text keeps what was given.
    std::string lower = good;
    for (char &c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    TPDUGet pdu = received(lower);
    EXPECT_EQ(pdu.GetUD(), "你好");
    EXPECT_EQ(pdu.GetOA(), "+8613912345678");
    EXPECT_EQ(pdu.Text, lower);
    // Garbage reads as zero nibbles.
    pdu = received("ZZ-not hex at all!");
    EXPECT_EQ(pdu.SCALen, 0);
    EXPECT_EQ(pdu.GetUD(), "");
    // An address claiming 255 digits keeps 20 and reads on past its claim.
    pdu = received(kCentre +
                   "04"
                   "FF91" +
                   repeat("21", 128) + "0008" + kStamp + "024F60");
    EXPECT_EQ(pdu.OALen, 20);
    EXPECT_EQ(pdu.GetOA(), "+12121212121212121212");
    EXPECT_EQ(pdu.GetUD(), "你");
    // A centre claiming 255 octets.
    pdu = received("FF91" + repeat("11", 254) + "04" + kNumber + "0008" + kStamp + "024F60");
    EXPECT_EQ(pdu.SCALen, 11);
    EXPECT_EQ(pdu.GetSCA(), "+11111111111111111111");
    EXPECT_EQ(pdu.GetOA(), "+8613912345678");
}

TEST(PduGet, WholeOnlyWhenEveryOctetTheLayoutClaimsIsThereAndNoMore)
{
    const std::string deliver = kCentre + "04" + kNumber + "0008" + kStamp + "044F60597D";
    const std::string whole[] = {
        deliver,
        kCentre + "04" + kNumber + "0000" + kStamp + "05E8329BFD06", // 7-bit: 5 septets in 5 octets
        kCentre + "04" + kNumber + "0000" + kStamp + "08E8329BFD4697D9",
        kCentre + "04" + kNumber + "0004" + kStamp + "05D6D0CEC441",
        "0004" + kNumber + "0000" + kStamp + "05E8329BFD06",          // no centre
        kCentre + "04" + "0BD0C7F7FBCC2E03" + "0000" + kStamp + "00", // alphanumeric sender, no text
        kCentre + "1100" + kNumber + "0008A8044F60597D",              // a stored submit, relative validity
        kCentre + "5100" + kNumber + "0008A70B060804123402014F60597D",
        "00010004916821000002C834", // a submit without validity period
        kCentre + "04" + kNumber + "0000" + kStamp + "A0" + repeat("00", 140),
    };
    for (const std::string &hex : whole) {
        EXPECT_TRUE(TPDUGet::IsWhole(hex)) << hex;
        std::string lower = hex;
        for (char &c : lower)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        EXPECT_TRUE(TPDUGet::IsWhole(lower)) << lower;
        // A line cut short anywhere is never a message.
        for (std::size_t n = 0; n < hex.size(); ++n)
            EXPECT_FALSE(TPDUGet::IsWhole(hex.substr(0, n))) << hex << " cut to " << n;
        EXPECT_FALSE(TPDUGet::IsWhole(hex + "00")) << hex;
    }
    const std::string broken[] = {
        deliver.substr(0, 10) + "G" + deliver.substr(11),                       // not hex
        deliver + " ",                                                          // a blank is no hex digit
        "0C91" + repeat("11", 11) + "04" + kNumber + "0008" + kStamp + "00",    // a centre of 12 octets
        kCentre + "04" + "1591" + repeat("21", 11) + "0008" + kStamp + "00",    // 21 digits
        kCentre + "04" + kNumber + "0008" + kStamp + "8E" + repeat("4E2D", 71), // 142 octets
        kCentre + "04" + kNumber + "0000" + kStamp + "A1" + repeat("00", 141),  // 161 septets
    };
    for (const std::string &hex : broken)
        EXPECT_FALSE(TPDUGet::IsWhole(hex)) << hex;
}
