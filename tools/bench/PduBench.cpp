// Encode and decode speed of the PDU codec: one send per queued message and
// one decode per received message, plus the queue files reloaded at start.
#include "gateway/PDUs.h"
#include "tests/support/PduPieces.h"
#include "tests/support/Repeat.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

void BM_EncodeChineseSend(benchmark::State &state)
{
    const std::string text = repeat("澜星信使", 25); // cut to 70 characters
    for (auto _ : state) {
        TPDUSend pdu;
        pdu.SetSCA("13800100500");
        pdu.FirstOctet = 0x11;
        pdu.SetDA("13912345678");
        pdu.DCS = 8;
        pdu.VP = 0xA8;
        pdu.SetUD(text);
        pdu.Encode();
        benchmark::DoNotOptimize(pdu.Text.data());
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

void BM_DecodeUcs2Deliver(benchmark::State &state)
{
    const std::string hex = kCentre + "04" + kNumber + "0008" + kStamp + "8C" + repeat("4E2D", 70);
    for (auto _ : state) {
        TPDUGet pdu;
        pdu.Decode(hex);
        std::string oa = pdu.GetOA(), ud = pdu.GetUD(), ts = pdu.GetSCTS();
        benchmark::DoNotOptimize(ud.data());
    }
}
BENCHMARK(BM_DecodeUcs2Deliver);

void BM_DecodeSevenBitDeliver(benchmark::State &state)
{
    const std::string hex = kCentre + "04" + kNumber + "0000" + kStamp + "A0" + repeat("E8329BFD06", 28);
    for (auto _ : state) {
        TPDUGet pdu;
        pdu.Decode(hex);
        std::string ud = pdu.GetUD();
        benchmark::DoNotOptimize(ud.data());
    }
}
BENCHMARK(BM_DecodeSevenBitDeliver);

void BM_DecodeEightBitDeliver(benchmark::State &state)
{
    const std::string hex = kCentre + "04" + kNumber + "0004" + kStamp + "8C" + repeat("D6D0", 70);
    for (auto _ : state) {
        TPDUGet pdu;
        pdu.Decode(hex);
        std::string ud = pdu.GetUD(); // through iconv
        benchmark::DoNotOptimize(ud.data());
    }
}
BENCHMARK(BM_DecodeEightBitDeliver);

} // namespace

BENCHMARK_MAIN();
