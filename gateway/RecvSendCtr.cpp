// The read and send controllers and the engine's log texts.

#include "gateway/Controllers.h"

#include "codec/Gbk.h"
#include "codec/Text.h"
#include "gateway/Channel.h"
#include "gateway/EngineClock.h"
#include "gateway/EngineGlobals.h"
#include "gateway/EngineReports.h"
#include "gateway/EngineStore.h"
#include "gateway/QueueFiles.h"
#include "gateway/SmsLog.h"
#include "platform/ado/AdoConnection.h"

#include <algorithm>
#include <cctype>

namespace {

// The longest raw reply kept for the log.
constexpr std::size_t kMaxRaw = 2048;

std::string whereText(int index) { return "(序号" + std::to_string(index) + ")"; }

} // namespace

namespace enginetext {

std::string sendLine(const std::string &sca, const TPDUSend &pdu)
{
    return "发送消息，中心号:" + sca + " 手机号:" + pdu.GetDA() + " 内容:" + pdu.GetWideUD();
}

std::string receiveLine(const TPDUGet &pdu)
{
    return "收信：中心号码:" + pdu.GetSCA() + " 发送人:" + pdu.GetOA() + " 内容:" + pdu.GetUD() +
           " 时间:" + pdu.GetSCTS();
}

std::string droppedLine(const TPDUSend &pdu)
{
    return "消息四次发送失败，已放弃，手机号:" + pdu.GetDA() + " 内容:" + pdu.GetWideUD();
}

std::string unsettledLine(const TPDUSend &pdu)
{
    return "消息已交给短信模块，但未收到发送结果（设备断开或网络无应答），结果未知，将再次发送，手机号:" + pdu.GetDA() +
           " 内容:" + pdu.GetWideUD();
}

std::string unconfirmedLine(const TPDUSend &pdu)
{
    return "消息已交给短信模块" + std::to_string(pdu.Unsettled) +
           "次，始终未收到发送结果，不再重发，手机号:" + pdu.GetDA() + " 内容:" + pdu.GetWideUD();
}

} // namespace enginetext

TSMSRecvCtr::TSMSRecvCtr(TChannelCtr *owner) : TSMSCtr(owner) {}

void TSMSRecvCtr::Init() { PDU = std::make_unique<TPDUGet>(); }

std::string TSMSRecvCtr::GetCmd()
{
    Cmd = "AT+CMGR=" + std::to_string(Index) + "\r";
    return Cmd;
}

void TSMSRecvCtr::Start()
{
    selecting_ = !Storage.empty() && Storage != Owner->SelectedStorage;
    if (!selecting_) {
        StartRead();
        return;
    }
    State = csIdle;
    Cmd = "AT+CPMS=\"" + Storage + "\"\r";
    State = csWriting;
    SendCmd();
    State = csAwaiting;
}

void TSMSRecvCtr::StartRead()
{
    State = csIdle;
    GetCmd();
    State = csWriting;
    SendCmd();
    Cmd.clear();
    State = csAwaiting;
}

void TSMSRecvCtr::DecodePDU() { PDU->Decode(Cmd); }

std::string TSMSRecvCtr::PhoneOf(const std::string &caption)
{
    if (caption.find("+86") == std::string::npos)
        return caption;
    const std::string bytes = gbk::fromUtf8(caption);
    const std::string tail = bytes.size() > 3 ? bytes.substr(3) : std::string();
    return gbk::toUtf8(gbk::headBytes(tail, 12));
}

std::optional<int> TSMSRecvCtr::AnnouncedLength(const std::string &header)
{
    const std::size_t comma = header.rfind(',');
    if (header.find("+CMGR:") == std::string::npos || comma == std::string::npos)
        return std::nullopt;
    const std::string field(strings::trimmed(header.substr(comma + 1)));
    if (field.empty() || field.size() > 3 ||
        !std::all_of(field.begin(), field.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    return std::stoi(field);
}

bool TSMSRecvCtr::IsPduLine(const std::string &line, int length)
{
    if (line.size() < 2 || line.size() % 2 != 0 ||
        !std::all_of(line.begin(), line.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); }))
        return false;
    return line.size() == 2 * (1 + std::size_t(HexToByte(line)) + std::size_t(length));
}

