// The scheduler tick, the line builder and the routing of reply lines.

#include "gateway/Channel.h"

#include "gateway/Controllers.h"
#include "gateway/EngineClock.h"
#include "gateway/EngineGlobals.h"
#include "gateway/EngineReports.h"
#include "gateway/SmsLog.h"

TChannelCtr::TChannelCtr() = default;
TChannelCtr::~TChannelCtr() = default;

void TChannelCtr::Init()
{
    Ready = 0;
    ReplyWait = 0;
    IdleTicks = 0;
    BusyTicks = 0;
    CmtiCtr = std::make_unique<TSMSCmtictr>(this);
    ClccCtr = std::make_unique<TClccCtr>(this);
    DialCtr = std::make_unique<TDialCtr>(this);
    CpbrCtr = std::make_unique<TCpbrCtr>(this);
    InitCtr = std::make_unique<TSMSInitCtr>(this);
    DelCtr = std::make_unique<TSMSDelCtr>(this);
    RecvCtr = std::make_unique<TSMSRecvCtr>(this);
    RecvCtr->Init();
    SendCtr = std::make_unique<TSMSSendCtr>(this);
    SendCtr->Init();
    LineGet = std::make_unique<TLineGet>();
    LineGet->Owner = this;
    // Messages left in the modem by an earlier run are read first, as if
    // five notices had named them.
    ReadQueue = {"1", "2", "3", "4", "5"};
    Current = nullptr;
}

void TChannelCtr::Drive()
{
    EngineLock lock;
    if (Ready == 0) {
        Current = InitCtr.get();
        InitCtr->Run();
        if (InitCtr->State == 3)
            Ready = 1;
        return;
    }
    if (Current == nullptr) {
        if (Channel->IsClosing())
            return;
        if (StartNext())
            return;
    }
    CountTimeouts();
}

bool TChannelCtr::StartNext()
{
    if (!ReadQueue.empty()) {
        Current = RecvCtr.get();
        RecvCtr->Index = std::stoi(ReadQueue.front());
        ReadQueue.pop_front();
        RecvCtr->Start();
        return true;
    }
    if (std::string number = DialNumber.get(); !number.empty()) {
        Current = DialCtr.get();
        DialCtr->Number = number;
        DialCtr->GetCmd();
        DialCtr->SendCmd();
        DialNumber.set(std::string());
        return true;
    }
    if (int index = PhoneBookIndex.get(); index > -1) {
        Current = CpbrCtr.get();
        CpbrCtr->Index = index;
        CpbrCtr->GetCmd();
        CpbrCtr->SendCmd();
        ++index;
        PhoneBookIndex.set(index > kLastPhoneBookIndex ? -1 : index);
        return true;
    }
    if (!Channel->SendQueue.empty()) {
        TPDUSend *head = Channel->SendQueue.front().get();
        if (head->Tries > 3) {
            DropHead();
            return true;
        }
        Current = SendCtr.get();
        SendCtr->PDU = head;
        ++head->Tries;
        SendCtr->Start();
        return true;
    }
    return false;
}

void TChannelCtr::DropHead()
{
    // Tried four times: given up, but not without a word.
    const std::unique_ptr<TPDUSend> &head = Channel->SendQueue.front();
    const std::string line = enginetext::droppedLine(*head);
    engine::logLine(line);
    smslog::append(line);
    SendCtr->Forget(head.get());
    Channel->SendQueue.pop_front();
    Channel->QueuesChanged();
}

void TChannelCtr::CountTimeouts()
{
    if (ReplyWait > 0) {
        if (--ReplyWait == 0) {
            // No byte since the last write: search the modem again.
            Channel->CancelPrompt();
            Ready = 0;
            Current = nullptr;
        }
        return;
    }
    if (Current == nullptr) {
        if (++IdleTicks > kKeepAliveTicks) {
            // Without a memo record. A failed write counts as written, so
            // that a device that went away is searched again.
            Channel->WritePort("AT\r");
            IdleTicks = 0;
            ReplyWait = kReplyWaitTicks;
        }
        return;
    }
    if (++BusyTicks > kBusyLimitTicks) {
        Channel->CancelPrompt();
        Ready = 0;
        Current = nullptr;
        BusyTicks = 0;
    }
}

void TChannelCtr::AddReadIndex(int index)
{
    EngineLock lock;
    ReadQueue.push_back(std::to_string(index));
}

void TChannelCtr::DispatchLine(const std::string &line)
{
    if (line.find("+CMTI:") != std::string::npos) {
        Current = CmtiCtr.get();
        CmtiCtr->ProcessLine(line);
        return;
    }
    if (Current)
        Current->ProcessLine(line);
}

void TChannelCtr::CommData(TCustomComm *, std::uint32_t Received)
{
    EngineLock lock;
    // The search is closing or opening the port on the drive thread.
    if (Channel->PortBusy)
        return;
    ReplyWait = 0;
    std::string bytes;
    try {
        Channel->Comm->ReadString(bytes, Received);
    } catch (const EDeviceError &) {
        return;
    }
    for (char c : bytes)
        LineGet->PutChar(c);
}

void TChannelCtr::TypedLine(const std::string &line)
{
    EngineLock lock;
    Channel->Monitor(line + "\r");
    for (char c : line)
        LineGet->PutChar(c);
    LineGet->PutChar('\n');
}

void TLineGet::PutChar(char c)
{
    switch (c) {
    case '\n':
        LineDone();
        Line.clear();
        break;
    case '>':
        // The send prompt has no line end: it is a line at once.
        Line.assign(1, '>');
        engineclock::sleep(200);
        LineDone();
        Line.clear();
        break;
    case '\r': break;
    default: Line += c;
    }
}

void TLineGet::LineDone()
{
    if (Line.size() > kMaxLine) {
        ++Owner->DroppedLines;
        return;
    }
    Owner->ReplyWait = 0;
    const std::string line = Line;
    Owner->DispatchLine(line);
}
