// Bytes from the modem through the line builder: whatever comes, no line
// handed on holds a line end, lines past the limit are counted as dropped,
// and new-message notices queue only storage indices that are numbers.
#include "gateway/Channel.h"
#include "gateway/Controllers.h"
#include "gateway/EngineClock.h"
#include "gateway/EngineGlobals.h"
#include "tools/fuzz/FuzzCommon.h"

#include <cstdint>
#include <memory>
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
    ctr.ReadQueue.clear();
    ctr.DroppedLines = 0;
    ctr.LineGet->Line.clear();
    for (char c : bytes) {
        ctr.LineGet->PutChar(c);
        if (ctr.LineGet->Line.find_first_of("\r\n") != std::string::npos)
            fuzzFail("a line holds its line end", bytes);
    }
    if (ctr.DroppedLines < 0 || static_cast<std::size_t>(ctr.DroppedLines) > size / (kMaxLine + 1))
        fuzzFail("more lines dropped than could be too long", bytes);
    for (const std::string &index : ctr.ReadQueue)
        if (index.empty() || index.find_first_not_of("0123456789") != std::string::npos)
            fuzzFail("a storage index that is not a number", bytes);
    return 0;
}
