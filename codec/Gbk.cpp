#include "codec/Gbk.h"

#include <cerrno>
#include <iconv.h>

namespace {

// One conversion with "?" in place of whatever the target cannot hold.
// glibc's iconv stops with EILSEQ on such input; we skip the offending
// source character (its UTF-8 length, or one byte of GBK) and go on.
std::string convert(const char *to, const char *from, std::string_view in, bool fromUtf8)
{
    std::string out;
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::string(in); // cannot happen with glibc's GBK table
    out.reserve(in.size() * 2);
    char *src = const_cast<char *>(in.data());
    size_t srcLeft = in.size();
    char buf[1024];
    while (srcLeft > 0) {
        char *dst = buf;
        size_t dstLeft = sizeof buf;
        size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buf, dst - buf);
        if (rc != static_cast<size_t>(-1))
            continue;
        if (errno == E2BIG)
            continue;
        // EILSEQ or EINVAL (truncated sequence at the end): replace one char.
        size_t skip = 1;
        if (fromUtf8) {
            unsigned char c = static_cast<unsigned char>(*src);
            if (c >= 0xF0)
                skip = 4;
            else if (c >= 0xE0)
                skip = 3;
            else if (c >= 0xC0)
                skip = 2;
            // never skip a valid-looking lead's missing continuation bytes
            for (size_t i = 1; i < skip; ++i) {
                if (i >= srcLeft || (static_cast<unsigned char>(src[i]) & 0xC0) != 0x80) {
                    skip = i;
                    break;
                }
            }
        }
        if (skip > srcLeft)
            skip = srcLeft;
        out.push_back('?');
        src += skip;
        srcLeft -= skip;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    iconv_close(cd);
    return out;
}

} // namespace

namespace gbk {

std::string fromUtf8(std::string_view utf8) { return convert("GBK", "UTF-8", utf8, true); }

std::string toUtf8(std::string_view gbkBytes) { return convert("UTF-8", "GBK", gbkBytes, false); }

std::size_t byteLength(std::string_view utf8) { return fromUtf8(utf8).size(); }

std::string_view headBytes(std::string_view gbkBytes, std::size_t maxBytes)
{
    if (maxBytes >= gbkBytes.size())
        return gbkBytes;
    // Walk characters from the start: a trail byte can look like a lead byte,
    // so the boundary is only known by scanning forward.
    std::size_t pos = 0;
    while (pos < maxBytes) {
        std::size_t width = isLeadByte(static_cast<unsigned char>(gbkBytes[pos])) ? 2 : 1;
        if (pos + width > maxBytes)
            break;
        pos += width;
    }
    return gbkBytes.substr(0, pos);
}

std::vector<std::string> splitBytes(std::string_view gbkBytes, std::size_t maxBytes)
{
    if (maxBytes < 2)
        maxBytes = 2;
    std::vector<std::string> pieces;
    while (!gbkBytes.empty()) {
        std::string_view head = headBytes(gbkBytes, maxBytes);
        pieces.emplace_back(head);
        gbkBytes.remove_prefix(head.size());
    }
    return pieces;
}

std::vector<std::string> splitUtf8(std::string_view utf8, std::size_t maxBytes)
{
    std::vector<std::string> pieces = splitBytes(fromUtf8(utf8), maxBytes);
    for (std::string &p : pieces)
        p = toUtf8(p);
    return pieces;
}

} // namespace gbk
