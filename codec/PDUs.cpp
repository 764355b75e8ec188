#include "codec/PDUs.h"

#include "codec/Gbk.h"
#include "codec/Numbers.h"
#include "codec/PduText.h"

#include <algorithm>
#include <cstdio>

namespace {

const char kDigits[] = "0123456789ABCDEF";

unsigned nibble(char c)
{
    if (c >= '0' && c <= '9')
        return static_cast<unsigned>(c - '0');
    if (c >= 'A' && c <= 'F')
        return static_cast<unsigned>(c - 'A' + 10);
    if (c >= 'a' && c <= 'f')
        return static_cast<unsigned>(c - 'a' + 10);
    return 0;
}

// Reads octets off a hex text; past the end every octet is 0.
class HexReader {
public:
    explicit HexReader(std::string_view hex) : hex_(hex) {}

    std::uint8_t next()
    {
        std::uint8_t v = pos_ < hex_.size() ? HexToByte(hex_.substr(pos_)) : 0;
        pos_ += 2;
        return v;
    }

    // A time-stamp octet: two decimal digits, units first, modulo 256.
    std::uint8_t nextDecimal()
    {
        auto code = [&](std::size_t i) { return i < hex_.size() ? hex_[i] : '0'; };
        std::uint8_t v = 0;
        if (pos_ < hex_.size())
            v = static_cast<std::uint8_t>((code(pos_ + 1) - '0') * 10 + (code(pos_) - '0'));
        pos_ += 2;
        return v;
    }

    // Reads `claimed` octets and keeps the first that fit into `field`.
    template <std::size_t N> void into(std::array<std::uint8_t, N> &field, std::size_t claimed)
    {
        for (std::size_t i = 0; i < claimed; ++i) {
            std::uint8_t v = next();
            if (i < N)
                field[i] = v;
        }
    }

    void skip(std::size_t octets) { pos_ += 2 * octets; }

private:
    std::string_view hex_;
    std::size_t pos_ = 0; // bounded: at most a few hundred octets are claimed
};

// The address octets of number in its international form
// (internationalDigits). Returns the digit count.
std::size_t packNumber(std::string_view number, std::array<std::uint8_t, kAddressOctets> &out)
{
    const std::string digits = internationalDigits(number);
    out.fill(0);
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        unsigned low = static_cast<unsigned>(digits[i] - '0');
        unsigned high = i + 1 < digits.size() ? static_cast<unsigned>(digits[i + 1] - '0') : 0xF;
        out[i / 2] = static_cast<std::uint8_t>(high << 4 | low);
    }
    return digits.size();
}

void appendHex(std::string &out, std::span<const std::uint8_t> octets)
{
    for (std::uint8_t o : octets)
        out += ByteToHex(o);
}

std::size_t scaOctets(std::uint8_t scaLen)
{
    return std::min<std::size_t>(scaLen > 0 ? scaLen - 1u : 0u, kAddressOctets);
}

std::size_t numberOctets(std::uint8_t digits) { return std::min<std::size_t>((digits + 1u) / 2, kAddressOctets); }

// The octets of a hex text, for the whole-message checks: one past the end
// reads as 0.
class Octets {
public:
    explicit Octets(std::string_view hex) : hex_(hex) {}
    // Hex digits in pairs only, and a centre part of at most 11 octets.
    bool Plausible() const
    {
        return !hex_.empty() && hex_.size() % 2 == 0 &&
               hex_.find_first_not_of("0123456789ABCDEFabcdef") == std::string_view::npos &&
               at(0) <= kAddressOctets + 1;
    }
    std::size_t size() const { return hex_.size() / 2; }
    unsigned at(std::size_t i) const { return i < size() ? HexToByte(hex_.substr(2 * i)) : 0u; }

private:
    std::string_view hex_;
};

// SCALen, SCAType and SCA as both kinds read them. A length of 0 means the
// modem left the centre out: no type octet follows.
void readCentre(HexReader &in, TPDUs &pdu)
{
    const std::uint8_t claimed = in.next();
    if (claimed > 0) {
        pdu.SCAType = in.next();
        in.into(pdu.SCA, claimed - 1u);
    }
    pdu.SCALen = std::min<std::uint8_t>(claimed, kAddressOctets + 1);
}

} // namespace

std::string ByteToHex(std::uint8_t value) { return {kDigits[value >> 4], kDigits[value & 0xF]}; }

std::string internationalDigits(std::string_view number)
{
    static_assert(2 * kAddressOctets == numbers::kAddressDigits);
    return numbers::internationalForm(number).substr(0, numbers::kAddressDigits);
}

std::uint8_t HexToByte(std::string_view hex)
{
    unsigned high = hex.size() > 0 ? nibble(hex[0]) : 0;
    unsigned low = hex.size() > 1 ? nibble(hex[1]) : 0;
    return static_cast<std::uint8_t>(high << 4 | low);
}

std::string SwapPair(std::string_view s)
{
    if (s.size() < 2)
        return std::string(s);
    return {s[1], s[0]};
}

