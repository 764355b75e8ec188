// The scheduler tick, the line builder and the routing of reply lines.

#include "gateway/Channel.h"

#include "gateway/Controllers.h"
#include "gateway/EngineClock.h"
#include "gateway/EngineGlobals.h"
#include "gateway/EngineReports.h"
#include "gateway/EngineStore.h"
#include "gateway/SmsLog.h"

#include <algorithm>

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
    ListCtr = std::make_unique<TSMSListCtr>(this);
    LineGet = std::make_unique<TLineGet>();
    LineGet->Owner = this;
    PendingWrites = std::make_unique<TPendingWrites>();
    // Messages left in the modem are found by the sweep after every
    // initialisation.
    ReadQueue.clear();
    Current = nullptr;
}

void TChannelCtr::Drive()
{
    EngineLock lock;
    if (step_)
        return;
    // A device that went away answers nothing more: whatever was awaited
    // from it, it is searched for at once.
    if (Channel->PortFailed())
        GiveUp();
    if (Ready == 0) {
        // A set-up whose last answer is late (a busy main thread) is waited
        // for as any exchange is, not given up for a new search at once.
        if (Current == InitCtr.get() && InitCtr->State == TSMSCtr::csAwaiting) {
            CountTimeouts();
            return;
        }
        Current = InitCtr.get();
        InitCtr->Run();
        if (InitCtr->State == TSMSCtr::csSecondPhase)
            Ready = 1;
        return;
    }
    if (Current == nullptr) {
        if (Channel->IsClosing())
            return;
        if (!keepAlive_ && StartNext())
            return;
    }
    CountTimeouts();
}

void TChannelCtr::Serve()
{
    EngineLock lock;
    if (step_ && engineclock::Clock::now() >= stepDue_) {
        const std::function<void()> step = std::move(step_);
        step_ = nullptr;
        step();
    }
    if (!step_ && !keepAlive_ && Ready == 1 && Current == nullptr && !Channel->IsClosing())
        StartNext();
}

void TChannelCtr::After(int ms, std::function<void()> step)
{
    step_ = std::move(step);
    stepDue_ = engineclock::Clock::now() + engineclock::scaled(ms);
    engineclock::kick();
}

std::optional<std::chrono::steady_clock::time_point> TChannelCtr::StepDue() const
{
    if (!step_)
        return std::nullopt;
    return stepDue_;
}

void TChannelCtr::EndExchange()
{
    Current = nullptr;
    step_ = nullptr;
    engineclock::kick();
}

bool TChannelCtr::StartNext()
{
    if (!Notices.empty()) {
        Current = CmtiCtr.get();
        CmtiCtr->Serve();
        return true;
    }
    if (!ReadQueue.empty()) {
        Current = RecvCtr.get();
        RecvCtr->Storage = ReadQueue.front().Storage;
        RecvCtr->Index = ReadQueue.front().Index;
        ReadQueue.pop_front();
        RecvCtr->Start();
        return true;
    }
    if (!SweepQueue.empty()) {
        Current = ListCtr.get();
        ListCtr->Storage = SweepQueue.front();
        SweepQueue.pop_front();
        ListCtr->Start();
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
    return StartSend();
}

bool TChannelCtr::StartSend()
{
    auto &queue = Channel->SendQueue;
    const auto now = engineclock::Clock::now();
    for (auto it = queue.begin(); it != queue.end(); ++it) {
        TPDUSend *pdu = it->get();
        if (pdu->Tries >= kMaxRefusals || pdu->Unsettled >= kMaxUnsettled) {
            Drop(it);
            return true;
        }
        // A refused message waits its turn; the others go meanwhile.
        if (pdu->RetryAt > now)
            continue;
        Current = SendCtr.get();
        SendCtr->PDU = pdu;
        SendCtr->Start();
        return true;
    }
    return false;
}

void TChannelCtr::Drop(std::deque<std::unique_ptr<TPDUSend>>::iterator it)
{
    // Refused four times, or taken so often without an answer: not sent
    // again, but not without a word.
    const TPDUSend &pdu = **it;
    const std::string line =
        pdu.Unsettled >= kMaxUnsettled ? enginetext::unconfirmedLine(pdu) : enginetext::droppedLine(pdu);
    engine::logLine(line);
    smslog::append(line);
    SendCtr->Forget(it->get());
    Channel->SendQueue.erase(it);
    Channel->QueuesChanged();
}

void TChannelCtr::GiveUp()
{
    Channel->CancelPrompt();
    if (Current == SendCtr.get())
        SendCtr->Interrupted();
    Ready = 0;
    Current = nullptr;
    step_ = nullptr;
    keepAlive_ = false;
    BusyTicks = 0;
}

void TChannelCtr::CountTimeouts()
{
    // Replies that waited a whole tick unread: the main thread's event loop
    // is busy, the modem has not gone silent. Such a tick does not count.
    const bool unread = deliveries_ == deliveriesCounted_ && Channel->InputWaiting();
    deliveriesCounted_ = deliveries_;
    if (unread)
        return;
    if (ReplyWait > 0) {
        if (--ReplyWait == 0)
            GiveUp(); // no byte since the last write
        return;
    }
    if (Current == nullptr && !keepAlive_) {
        if (++IdleTicks > kKeepAliveTicks) {
            // Without a memo record. A failed write counts as written, so
            // that a device that went away is searched again.
            Channel->WritePort("AT\r");
            IdleTicks = 0;
            ReplyWait = kReplyWaitTicks;
            BusyTicks = 0;
            keepAlive_ = true;
        }
        return;
    }
    // An exchange, or a keep-alive whose answer began but has not ended.
    const bool networkAnswer = Current == SendCtr.get() && SendCtr->AwaitsAnswer();
    if (++BusyTicks > (networkAnswer ? kSendAnswerTicks : kBusyLimitTicks))
        GiveUp();
}

void TChannelCtr::AddReadIndex(const std::string &storage, int index)
{
    EngineLock lock;
    const TReadEntry entry{storage, index};
    if (std::find(ReadQueue.begin(), ReadQueue.end(), entry) == ReadQueue.end())
        ReadQueue.push_back(entry);
    engineclock::kick();
}

void TChannelCtr::DispatchLine(const std::string &line)
{
    if (line.find("+CMTI:") != std::string::npos) {
        Notices.push_back(line);
        engineclock::kick();
        return;
    }
    const bool final = TSMSCtr::IsOK(line) || TSMSCtr::IsError(line);
    if (line.rfind("+CMGS:", 0) == 0 && !(Current == SendCtr.get() && SendCtr->AwaitsAnswer())) {
        // A send's answer that came after its attempt was given up: it
        // settles that message, and its final line is nobody else's.
        SendCtr->LateAnswer();
        lateFinal_ = true;
        return;
    }
    if (lateFinal_ && !line.empty()) {
        lateFinal_ = false;
        if (final)
            return;
    }
    if (!Current && keepAlive_ && final) {
        // The keep-alive's answer is complete: the next exchange may start.
        keepAlive_ = false;
        engineclock::kick();
        return;
    }
    // An exchange in a timed step is owed nothing by the modem.
    if (Current && !step_)
        Current->ProcessLine(line);
}

void TChannelCtr::CommData(TCustomComm *, std::uint32_t Received)
{
    EngineLock lock;
    // The search is closing or opening the port on the drive thread.
    if (Channel->PortBusy)
        return;
    ++deliveries_;
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
