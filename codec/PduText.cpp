// Text conversions of the PDU codec: 7-bit packing and the GSM default
// alphabet, UCS-2, and the DCS coding groups.
#include "codec/PDUs.h"

#include "codec/PduText.h"

namespace {

// GSM 03.38 default alphabet; 0x1B is the escape to the table below.
// clang-format off
const char *const kGsm7[128] = {
    "@", "£", "$", "¥", "è", "é", "ù", "ì", "ò", "Ç", "\n", "Ø", "ø", "\r", "Å", "å",
    "Δ", "_", "Φ", "Γ", "Λ", "Ω", "Π", "Ψ", "Σ", "Θ", "Ξ", " ", "Æ", "æ", "ß", "É",
    " ", "!", "\"", "#", "¤", "%", "&", "'", "(", ")", "*", "+", ",", "-", ".", "/",
    "0", "1", "2", "3", "4", "5", "6", "7", "8", "9", ":", ";", "<", "=", ">", "?",
    "¡", "A", "B", "C", "D", "E", "F", "G", "H", "I", "J", "K", "L", "M", "N", "O",
    "P", "Q", "R", "S", "T", "U", "V", "W", "X", "Y", "Z", "Ä", "Ö", "Ñ", "Ü", "§",
    "¿", "a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k", "l", "m", "n", "o",
    "p", "q", "r", "s", "t", "u", "v", "w", "x", "y", "z", "ä", "ö", "ñ", "ü", "à",
};
// clang-format on

const char *escaped(unsigned char code)
{
    switch (code) {
    case 0x0A: return "\f";
    case 0x14: return "^";
    case 0x28: return "{";
    case 0x29: return "}";
    case 0x2F: return "\\";
    case 0x3C: return "[";
    case 0x3D: return "~";
    case 0x3E: return "]";
    case 0x40: return "|";
    case 0x65: return "€";
    default: return nullptr;
    }
}

bool isSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }

} // namespace

void appendUtf8(std::string &out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::u16string utf8ToUtf16(std::string_view utf8)
{
    std::u16string out;
    std::size_t i = 0;
    while (i < utf8.size()) {
        const unsigned char lead = static_cast<unsigned char>(utf8[i]);
        std::size_t need = lead < 0x80 ? 0 : lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 9;
        char32_t c = need == 0 ? lead : need == 1 ? (lead & 0x1F) : need == 2 ? (lead & 0x0F) : (lead & 0x07);
        std::size_t used = 1;
        bool ok = need != 9 && lead < 0xF8;
        for (; ok && used <= need; ++used) {
            if (i + used >= utf8.size() || (static_cast<unsigned char>(utf8[i + used]) & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            c = (c << 6) | (static_cast<unsigned char>(utf8[i + used]) & 0x3F);
        }
        static constexpr char32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
        if (ok && (c < kLeast[need] || c > 0x10FFFF || isSurrogate(c)))
            ok = false;
        if (!ok) {
            out += u'?'; // one mark for the lead and its valid continuations
            i += used;
            continue;
        }
        i += used;
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

std::string Decode7Bit(std::span<const std::uint8_t> packed, std::size_t septets)
{
    auto octet = [&](std::size_t j) -> unsigned { return j < packed.size() ? packed[j] : 0; };
    std::string out(septets, '\0');
    for (std::size_t k = 0; k < septets; ++k) {
        const std::size_t bit = 7 * k;
        const unsigned shift = bit % 8;
        unsigned v = octet(bit / 8) >> shift;
        if (shift > 1)
            v |= octet(bit / 8 + 1) << (8 - shift);
        out[k] = static_cast<char>(v & 0x7F);
    }
    return out;
}

std::string gsm7ToUtf8(std::string_view septets)
{
    std::string out;
    out.reserve(septets.size() * 2);
    for (std::size_t i = 0; i < septets.size(); ++i) {
        const unsigned char code = static_cast<unsigned char>(septets[i]) & 0x7F;
        if (code != 0x1B) {
            out += kGsm7[code];
            continue;
        }
        if (i + 1 == septets.size()) {
            out += ' ';
            break;
        }
        const unsigned char next = static_cast<unsigned char>(septets[++i]) & 0x7F;
        const char *ext = escaped(next);
        out += ext ? ext : kGsm7[next];
    }
    return out;
}

std::string ucs2ToUtf8(std::span<const std::uint8_t> octets)
{
    std::string out;
    const std::size_t units = octets.size() / 2;
    auto unit = [&](std::size_t k) -> char16_t {
        return static_cast<char16_t>(octets[2 * k] << 8 | octets[2 * k + 1]);
    };
    for (std::size_t k = 0; k < units; ++k) {
        const char16_t u = unit(k);
        if (u >= 0xD800 && u <= 0xDBFF && k + 1 < units) {
            const char16_t low = unit(k + 1);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                appendUtf8(out, 0x10000 + ((char32_t(u) - 0xD800) << 10) + (low - 0xDC00));
                ++k;
                continue;
            }
        }
        if (isSurrogate(u))
            out += '?';
        else
            appendUtf8(out, u);
    }
    return out;
}

TextCoding codingOf(std::uint8_t dcs)
{
    if ((dcs & 0x80) == 0) { // general data coding (and automatic deletion)
        if (dcs & 0x20)
            return TextCoding::Unknown; // compressed
        switch ((dcs >> 2) & 3) {
        case 0: return TextCoding::Gsm7;
        case 1: return TextCoding::Octets;
        case 2: return TextCoding::Ucs2;
        default: return TextCoding::Unknown;
        }
    }
    switch (dcs >> 4) {
    case 0xC:
    case 0xD: return TextCoding::Gsm7; // message waiting
    case 0xE: return TextCoding::Ucs2;
    case 0xF: return (dcs & 0x04) ? TextCoding::Octets : TextCoding::Gsm7;
    default: return TextCoding::Unknown; // reserved groups
    }
}