std::string addressText(std::uint8_t type, std::span<const std::uint8_t> octets, std::size_t digits)
{
    if ((type & 0x70) == 0x50)
        return gsm7ToUtf8(Decode7Bit(octets, digits * 4 / 7));
    std::string out = type == 0x91 ? "+" : "";
    for (std::uint8_t o : octets)
        for (unsigned n : {o & 0xFu, static_cast<unsigned>(o >> 4)})
            if (n < 15)
                out += std::to_string(n);
    return out;
}

// --- TPDUs ---------------------------------------------------------------

void TPDUs::SetSCA(std::string_view number)
{
    const std::size_t digits = packNumber(number, SCA);
    SCALen = static_cast<std::uint8_t>(1 + (digits + 1) / 2);
    SCAType = 0x91;
}

std::string TPDUs::GetSCA() const
{
    const std::size_t n = scaOctets(SCALen);
    return addressText(SCAType, std::span(SCA).first(n), 2 * n);
}

void TPDUs::SetUD(std::string_view utf8)
{
    std::u16string units = utf8ToUtf16(utf8);
    std::size_t keep = std::min(units.size(), kMaxTextUnits);
    if (keep > 0 && keep < units.size() && units[keep - 1] >= 0xD800 && units[keep - 1] <= 0xDBFF)
        --keep; // never keep half a surrogate pair
    UD.fill(0);
    for (std::size_t i = 0; i < keep; ++i) {
        UD[2 * i] = static_cast<std::uint8_t>(units[i] >> 8);
        UD[2 * i + 1] = static_cast<std::uint8_t>(units[i] & 0xFF);
    }
    UDL = static_cast<std::uint8_t>(2 * keep);
}

std::size_t TPDUs::userDataOctets(TextCoding coding) const
{
    if (coding == TextCoding::Gsm7)
        return std::min<std::size_t>((std::min<std::size_t>(UDL, kMaxSeptets) * 7 + 7) / 8, kUserDataOctets);
    return std::min<std::size_t>(UDL, kUserDataOctets);
}

std::size_t TPDUs::headerOctets(std::size_t present) const
{
    if ((FirstOctet & 0x40) == 0)
        return 0;
    if (present == 0)
        return std::string::npos;
    const std::size_t header = UD[0] + 1u;
    return header > present ? std::string::npos : header;
}

std::string TPDUs::ucs2Text() const
{
    const std::size_t present = userDataOctets(TextCoding::Ucs2);
    const std::size_t header = headerOctets(present);
    if (header == std::string::npos)
        return {};
    return ucs2ToUtf8(std::span(UD).subspan(header, present - header));
}

std::string TPDUs::GetUD() const
{
    const TextCoding coding = codingOf(DCS);
    switch (coding) {
    case TextCoding::Ucs2: return ucs2Text();
    case TextCoding::Octets: {
        const std::size_t present = userDataOctets(coding);
        const std::size_t header = headerOctets(present);
        if (header == std::string::npos)
            return {};
        // 8-bit text is in the system's code page, as in the queue files.
        return gbk::toUtf8(std::string_view(reinterpret_cast<const char *>(UD.data()) + header, present - header));
    }
    case TextCoding::Gsm7: {
        const std::size_t septets = std::min<std::size_t>(UDL, kMaxSeptets);
        const std::size_t header = headerOctets(userDataOctets(coding));
        if (header == std::string::npos)
            return {};
        // The header and its fill bits take whole septets.
        const std::size_t skip = std::min(septets, (header * 8 + 6) / 7);
        return gsm7ToUtf8(Decode7Bit(UD, septets).substr(skip));
    }
    case TextCoding::Unknown: break;
    }
    return {};
}

std::string TPDUs::GetWideUD() const { return ucs2Text(); }

// --- TPDUSend ------------------------------------------------------------

void TPDUSend::SetDA(std::string_view number)
{
    DALen = static_cast<std::uint8_t>(packNumber(number, DA));
    DAType = 0x91;
}

std::string TPDUSend::GetDA() const { return addressText(DAType, std::span(DA).first(numberOctets(DALen)), DALen); }

void TPDUSend::Encode()
{
    const std::uint8_t scaLen = std::min<std::uint8_t>(SCALen, kAddressOctets + 1);
    const std::uint8_t daLen = std::min<std::uint8_t>(DALen, 2 * kAddressOctets);
    const std::uint8_t udl = std::min<std::uint8_t>(UDL, kUserDataOctets);
    Text.clear();
    Text += ByteToHex(scaLen);
    if (scaLen > 0) {
        Text += ByteToHex(SCAType);
        appendHex(Text, std::span(SCA).first(scaOctets(scaLen)));
    }
    for (std::uint8_t o : {FirstOctet, MR, daLen, DAType})
        Text += ByteToHex(o);
    appendHex(Text, std::span(DA).first(numberOctets(daLen)));
    for (std::uint8_t o : {PID, DCS, VP, udl})
        Text += ByteToHex(o);
    appendHex(Text, std::span(UD).first(udl));
}