void TSMSRecvCtr::ProcessLine(const std::string &line)
{
    if (selecting_) {
        if (IsOK(line)) {
            Owner->SelectedStorage = Storage;
            selecting_ = false;
            StartRead();
        } else if (IsError(line)) {
            engine::logLine("短信存储器" + Storage + "无法选择，未能读取消息" + whereText(Index));
            Owner->EndExchange();
        }
        return;
    }
    if (IsError(line)) {
        State = csIdle;
        Owner->EndExchange();
        return;
    }
    if (IsOK(line)) {
        if (State == csSecondPhase) {
            TakeIn();
            return;
        }
        // The index holds no message: nothing to delete, so that a message
        // the modem puts there meanwhile is not deleted unread.
        State = csIdle;
        Owner->EndExchange();
        return;
    }
    if (State == csAwaiting && line.find("+CMGR:") != std::string::npos) {
        Cmd.clear();
        State = csSecondPhase;
        droppedAtStart_ = Owner->DroppedLines;
        length_ = AnnouncedLength(line);
        raw_ = strings::trimmed(line);
        return;
    }
    if (State != csSecondPhase)
        return;
    const std::string text(strings::trimmed(line));
    if (text.empty())
        return;
    if (raw_.size() < kMaxRaw)
        raw_ += " " + text;
    // Unsolicited lines ("RING") and noise may come before the PDU.
    if (Cmd.empty() && length_ && IsPduLine(text, *length_))
        Cmd = text;
}

void TSMSRecvCtr::TakeIn()
{
    if (Cmd.empty() || !TPDUGet::IsWhole(Cmd)) {
        Unreadable();
        Owner->EndExchange();
        return;
    }
    DecodePDU();
    const enginestore::TResult stored = Store(Storage, Index, Cmd, false);
    if (stored == enginestore::TResult::Stored || stored == enginestore::TResult::AlreadyStored)
        DeleteAfterWait();
    else
        Owner->EndExchange();
}

void TSMSRecvCtr::Unreadable()
{
    if (Cmd.empty() && Owner->DroppedLines != droppedAtStart_) {
        engine::logLine("消息过长未能读取，未从短信模块中删除" + whereText(Index));
        return;
    }
    if (++unreadable_[{Storage, Index}] != kRawLogReads) {
        engine::logLine("消息无法解码，未从短信模块中删除" + whereText(Index));
        return;
    }
    // Once whole, so that a message the engine cannot read is not lost without a trace.
    const std::string line = "无法解码的消息" + whereText(Index) + "留在短信模块中:" + raw_;
    engine::logLine(line);
    smslog::append(line);
}

enginestore::TResult TSMSRecvCtr::Store(const std::string &storage, int index, const std::string &pdu, bool retry)
{
    TPDUGet message;
    message.Decode(pdu);
    const std::string digest = enginestore::digestOf(pdu);
    const enginestore::TOutcome out = enginestore::storeReceived(pdu, PhoneOf(message.GetOA()), message.GetUD());
    switch (out.result) {
    case enginestore::TResult::Stored:
        unreadable_.erase({storage, index});
        Publish(message, digest);
        return Queued(storage, index, pdu, digest, retry, false);
    case enginestore::TResult::AlreadyStoredUnqueued:
        if (listed_.count(digest) == 0 && !Owner->Channel->ReceivedKept(pdu)) {
            // An earlier run stored it and ended before its READ entry was on disk.
            engine::logLine("消息此前已存入数据库，尚未列入待读队列，现补入" + whereText(index));
            List(message, digest);
        }
        return Queued(storage, index, pdu, digest, retry, true);
    case enginestore::TResult::AlreadyStored: Delete(storage, index, digest, retry, true); break;
    case enginestore::TResult::Busy:
        if (!retry &&
            Owner->PendingWrites->Add(digest, [this, storage, index, pdu] { return Store(storage, index, pdu, true); }))
            engine::logLine(std::string(ado::LockedText) + "，消息暂留在短信模块中，稍后再存" + whereText(index));
        break;
    case enginestore::TResult::Gone:
        engine::logLine("数据库文件已被删除，消息未存入，留在短信模块中" + whereText(index));
        break;
    case enginestore::TResult::Failed:
        engine::logLine("消息存入数据库失败，未从短信模块中删除" + whereText(index) + ":" + out.reason);
        break;
    }
    return out.result;
}

