// Send-queue lines ("SendBuf.TXT") are decoded and encoded again before each
// attempt: whatever a line holds, the fields stay bounded and the encoded
// text is a fixed point of decode + encode.
#include "codec/PDUs.h"
#include "tools/fuzz/FuzzCommon.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string hex(reinterpret_cast<const char *>(data), size);
    TPDUSend pdu;
    pdu.Decode(hex);
    if (pdu.SCALen > 11 || pdu.DALen > 20 || pdu.UDL > 140)
        fuzzFail("length field past its bound", hex);
    for (const std::string &s : {pdu.GetSCA(), pdu.GetDA(), pdu.GetUD(), pdu.GetWideUD()})
        if (!validUtf8(s))
            fuzzFail("invalid UTF-8 out", hex);

    pdu.Encode();
    const std::string once = pdu.Text;
    if (once.size() % 2 != 0 || once.find_first_not_of("0123456789ABCDEF") != std::string::npos)
        fuzzFail("encoded text is not upper-case hex octets", hex);
    if (pdu.TPDULength() < 0 || pdu.TPDULength() > 158)
        fuzzFail("TPDU length out of range", hex);
    TPDUSend back;
    back.Decode(once);
    back.Encode();
    if (back.Text != once)
        fuzzFail("decode + encode is not stable", hex);

    // The same bytes as a text to send must also encode within bounds.
    TPDUSend text;
    text.SetSCA(hex);
    text.SetDA(hex);
    text.SetUD(hex);
    text.Encode();
    if (text.UDL > 140 || text.DALen > 20 || text.SCALen > 11 || !validUtf8(text.GetWideUD()))
        fuzzFail("set functions past their bounds", hex);
    return 0;
}
