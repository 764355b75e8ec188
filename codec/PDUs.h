#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// SMS PDUs as the modem's PDU mode writes them: upper-case hex text, the
// service-centre address first, then an SMS-SUBMIT (TPDUSend) or an
// SMS-DELIVER (TPDUGet) laid out as GSM 03.40 says. Texts in and out are
// UTF-8; numbers are digit strings.
//
// Hostile input is safe: no field is read or written past its end, whatever
// the hex says. Length octets that claim more than a field holds move the
// reading on by the claimed amount, but only what fits is kept and the
// length field is cut to what the field holds (SCALen 11, DALen and OALen
// 20, UDL 140 octets or 160 septets). Octets past the end of the text read
// as 0; a last lone digit is the high nibble of its octet.
//
// No state is shared between objects; one object is not synchronised.

constexpr std::size_t kAddressOctets = 10;   // SCA, DA, OA: 20 digits
constexpr std::size_t kUserDataOctets = 140; // UD
constexpr std::size_t kMaxSeptets = 160;     // UDL of 7-bit text
constexpr std::size_t kMaxTextUnits = 70;    // UTF-16 units in one send

// The first 20 digits of a number's international form
// (numbers::internationalForm; numbers::fitsAddress says whether any is cut).
std::string internationalDigits(std::string_view number);

// The two upper-case hex digits of value, high nibble first.
std::string ByteToHex(std::uint8_t value);

// The value of the first two characters as hex digits, the first the high
// nibble. Lower-case a-f count as A-F; any other character counts as 0; a
// missing character counts as 0, so "" gives 0 and "A" gives 0xA0.
std::uint8_t HexToByte(std::string_view hex);

// The first two characters in reverse order; a shorter text unchanged.
std::string SwapPair(std::string_view s);

// Unpacks septets (GSM 03.38 packing, lowest bits first) into one character
// per septet, its code the septet's value 0..127: no alphabet is applied.
// Bits past the end of packed read as 0. The result has `septets` chars.
std::string Decode7Bit(std::span<const std::uint8_t> packed, std::size_t septets);

// GSM 03.38 default alphabet (one character per byte, as Decode7Bit gives)
// to UTF-8, the escape table included; an escape before an unknown code
// gives that code's own character, an escape at the end a blank.
std::string gsm7ToUtf8(std::string_view septets);

// UCS-2 octets, high byte first, to UTF-8. Surrogate pairs are joined; a
// lone surrogate becomes "?"; an odd last octet is left out.
std::string ucs2ToUtf8(std::span<const std::uint8_t> octets);

// The alphabet a data coding scheme names (GSM 03.38 coding groups; class
// and flag bits ignored). Compressed text and reserved values are Unknown.
enum class TextCoding { Gsm7, Octets, Ucs2, Unknown };
TextCoding codingOf(std::uint8_t dcs);

// Fields common to both kinds. A new object has every field 0 and no Text.
class TPDUs {
public:
    virtual ~TPDUs() = default;

    // Fields to Text.
    virtual void Encode() = 0;
    // Hex text to fields.
    virtual void Decode(std::string_view hex) = 0;

    // Service centre := number in international form (internationalDigits),
    // an international address (type 0x91).
    void SetSCA(std::string_view number);
    // "+" when the type is 0x91, then the digits (see addressText).
    std::string GetSCA() const;

    // UDL and UD := text in UCS-2, high byte first, at most 70 UTF-16 units
    // (the rest is dropped; a surrogate pair is never cut). Invalid UTF-8
    // becomes "?". DCS is left alone.
    void SetUD(std::string_view utf8);
    // The user data as text, decoded as DCS says (codingOf): UCS-2; 8-bit
    // data read as GBK; 7-bit with the default alphabet. Unknown codings
    // give "". With the user-data-header flag (0x40) of FirstOctet the
    // header is left out of the text; a header longer than the data gives "".
    std::string GetUD() const;
    // The same, read as UCS-2 whatever DCS says.
    std::string GetWideUD() const;

