// Bytes from the modem through the line builder: whatever comes, no line
// handed on holds a line end, lines past the limit are counted as dropped,
// and a new-message notice is noted whole, naming a storage the engine
// knows (or none) and an index that is a number, never a negative one.
#include "gateway/Channel.h"
#include "gateway/Controllers.h"
#include "gateway/EngineClock.h"
#include "gateway/EngineGlobals.h"
#include "tools/fuzz/FuzzCommon.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace {

// A channel without a port: its commands go nowhere.
TChannelCtr &scheduler()
{
    static TSMSChannel *channel = [] {
        engineclock::setScale(1e-6); // the prompt's wait
        auto *c = new TSMSChannel;
        c->Number = 1;
        c->ChannelCtr = std::make_unique<TChannelCtr>();
        c->ChannelCtr->Channel = c;
        c->ChannelCtr->Init();
        return c;
    }();
    return *channel->ChannelCtr;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char *>(data), size);
    TChannelCtr &ctr = scheduler();
    EngineLock lock;
    ctr.Current = nullptr;
    ctr.Notices.clear();
    ctr.DroppedLines = 0;
    ctr.LineGet->Line.clear();
    for (char c : bytes) {
        ctr.LineGet->PutChar(c);
        if (ctr.LineGet->Line.find_first_of("\r\n") != std::string::npos)
            fuzzFail("a line holds its line end", bytes);
    }
    if (ctr.DroppedLines < 0 || static_cast<std::size_t>(ctr.DroppedLines) > size / (kMaxLine + 1))
        fuzzFail("more lines dropped than could be too long", bytes);
    for (const std::string &notice : ctr.Notices) {
        if (notice.find("+CMTI:") == std::string::npos || notice.find_first_of("\r\n") != std::string::npos)
            fuzzFail("a notice that is not one whole notice line", bytes);
        const std::string storage = TSMSCmtictr::StorageOf(notice);
        if (!storage.empty() && storage != "SM" && storage != "ME")
            fuzzFail("a notice naming a storage the engine does not know", bytes);
        if (const std::optional<int> index = TSMSCmtictr::IndexOf(notice); index && *index < 0)
            fuzzFail("a negative storage index", bytes);
    }
    return 0;
}
