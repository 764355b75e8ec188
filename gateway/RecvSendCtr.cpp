// The read and send controllers and the engine's log texts.

#include "gateway/Controllers.h"

#include "codec/Gbk.h"
#include "data/DM1.h"
#include "gateway/Channel.h"
#include "gateway/EngineClock.h"
#include "gateway/EngineGlobals.h"
#include "gateway/EngineReports.h"
#include "gateway/SmsLog.h"

#include <QDateTime>
#include <algorithm>
#include <stdexcept>

namespace {

// Blanks and control characters off both ends.
std::string trimmed(const std::string &s)
{
    auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    const auto first = std::find_if_not(s.begin(), s.end(), blank);
    const auto last = std::find_if_not(s.rbegin(), s.rend(), blank).base();
    return first < last ? std::string(first, last) : std::string();
}

// Appends the received message to sms_toread; false (with the reason) when
// it could not be stored.
bool storeReceived(const std::string &phone, const std::string &text, std::string &reason)
{
    try {
        if (!DataModule1)
            throw std::runtime_error("数据库未打开");
        TAdoQuery &q = DataModule1->Query1;
        q.Close();
        q.SetSQL("select * from sms_toread");
        q.Open();
        q.Append();
        q.FieldByName("PHONE")->SetAsString(phone);
        q.FieldByName("MESSAGE")->SetAsString(text + " ");
        q.FieldByName("TIME")->SetAsDateTime(QDateTime::currentDateTime());
        q.FieldByName("READFLAG")->SetAsString("未读");
        q.Post();
        q.Close();
        return true;
    } catch (const std::exception &e) {
        if (DataModule1)
            DataModule1->Query1.Close();
        reason = e.what();
        return false;
    }
}

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
    strayLine_ = false;
    selecting_ = !Storage.empty() && Storage != Owner->SelectedStorage;
    if (!selecting_) {
        StartRead();
        return;
    }
    State = 0;
    Cmd = "AT+CPMS=\"" + Storage + "\"\r";
    State = 1;
    SendCmd();
    State = 2;
}

void TSMSRecvCtr::StartRead()
{
    State = 0;
    GetCmd();
    echo_ = Cmd.substr(0, Cmd.size() - 1);
    State = 1;
    SendCmd();
    Cmd.clear();
    State = 2;
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

void TSMSRecvCtr::ProcessLine(const std::string &line)
{
    if (selecting_) {
        if (IsOK(line)) {
            Owner->SelectedStorage = Storage;
            selecting_ = false;
            StartRead();
        } else if (IsError(line)) {
            engine::logLine("短信存储器" + Storage + "无法选择，未能读取消息(序号" + std::to_string(Index) + ")");
            Owner->EndExchange();
        }
        return;
    }
    if (IsError(line)) {
        State = 0;
        Owner->EndExchange();
        return;
    }
    if (IsOK(line)) {
        if (State == 3 && Owner->DroppedLines != droppedAtStart_) {
            // The PDU line was too long to take: keep the message in the modem.
            engine::logLine("消息过长未能读取，未从短信模块中删除(序号" + std::to_string(Index) + ")");
            Owner->EndExchange();
            return;
        }
        if (State == 2) {
            // An empty index, unless the reply held what an empty one never does.
            State = 0;
            if (strayLine_) {
                Owner->EndExchange();
                return;
            }
        } else if (Cmd.empty() || !TakeIn()) {
            // Not stored: the modem keeps it, to be read again.
            Owner->EndExchange();
            return;
        }
        DeleteAfterWait();
        return;
    }
    if (line.find("+CMGR:") != std::string::npos) {
        Cmd.clear();
        State = 3;
        droppedAtStart_ = Owner->DroppedLines;
        return;
    }
    if (State == 3)
        Cmd += trimmed(line);
    else if (!line.empty() && line != echo_)
        strayLine_ = true;
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

bool TSMSRecvCtr::TakeIn()
{
    DecodePDU();
    auto received = std::make_unique<TPDUGet>();
    received->Decode(Cmd);
    Owner->Channel->AddReceived(std::move(received));
    const std::string logText = enginetext::receiveLine(*PDU);
    engine::logLine("收到一条消息");
    engine::logLine(logText);
    const std::string caption = PDU->GetOA();
    const std::string text = PDU->GetUD();
    engine::receivedRow(caption, text, PDU->GetSCTS());
    std::string reason;
    const bool stored = storeReceived(PhoneOf(caption), text, reason);
    smslog::append(logText);
    if (!stored)
        engine::logLine("消息存入数据库失败，未从短信模块中删除(序号" + std::to_string(Index) + "):" + reason);
    return stored;
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
    if (State == 2) {
        if (IsPrompt(line)) {
            State = 3;
            Owner->After(kPromptWaitMs, [this] { WritePdu(); });
            return;
        }
        if (IsError(line)) {
            // Stays current until the busy limit, which searches the modem again.
            engine::logLine("消息发送失败，请检查SIM卡是否插好");
        }
    }
    if (State != 3 || !(IsOK(line) || IsError(line)))
        return;
    if (!pduOut_) {
        // The answer to ESC at the prompt: nothing went.
        State = 0;
        Owner->EndExchange();
    } else if (IsOK(line)) {
        State = 0;
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
        Refused();
        unanswered_ = PDU;
    }
    pduOut_ = false;
    State = 0;
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