    std::string Text;
    std::uint8_t SCALen = 0; // octets of SCAType and SCA; 0: no centre part
    std::uint8_t SCAType = 0;
    std::array<std::uint8_t, kAddressOctets> SCA{};
    std::uint8_t FirstOctet = 0;
    std::uint8_t PID = 0;
    std::uint8_t DCS = 0;
    std::uint8_t UDL = 0; // octets, or septets for 7-bit text
    std::array<std::uint8_t, kUserDataOctets> UD{};

protected:
    TPDUs() = default;
    TPDUs(const TPDUs &) = default;
    TPDUs &operator=(const TPDUs &) = default;

    // Octets of user data present, as UDL and DCS say, at most 140.
    std::size_t userDataOctets(TextCoding coding) const;
    // Octets the user-data header takes (0 without one); npos when the
    // header claims more than the data holds.
    std::size_t headerOctets(std::size_t present) const;
    std::string ucs2Text() const;
};

// A number as text from an address: "+" when type is 0x91; then each octet's
// low and high nibble, each below 15 written in decimal (10 to 14 as two
// digits), the filler 15 left out. An alphanumeric address (type of number
// 5) is read as 7-bit text of digits * 4 / 7 characters instead.
std::string addressText(std::uint8_t type, std::span<const std::uint8_t> octets, std::size_t digits);

// A message to send (SMS-SUBMIT).
class TPDUSend final : public TPDUs {
public:
    // Destination := number in international form (as SetSCA); DALen counts
    // its digits.
    void SetDA(std::string_view number);
    std::string GetDA() const;

    // Text := SCALen, SCAType, SCA, FirstOctet, MR, DALen, DAType, DA, PID,
    // DCS, VP, UDL, UD. SCALen 0 writes no type octet.
    void Encode() override;
    // Reads the same layout (an empty text reads all 0). Text, Tries,
    // Unsettled and RetryAt are kept; UDL counts octets whatever DCS says.
    void Decode(std::string_view hex) override;

    // True when hex is one whole SMS-SUBMIT in the layout Encode writes:
    // hex octets only, a centre part of at most 11 octets, a first octet of
    // type SUBMIT with a relative validity period, 1 to 20 destination
    // digits, at most 140 octets of user data, and exactly as many octets as
    // the length fields claim.
    static bool IsWhole(std::string_view hex);

    // Octets after the service-centre part, for "AT+CMGS="; valid after
    // Encode: Text.size() / 2 - 1 - SCALen, never below 0.
    int TPDULength() const;

    std::uint8_t MR = 0;
    std::uint8_t DALen = 0; // digits, filler not counted
    std::uint8_t DAType = 0;
    std::array<std::uint8_t, kAddressOctets> DA{};
    std::uint8_t VP = 0;
    std::uint8_t Tries = 0; // attempts the network refused; not part of the PDU
    // Attempts whose PDU the modem took but whose answer never came (the
    // device dropped, or the network stayed silent): the message may have
    // gone. Not part of the PDU.
    std::uint8_t Unsettled = 0;
    // No attempt before this time (the scheduler's spacing of the attempts
    // of a refused message); not part of the PDU.
    std::chrono::steady_clock::time_point RetryAt{};
};

// A received message. Its Text is the hex it was decoded from.
class TPDUGet final : public TPDUs {
public:
    std::string GetOA() const;
    // "year-month-day hour:minute:second:zone", plain decimal numbers.
    std::string GetSCTS() const;

    // A received message is never encoded: Text stays as decoded.
    void Encode() override {}
    // An empty text changes nothing. Otherwise Text := hex and every field
    // is read afresh (fields the layout lacks become 0). First octets of
    // message type SUBMIT (a sent message lying in the modem's storage) read
    // the destination into OA and skip MR and VP; every other first octet
    // reads as a DELIVER. Time-stamp octets are decimal, units first. UDL
    // above 160 is 0.
    void Decode(std::string_view hex) override;

    // True when hex is one whole message in the layout Decode reads: hex
    // octets only, a centre part of at most 11 octets, at most 20 address
    // digits, user data within 140 octets (160 septets of 7-bit text), and
    // exactly as many octets as the length fields claim. A text cut short
    // is never whole.
    static bool IsWhole(std::string_view hex);

    std::uint8_t OALen = 0; // digits
    std::uint8_t OAType = 0;
    std::array<std::uint8_t, kAddressOctets> OA{};
    std::array<std::uint8_t, 7> SCTS{}; // yy mm dd hh mm ss zone, decimal
};
