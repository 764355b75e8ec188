// "SendBuf.TXT" texts: whatever a file holds, its lines split without line
// ends, and a line taken as a whole SMS-SUBMIT is sent again exactly as it
// stands (decoded and encoded, it is the same line) and passes the modem's
// own length check.
#include "codec/PDUs.h"
#include "gateway/QueueFiles.h"
#include "tools/fuzz/FuzzCommon.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char *>(data), size);
    const std::vector<std::string> lines = queuefiles::splitLines(bytes);
    const std::size_t ends = static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n'));
    if (lines.size() != ends + (bytes.empty() || bytes.back() == '\n' ? 0 : 1))
        fuzzFail("lines miscounted", bytes);
    for (const std::string &line : lines) {
        if (line.find('\n') != std::string::npos)
            fuzzFail("a line holds a line end", bytes);
        if (!TPDUSend::IsWhole(line))
            continue;
        TPDUSend pdu;
        pdu.Decode(line);
        pdu.Encode();
        std::string upper = line;
        std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
        if (pdu.Text != upper)
            fuzzFail("a whole line is not sent as it stands", line);
        const int centre = 2 * (1 + (line.size() >= 2 ? std::stoi(line.substr(0, 2), nullptr, 16) : 0));
        if (pdu.TPDULength() != static_cast<int>(line.size() - centre) / 2 || pdu.TPDULength() < 1)
            fuzzFail("the length for AT+CMGS does not match the line", line);
    }
    return 0;
}
