// Received PDU texts: whatever the modem or a queue file holds, decoding and
// every read-out stay inside the fields and hand out valid UTF-8.
#include "codec/PDUs.h"
#include "tools/fuzz/FuzzCommon.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string hex(reinterpret_cast<const char *>(data), size);
    TPDUGet pdu;
    pdu.Decode(hex);
    if (!hex.empty() && pdu.Text != hex)
        fuzzFail("Text is not the decoded text", hex);
    if (pdu.SCALen > 11 || pdu.OALen > 20 || pdu.UDL > 160)
        fuzzFail("length field past its bound", hex);
    for (const std::string &s : {pdu.GetSCA(), pdu.GetOA(), pdu.GetUD(), pdu.GetWideUD(), pdu.GetSCTS()})
        if (!validUtf8(s))
            fuzzFail("invalid UTF-8 out", hex);

    // The receive controller reuses one object: decoding the second half of
    // the input after the first must give what a fresh object gives.
    const std::string first = hex.substr(0, hex.size() / 2);
    const std::string second = hex.substr(hex.size() / 2);
    TPDUGet reused;
    reused.Decode(first);
    reused.Decode(second);
    TPDUGet fresh;
    fresh.Decode(second);
    if (reused.GetUD() != fresh.GetUD() || reused.GetSCTS() != fresh.GetSCTS() || reused.GetOA() != fresh.GetOA() ||
        reused.GetSCA() != fresh.GetSCA())
        fuzzFail("state carried over between decodes", hex);
    return 0;
}