bool TPDUSend::IsWhole(std::string_view hex)
{
    const Octets octets(hex);
    if (!octets.Plausible())
        return false;
    const std::size_t first = 1 + octets.at(0); // FirstOctet, MR, DALen, DAType
    const unsigned fo = octets.at(first);
    const std::size_t digits = octets.at(first + 2);
    if ((fo & 0x03) != 0x01 || (fo & 0x18) != 0x10 || digits == 0 || digits > 2 * kAddressOctets)
        return false;
    const std::size_t udlAt = first + 4 + (digits + 1) / 2 + 3; // after PID, DCS, VP
    const std::size_t udl = octets.at(udlAt);
    return udl <= kUserDataOctets && octets.size() == udlAt + 1 + udl;
}

void TPDUSend::Decode(std::string_view hex)
{
    TPDUSend fresh;
    fresh.Text = std::move(Text);
    fresh.Tries = Tries;
    fresh.Unsettled = Unsettled;
    fresh.RetryAt = RetryAt;
    *this = std::move(fresh);

    HexReader in(hex);
    readCentre(in, *this);
    FirstOctet = in.next();
    MR = in.next();
    const std::uint8_t daLen = in.next();
    DAType = in.next();
    in.into(DA, (daLen + 1u) / 2);
    DALen = std::min<std::uint8_t>(daLen, 2 * kAddressOctets);
    PID = in.next();
    DCS = in.next();
    VP = in.next();
    const std::uint8_t udl = in.next();
    in.into(UD, udl);
    UDL = std::min<std::uint8_t>(udl, kUserDataOctets);
}

int TPDUSend::TPDULength() const
{
    const int scaLen = std::min<int>(SCALen, kAddressOctets + 1);
    return std::max(0, static_cast<int>(Text.size() / 2) - 1 - scaLen);
}

// --- TPDUGet -------------------------------------------------------------

std::string TPDUGet::GetOA() const { return addressText(OAType, std::span(OA).first(numberOctets(OALen)), OALen); }

std::string TPDUGet::GetSCTS() const
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%d-%d-%d %d:%d:%d:%d", SCTS[0], SCTS[1], SCTS[2], SCTS[3], SCTS[4], SCTS[5],
                  SCTS[6]);
    return buf;
}

bool TPDUGet::IsWhole(std::string_view hex)
{
    const Octets octets(hex);
    if (!octets.Plausible())
        return false;
    const std::size_t scaLen = octets.at(0);
    const unsigned fo = octets.at(1 + scaLen);
    const bool submit = (fo & 0x03) == 0x01;
    const std::size_t oaAt = 2 + scaLen + (submit ? 1 : 0);
    const std::size_t digits = octets.at(oaAt);
    if (digits > 2 * kAddressOctets)
        return false;
    const std::size_t dcsAt = oaAt + 2 + (digits + 1) / 2 + 1; // after the type, the address and PID
    std::size_t udlAt = dcsAt + 1 + 7;                         // the time stamp
    if (submit) {
        const unsigned format = (fo >> 3) & 3;
        udlAt = dcsAt + 1 + (format == 0 ? 0 : format == 2 ? 1 : 7);
    }
    const std::size_t udl = octets.at(udlAt);
    std::size_t data = udl;
    if (codingOf(static_cast<std::uint8_t>(octets.at(dcsAt))) == TextCoding::Gsm7) {
        if (udl > kMaxSeptets)
            return false;
        data = (udl * 7 + 7) / 8;
    }
    return data <= kUserDataOctets && octets.size() == udlAt + 1 + data;
}

void TPDUGet::Decode(std::string_view hex)
{
    if (hex.empty())
        return;
    *this = TPDUGet();
    Text = hex;

    HexReader in(hex);
    readCentre(in, *this);
    FirstOctet = in.next();
    const bool submit = (FirstOctet & 0x03) == 0x01;
    if (submit)
        in.skip(1); // message reference
    const std::uint8_t oaLen = in.next();
    OAType = in.next();
    in.into(OA, (oaLen + 1u) / 2);
    OALen = std::min<std::uint8_t>(oaLen, 2 * kAddressOctets);
    PID = in.next();
    DCS = in.next();
    if (submit) {
        // Validity period: none, relative (1 octet), or 7 octets.
        const unsigned format = (FirstOctet >> 3) & 3;
        in.skip(format == 0 ? 0 : format == 2 ? 1 : 7);
    } else {
        for (std::uint8_t &v : SCTS)
            v = in.nextDecimal();
    }
    UDL = in.next();
    if (UDL > kMaxSeptets)
        UDL = 0;
    const TextCoding coding = codingOf(DCS);
    if (coding != TextCoding::Gsm7)
        UDL = std::min<std::uint8_t>(UDL, kUserDataOctets);
    in.into(UD, userDataOctets(coding));
}
