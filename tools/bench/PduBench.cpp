// Encode and decode speed of the PDU codec: one send per queued message and
// one decode per received message, plus the queue files reloaded at start.
#include "codec/PDUs.h"
#include "gateway/CmppServer.h"
#include "tests/support/PduPieces.h"
#include "tests/support/Repeat.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

void BM_EncodeChineseSend(benchmark::State &state)
{
    const std::string text = repeat("澜星信使", 25); // cut to 70 characters
    for (auto _ : state) {
        auto pdu = TEasyLinkCtr::MakeSendPdu("13800100500", "13912345678", text);
        pdu->Encode();
        benchmark::DoNotOptimize(pdu->Text.data());
    }
}
BENCHMARK(BM_EncodeChineseSend);

void BM_DecodeSendQueueLine(benchmark::State &state)
{
    TPDUSend src;
    src.SetSCA("13800100500");
    src.SetDA("13912345678");
    src.SetUD(repeat("信", 70));
    src.Encode();
    for (auto _ : state) {
        TPDUSend pdu;
        pdu.Decode(src.Text);
        pdu.Encode();
        benchmark::DoNotOptimize(pdu.Text.data());
    }
}
BENCHMARK(BM_DecodeSendQueueLine);

// A received message of the given coding and user data, decoded and read
// out as the receive path does.
void decodeDeliver(benchmark::State &state, const std::string &dcs, const std::string &udl, const std::string &ud)
{
    const std::string hex = kCentre + "04" + kNumber + "00" + dcs + kStamp + udl + ud;
    for (auto _ : state) {
        TPDUGet pdu;
        pdu.Decode(hex);
        std::string oa = pdu.GetOA(), text = pdu.GetUD(), ts = pdu.GetSCTS();
        benchmark::DoNotOptimize(text.data());
    }
}

void BM_DecodeUcs2Deliver(benchmark::State &state) { decodeDeliver(state, "08", "8C", repeat("4E2D", 70)); }
BENCHMARK(BM_DecodeUcs2Deliver);

void BM_DecodeSevenBitDeliver(benchmark::State &state) { decodeDeliver(state, "00", "A0", repeat("E8329BFD06", 28)); }
BENCHMARK(BM_DecodeSevenBitDeliver);

// 8-bit text goes through iconv.
void BM_DecodeEightBitDeliver(benchmark::State &state) { decodeDeliver(state, "04", "8C", repeat("D6D0", 70)); }
BENCHMARK(BM_DecodeEightBitDeliver);

} // namespace

BENCHMARK_MAIN();