enginestore::TResult TSMSRecvCtr::Queued(const std::string &storage, int index, const std::string &pdu,
                                         const std::string &digest, bool retry, bool before)
{
    if (!OnDisk(pdu)) {
        // A kill now would leave the row without its READ entry: the message
        // stays in the modem until the writer has put the entry on disk.
        Owner->PendingWrites->Drop(digest);
        if (Owner->PendingWrites->Add("file:" + digest, [this, storage, index, pdu, digest] {
                if (!OnDisk(pdu))
                    return enginestore::TResult::Busy;
                Mark(pdu, digest);
                Delete(storage, index, digest, true, false);
                return enginestore::TResult::Stored;
            }))
            engine::logLine(std::string("消息未能写入") + queuefiles::kReadBuf + "，暂留在短信模块中" +
                            whereText(index));
        return enginestore::TResult::Failed;
    }
    Mark(pdu, digest);
    Delete(storage, index, digest, retry, before);
    return enginestore::TResult::Stored;
}

bool TSMSRecvCtr::OnDisk(const std::string &pdu) const
{
    if (Owner->Channel->ReceivedKept(pdu))
        return true;
    EngineLock lock;
    const auto &list = Owner->Channel->RecvList;
    return std::none_of(list.begin(), list.end(), [&](const auto &entry) { return entry->Text == pdu; });
}

void TSMSRecvCtr::Mark(const std::string &pdu, const std::string &digest)
{
    auto mark = [this, pdu, digest] {
        const enginestore::TResult result = enginestore::markQueued(pdu).result;
        // Unmarked, the run still knows it listed the message.
        if (result == enginestore::TResult::Stored)
            listed_.erase(digest);
        return result;
    };
    // The delete need not wait: a message gone from the modem is never read again.
    if (mark() == enginestore::TResult::Busy)
        Owner->PendingWrites->Add("mark:" + digest, mark);
}

void TSMSRecvCtr::Delete(const std::string &storage, int index, const std::string &digest, bool retry, bool before)
{
    if (retry) {
        // Read again for its delete, which needs the storage selected.
        storedLate_.insert(digest);
        Owner->AddReadIndex(storage, index);
        return;
    }
    Owner->PendingWrites->Drop(digest);
    if (before && storedLate_.erase(digest) == 0)
        engine::logLine("消息此前已存入数据库，从短信模块中删除" + whereText(index));
}

void TSMSRecvCtr::Publish(const TPDUGet &pdu, const std::string &digest)
{
    List(pdu, digest);
    const std::string line = enginetext::receiveLine(pdu);
    engine::logLine("收到一条消息");
    engine::logLine(line);
    engine::receivedRow(pdu.GetOA(), pdu.GetUD(), pdu.GetSCTS());
    smslog::append(line);
}

void TSMSRecvCtr::List(const TPDUGet &pdu, const std::string &digest)
{
    listed_.insert(digest);
    Owner->Channel->AddReceived(std::make_unique<TPDUGet>(pdu));
}

void TSMSRecvCtr::DeleteAfterWait()
{
    Owner->After(kDeleteWaitMs, [this] {
        TSMSDelCtr *del = Owner->DelCtr.get();
        Owner->Current = del;
        del->Index = Index;
        del->Start();
    });
}

TSMSSendCtr::TSMSSendCtr(TChannelCtr *owner) : TSMSCtr(owner) {}

void TSMSSendCtr::Init()
{
    ownPdu_ = std::make_unique<TPDUSend>();
    ownPdu_->Tries = 0;
    PDU = ownPdu_.get();
}

