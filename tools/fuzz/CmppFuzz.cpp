// Chunks on the command port: whatever a client writes, the commands found
// cover the chunk in order, their fields stay in bounds, a number the send
// path takes has an international form of digits, and the interpreter runs
// every command without throwing or crashing.
#include "codec/Numbers.h"
#include "codec/PDUs.h"
#include "gateway/CmppServer.h"
#include "tools/fuzz/FuzzCommon.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace {

bool trimmedText(std::string_view s)
{
    return s.empty() || (static_cast<unsigned char>(s.front()) > ' ' && static_cast<unsigned char>(s.back()) > ' ');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string chunk(reinterpret_cast<const char *>(data), size);
    const auto commands = cmpp::splitCommands(chunk);
    if (commands.empty() != !chunk.starts_with(cmpp::kPrefix))
        fuzzFail("commands found in a chunk that is not one, or none in one", chunk);
    const char *next = chunk.data();
    for (std::size_t i = 0; i < commands.size(); ++i) {
        const std::string_view c = commands[i];
        if (c.data() != next || !c.starts_with(cmpp::kPrefix))
            fuzzFail("commands do not follow each other from the chunk's start", chunk);
        next += c.size();
        if (i > 0 && cmpp::wordOf(c) == cmpp::TWord::None)
            fuzzFail("a command split off without a command word", chunk);
        if (cmpp::wordOf(c) != cmpp::TWord::Send)
            continue;
        const auto f = cmpp::sendFields(c);
        if (!f)
            continue;
        if (f->ud.size() > 160 || !trimmedText(f->sca) || !trimmedText(f->da) || !trimmedText(f->ud))
            fuzzFail("SEND field not trimmed or too long", chunk);
        if (numbers::validNumber(f->da)) {
            const std::string digits = internationalDigits(f->da);
            if (digits.empty() || digits.size() > 20 || digits.find_first_not_of("0123456789") != std::string::npos)
                fuzzFail("a valid number without an international form", chunk);
        }
    }
    if (next != chunk.data() + chunk.size() && !commands.empty())
        fuzzFail("commands do not reach the chunk's end", chunk);

    // No gateway behind it: every command runs its parsing and reports to
    // nobody, and nothing may escape.
    TEasyLinkCtr interpreter;
    interpreter.DoCommand(chunk, nullptr);
    return 0;
}
