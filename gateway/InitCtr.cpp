// The controller base and the init controller (device search and set-up).

#include "gateway/Controllers.h"

#include "gateway/Channel.h"
#include "gateway/EngineClock.h"
#include "gateway/EngineGlobals.h"
#include "gateway/EngineReports.h"

#include <array>
#include <cstdint>

namespace {

constexpr std::array<TBaudRate, 8> kSearchRates = {br115200, br57600, br38400, br19200, br9600, br4800, br2400, br1200};

} // namespace

bool TSMSCtr::SendCmd()
{
    TSMSChannel *channel = Owner->Channel;
    channel->Monitor(Cmd);
    if (!channel->WritePort(Cmd))
        return false;
    Owner->ReplyWait = kReplyWaitTicks;
    Owner->BusyTicks = 0;
    return true;
}

void TSMSCtr::Start()
{
    State = csIdle;
    GetCmd();
    State = csWriting;
    SendCmd();
    State = csAwaiting;
}

bool TSMSCtr::IsOK(const std::string &line) { return line == "OK"; }

bool TSMSCtr::IsError(const std::string &line) { return line.find("ERROR") != std::string::npos; }

std::string TSMSInitCtr::GetCmd()
{
    Cmd = "AT+CNMI=1,1\r";
    return Cmd;
}

void TSMSInitCtr::WaitUnlocked(int ms, const std::function<bool()> &done)
{
    EngineUnlock unlock;
    const auto deadline = engineclock::Clock::now() + engineclock::scaled(ms);
    for (;;) {
        const std::uint64_t seen = engineclock::kicks();
        if (done) {
            EngineLock lock;
            if (done())
                return;
        }
        if (!engineclock::sleepUntil(deadline, seen))
            return;
    }
}

void TSMSInitCtr::Run()
{
    TSMSChannel *channel = Owner->Channel;
    // A late answer to an earlier set-up must not complete this one.
    State = csIdle;
    PhoneBookIndex.set(-1);
    // The modem may have been reset: nothing is known to be selected.
    Owner->SelectedStorage.clear();
    if (searched_)
        WaitUnlocked(1000);
    searched_ = true;
    engine::deviceState("正在查找短信设备...");
    SearchingDevice.set(true);
    std::size_t position = 0;
    while (SearchingDevice.get()) {
        if (channel->IsClosing()) {
            Owner->EndExchange();
            break;
        }
        if (engineclock::stopRequested())
            return;
        channel->TryRate(kSearchRates[position]);
        position = (position + 1) % kSearchRates.size();
        // The modem's "OK" ends the wait.
        WaitUnlocked(500, [] { return !SearchingDevice.get(); });
    }
    LineSeen = -1;
    State = csIdle;
    GetCmd();
    State = csWriting;
    SendCmd();
    WaitUnlocked(300);
    Cmd = "AT+CMGF=0\r";
    SendCmd();
    WaitUnlocked(300);
    Cmd = "AT+GSN\r";
    SendCmd();
    State = csAwaiting;
    // The main thread takes the replies meanwhile; the final one ends the wait.
    WaitUnlocked(500, [this] { return State != csAwaiting; });
}

void TSMSInitCtr::ProcessLine(const std::string &line)
{
    const bool ok = IsOK(line);
    if (ok && SearchingDevice.get()) {
        SearchingDevice.set(false);
        engineclock::kick();
    }
    if (State != csAwaiting)
        return;
    engine::deviceState("短信设备已经连接");
    // The first "OK" only proves the modem talks; the one after the
    // serial number completes the set-up.
    if (ok && LineSeen == 0) {
        engine::logLine("GSM模块初始化成功!");
        State = csSecondPhase;
        // Also when the answer came after Run stopped waiting for it.
        Owner->Ready = 1;
        Owner->SweepQueue = {"SM", "ME"};
        Owner->After(kInitDoneWaitMs, [this] { Owner->EndExchange(); });
        return;
    }
    if (IsError(line)) {
        State = csIdle;
        Owner->Ready = 0;
        engine::logLine("GSM模块初始化失败!");
        Owner->After(kInitFailedWaitMs, [this] { Owner->EndExchange(); });
        return;
    }
    if (!line.empty())
        LineSeen = 0;
}