std::string TSMSSendCtr::GetCmd()
{
    PDU->Encode();
    Cmd = "AT+CMGS=" + std::to_string(PDU->TPDULength()) + "\r";
    return Cmd;
}

void TSMSSendCtr::Start()
{
    pduOut_ = false;
    cancel_ = false;
    TSMSCtr::Start();
    const std::string line = enginetext::sendLine(Owner->Channel->ServiceCentre(), *PDU);
    engine::logLine(line);
    smslog::append(line);
}

bool TSMSSendCtr::IsPrompt(const std::string &line) { return line == ">"; }

void TSMSSendCtr::ProcessLine(const std::string &line)
{
    if (State == csAwaiting) {
        if (IsPrompt(line)) {
            State = csSecondPhase;
            Owner->After(kPromptWaitMs, [this] { WritePdu(); });
            return;
        }
        if (IsError(line)) {
            // Stays current until the busy limit, which searches the modem again.
            engine::logLine("消息发送失败，请检查SIM卡是否插好");
        }
    }
    if (State != csSecondPhase || !(IsOK(line) || IsError(line)))
        return;
    if (!pduOut_) {
        // The answer to ESC at the prompt: nothing went.
        State = csIdle;
        Owner->EndExchange();
    } else if (IsOK(line)) {
        State = csIdle;
        RemoveSent(PDU);
        Owner->EndExchange();
        engine::logLine("消息发送成功");
    } else {
        // The next attempt goes through the centre now set in the window.
        PDU->SetSCA(Owner->Channel->ServiceCentre());
        Refused();
        Owner->Channel->QueuesChanged();
        Owner->EndExchange();
        engine::logLine("消息发送失败");
    }
}

void TSMSSendCtr::WritePdu()
{
    if (cancel_) {
        Owner->Channel->CancelPrompt();
        Owner->ReplyWait = kReplyWaitTicks;
        Owner->BusyTicks = 0;
        return;
    }
    PDU->Encode();
    Cmd = PDU->Text + "\x1A";
    if (!SendCmd()) {
        // The device went at the prompt: nothing was sent.
        Owner->GiveUp();
        return;
    }
    pduOut_ = true;
    unanswered_ = nullptr;
    // The network may take a minute; nothing else is written meanwhile.
    Owner->ReplyWait = kSendAnswerTicks;
}

void TSMSSendCtr::Interrupted()
{
    if (pduOut_ && PDU != ownPdu_.get()) {
        // The answer died with the device or never came: never a refusal.
        ++PDU->Unsettled;
        unanswered_ = PDU;
        if (PDU->Unsettled < kMaxUnsettled)
            engine::logLine(enginetext::unsettledLine(*PDU));
    }
    pduOut_ = false;
    State = csIdle;
}

void TSMSSendCtr::LateAnswer()
{
    const TPDUSend *sent = unanswered_;
    unanswered_ = nullptr;
    if (!sent)
        return;
    if (Owner->Current == this && PDU == sent && !pduOut_)
        cancel_ = true;
    RemoveSent(sent);
    engine::logLine("消息发送成功");
}

void TSMSSendCtr::Refused()
{
    ++PDU->Tries;
    // 3 s after the first attempt, 6 s after the second, 12 s after the third.
    const int waitMs = 3000 << std::min(std::max(int(PDU->Tries), 1) - 1, 2);
    PDU->RetryAt = engineclock::Clock::now() + engineclock::scaled(waitMs);
}

void TSMSSendCtr::RemoveSent(const TPDUSend *pdu)
{
    auto &queue = Owner->Channel->SendQueue;
    const auto it = std::find_if(queue.begin(), queue.end(), [pdu](const auto &p) { return p.get() == pdu; });
    Forget(pdu);
    if (it != queue.end()) {
        queue.erase(it);
        Owner->Channel->QueuesChanged();
    }
}

void TSMSSendCtr::Forget(const TPDUSend *pdu)
{
    if (PDU == pdu)
        PDU = ownPdu_.get();
    if (unanswered_ == pdu)
        unanswered_ = nullptr;
}
