#include "Pdu.h"

namespace {

// The alphabet a data coding scheme selects (GSM 03.38 / 23.038).
enum class Alphabet { Gsm7, Octets };

Alphabet alphabetOf(uint8_t dcs)
{
    const int group = dcs >> 4;
    if (group <= 3) {
        if (dcs & 0x20) // compressed: the user data is counted in octets
            return Alphabet::Octets;
        const int a = (dcs >> 2) & 3;
        return (a == 1 || a == 2) ? Alphabet::Octets : Alphabet::Gsm7;
    }
    if (group == 0xE)
        return Alphabet::Octets; // message waiting, UCS-2
    if (group == 0xF)
        return (dcs & 0x04) ? Alphabet::Octets : Alphabet::Gsm7;
    return Alphabet::Gsm7; // 1100, 1101 and the reserved groups
}

} // namespace

int tpduLength(const std::vector<uint8_t> &pdu)
{
    if (pdu.empty())
        return -1;
    const size_t sca = pdu[0];
    if (sca > 11 || 1 + sca > pdu.size())
        return -1;
    return static_cast<int>(pdu.size() - 1 - sca);
}

bool isWholeSubmit(const std::vector<uint8_t> &pdu)
{
    if (tpduLength(pdu) < 0)
        return false;
    size_t at = 1 + pdu[0];
    auto have = [&](size_t n) { return pdu.size() >= at + n; };

    if (!have(3))
        return false;
    const uint8_t first = pdu[at];
    if ((first & 0x03) != 0x01)
        return false;
    const size_t daDigits = pdu[at + 2];
    if (daDigits > 20)
        return false;
    at += 3; // first octet, message reference, address length
    if (!have(1 + (daDigits + 1) / 2))
        return false;
    at += 1 + (daDigits + 1) / 2;

    if (!have(2))
        return false;
    const uint8_t dcs = pdu[at + 1];
    at += 2; // protocol identifier, coding scheme
    static const size_t vpOctets[4] = {0, 7, 1, 7};
    const size_t vp = vpOctets[(first >> 3) & 3];
    if (!have(vp + 1))
        return false;
    at += vp;

    const size_t udl = pdu[at++];
    size_t udOctets = udl;
    if (alphabetOf(dcs) == Alphabet::Gsm7) {
        if (udl > 160)
            return false;
        udOctets = (udl * 7 + 7) / 8;
    } else if (udl > 140) {
        return false;
    }
    return pdu.size() - at == udOctets;
}
