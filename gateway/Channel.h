#pragma once

#include "codec/PDUs.h"
#include "serial/XComDrv.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class TGateWay;
class TChannelCtr;
class TSMSCtr;
class TSMSCmtictr;
class TClccCtr;
class TDialCtr;
class TCpbrCtr;
class TSMSInitCtr;
class TSMSDelCtr;
class TSMSRecvCtr;
class TSMSSendCtr;
class TSMSListCtr;
class TPendingWrites;

// Commands and reply lines are bytes as the modem writes them (ASCII in PDU
// mode); a "character" of the line limit is one byte.
constexpr std::size_t kMaxLine = 338; // longest reply line handed on
constexpr int kReplyWaitTicks = 30;   // ticks for the first byte after a write
constexpr int kBusyLimitTicks = 30;   // the 31st busy tick ends the exchange
constexpr int kKeepAliveTicks = 10;   // the 11th idle tick writes "AT"
// Ticks a sent PDU's final answer is awaited (the network may take a
// minute): about 60 s.
constexpr int kSendAnswerTicks = 200;
// Attempts after which a message is no longer sent again: refused by the
// network, or unsettled (its answer never came).
constexpr int kMaxRefusals = 4;
constexpr int kMaxUnsettled = 4;
constexpr int kLastPhoneBookIndex = 50;
constexpr char kEscape = 0x1B; // cancels the modem's send prompt
// Waits inside exchanges, in milliseconds of engine time.
constexpr int kPromptWaitMs = 400;      // from the prompt ">" to the PDU (two waits of 200)
constexpr int kStorageWaitMs = 300;     // after a notice's storage selection
constexpr int kDeleteWaitMs = 800;      // before each delete
constexpr int kInitDoneWaitMs = 1000;   // after a successful initialisation
constexpr int kInitFailedWaitMs = 4000; // after a failed one

// One modem channel: a serial port, its send queue and received list, and
// its scheduler. Created on the main thread, opened once, never closed while
// the engine runs. All fields are shared with the drive thread: touch them
// only under an EngineLock (EngineGlobals.h).
class TSMSChannel {
public:
    TSMSChannel();
    // Closes the port (main thread; the drive thread must have stopped).
    ~TSMSChannel();
    TSMSChannel(const TSMSChannel &) = delete;
    TSMSChannel &operator=(const TSMSChannel &) = delete;

    std::unique_ptr<TChannelCtr> ChannelCtr;
    int Number = 0; // from 1; set before Open
    std::unique_ptr<TXComm> Comm;
    // Owned PDUs, head first. SendQueue: appended by the send path, head
    // taken or dropped by the scheduler, removed by the send controller on
    // success. RecvList: oldest first; appended by the read controller and
    // the queue-file reload, taken by the TCP "READ" command; changed only
    // on the main thread, so a main-thread reader may keep its head across
    // a socket write without the lock. Whoever changes either list calls
    // QueuesChanged, so that the queue files follow.
    std::deque<std::unique_ptr<TPDUSend>> SendQueue;
    std::deque<std::unique_ptr<TPDUGet>> RecvList;
    // The gateway whose Closing flag the scheduler obeys and whose host the
    // channel asks; null: never closing, no host.
    TGateWay *Owner = nullptr;

    // Main thread, once, after Number is set: lists, scheduler, port (name
    // from "smsset.ini" [CH<n>] COMPORT, default "COM<n>"), opened at
    // 57600 bit/s and the port state reported; a failure is also said in
    // the log pane with the system's reason (OpenFailed).
    void Open();
    // Drive thread: one scheduler tick (TChannelCtr::Drive).
    void Drive();
    // Drive thread, between ticks: TChannelCtr::Serve.
    void Serve();
    // When the running exchange's timed step is due; none without one. Any thread.
    std::optional<std::chrono::steady_clock::time_point> NextStep() const;
    // True when no exchange runs; any thread.
    bool IsIdle() const;

    // Appends a message at the tail of SendQueue; any thread.
    void QueueSend(std::unique_ptr<TPDUSend> pdu);
    // Appends a message at the end of RecvList and, in the same hold of the
    // engine lock, has the host keep it on disk (IEngineHost::
    // ReceivedQueued); main thread. Whether it got there: ReceivedKept.
    void AddReceived(std::unique_ptr<TPDUGet> pdu);
    // Whether the host's READ file holds the entry line; main thread.
    bool ReceivedKept(const std::string &line) const;
    // The port name; setting it takes effect at the next opening (the next
    // device search) and is not written to the ini file. Any thread.
    std::string DeviceName() const;
    void SetDeviceName(const std::string &name);

    // The owning gateway's host: the centre number in use ("" without one),
    // and the notice that SendQueue or RecvList has changed. Any thread.
    std::string ServiceCentre() const;
    void QueuesChanged();

    // Engine internals, under the engine lock.
    bool IsClosing() const;
    // Drive thread: the port is open but delivers nothing more (its event
    // thread has ended: the device went away or the port failed).
    bool PortFailed() const;
    // Bytes wait in the port's input queue; false while it is closed or
    // being reopened.
    bool InputWaiting() const;
    // Writes bytes to the port; false when the port is closed, being
    // reopened by the device search, or the write raised a port error.
    bool WritePort(const std::string &bytes);
    // Writes ESC, which ends a pending send prompt without sending (and is
    // line noise to a modem in command state): before the first command on
    // a newly opened port and after every timeout.
    void CancelPrompt();
    // Reports text for the channel's monitor memo (engine::monitorText).
    void Monitor(const std::string &text);
    // Drive thread: one attempt of the device search at rate: close the
    // port when open, wait 400 ms, set DTR, the rate and the port name,
    // open (a failure is ignored: a closed port is tried again on the next
    // attempt, so a device that went away is found when it comes back; a
    // reason not said since the port last opened is said, OpenFailed),
    // write ESC, wait 1000 ms, write "AT". The engine lock is released
    // around the close and open and around the waits; while the port is
    // being reopened PortBusy is set and the main thread neither reads nor
    // writes it.
    void TryRate(TBaudRate rate);

    bool PortBusy = false;

private:
    // Logs "<port>打开失败,请重新设置串口：" and the system's reason (the
    // error's text when the system gave none), unless it is the line
    // logged last since the port was last opened.
    void OpenFailed(const EDeviceError &e);

    std::string portName_;
    std::string openFailure_; // the last open failure logged
};

// The line builder: bytes from the port (main thread) to reply lines.
// Defined in Scheduler.cpp, as TChannelCtr is; TSMSChannel in Channel.cpp.
class TLineGet {
public:
    std::string Line;
    TChannelCtr *Owner = nullptr;

    // LF ends the line; ">" becomes a line of its own at once (a partial
    // line before it is discarded; the send controller waits after it); CR
    // is dropped; any other byte is appended.
    void PutChar(char c);
    // Dispatches Line when it has at most 338 bytes (and clears ReplyWait);
    // a longer line is dropped and counted in the owner's DroppedLines.
    void LineDone();
};

// A message of the modem's storage waiting to be read: the storage it lies
// in ("SM", "ME"; empty: whichever the modem has selected) and its index.
struct TReadEntry {
    std::string Storage;
    int Index = 0;
    bool operator==(const TReadEntry &) const = default;
};

// The scheduler of one channel: at most one exchange runs at a time.
//
// The exchange model: the running exchange (Current) gets every reply line
// until it ends itself (EndExchange) or a timeout ends it. An unsolicited
// line (a "+CMTI:" notice) never goes to it: the line is noted in Notices
// and served as an exchange of its own once the running one has ended. An
// exchange that must wait (after the prompt, before a delete, ...) does so
// in a timed step (After): the drive thread runs the step when it is due;
// no thread sleeps for it, so the main thread and the engine lock stay free.
class TChannelCtr {
public:
    TChannelCtr();
    ~TChannelCtr();
    TChannelCtr(const TChannelCtr &) = delete;
    TChannelCtr &operator=(const TChannelCtr &) = delete;

    int Ready = 0;                    // 0: search and initialise on the next tick
    int IdleTicks = 0;                // idle ticks since the last keep-alive
    std::deque<TReadEntry> ReadQueue; // messages to read, head first, each once
    // Unsolicited notices not yet served, oldest first.
    std::deque<std::string> Notices;
    // Storages still to be swept for stored messages after the last
    // initialisation, in order ("SM", then "ME").
    std::deque<std::string> SweepQueue;
    // The storage the modem reads and deletes in, as far as the engine has
    // selected it since the last initialisation; empty: not known.
    std::string SelectedStorage;
    TSMSChannel *Channel = nullptr;
    TSMSCtr *Current = nullptr; // the running exchange; null: idle
    std::unique_ptr<TSMSRecvCtr> RecvCtr;
    std::unique_ptr<TSMSSendCtr> SendCtr;
    std::unique_ptr<TSMSDelCtr> DelCtr;
    std::unique_ptr<TSMSInitCtr> InitCtr;
    std::unique_ptr<TSMSCmtictr> CmtiCtr;
    std::unique_ptr<TClccCtr> ClccCtr;
    std::unique_ptr<TDialCtr> DialCtr;
    std::unique_ptr<TCpbrCtr> CpbrCtr;
    std::unique_ptr<TSMSListCtr> ListCtr;
    std::unique_ptr<TLineGet> LineGet;
    int ReplyWait = 0; // ticks left for the first byte after a write
    int BusyTicks = 0; // ticks of a running exchange since its last write
    // Reply lines dropped for their length so far; the read controller
    // keeps a message whose PDU line was lost.
    int DroppedLines = 0;
    // The controllers' database writes that met another program's lock;
    // main thread.
    std::unique_ptr<TPendingWrites> PendingWrites;

    // Creates the controllers and the line builder; nothing queued.
    void Init();
    // Drive thread: the tick. Nothing while the running exchange waits in a
    // timed step. A port that failed ends whatever runs (GiveUp). Then the
    // first that applies: a search and
    // initialisation when not Ready (TSMSInitCtr::Run); when idle and not
    // closing, the next exchange (StartNext); else the timeouts and the
    // keep-alive.
    void Drive();
    // Drive thread, between ticks: runs the timed step once due, then, when
    // the channel is Ready, idle and not closing, starts the next exchange.
    void Serve();
    // Queues a message for reading unless it is queued already; any thread.
    void AddReadIndex(const std::string &storage, int index);
    // A "+CMTI:" line is noted in Notices; a "+CMGS:" line that no running
    // send awaits settles the send given up before it (TSMSSendCtr::
    // LateAnswer) and takes the final line right after it along; any other
    // line goes to the current controller unless it waits in a timed step,
    // or is dropped (the final answer to a keep-alive "AT" is noted as such).
    void DispatchLine(const std::string &line);
    // The port's OnData, main thread: clears ReplyWait and reads exactly
    // Received bytes into the line builder (nothing when fewer are waiting
    // or the device search is reopening the port).
    void CommData(TCustomComm *Sender, std::uint32_t Received);
    // A line typed into the window's command edit CmdEdit (its Enter), main
    // thread: it goes to the monitor memo with a CR and through the line
    // builder with an LF, as if the modem had sent it; nothing is written
    // to the port.
    void TypedLine(const std::string &line);

    // For the controllers, under the engine lock:
    // The running exchange waits ms (engine time), then the drive thread
    // runs step, unless the exchange has ended meanwhile. One step at a time.
    void After(int ms, std::function<void()> step);
    bool Waiting() const { return static_cast<bool>(step_); }
    std::optional<std::chrono::steady_clock::time_point> StepDue() const;
    // Ends the running exchange (Current := none, any timed step dropped)
    // and lets the next one start at once.
    void EndExchange();
    // Ends the running exchange for a new search and initialisation of the
    // modem on the next tick, cancelling a send prompt the modem may be
    // left at (a timeout, a port that failed). Timeouts count only ticks
    // at which the main thread has read what the modem wrote.
    void GiveUp();

private:
    // The next exchange by priority: a noted notice, a read, the sweep of a
    // storage, the dial request, a phone-book entry, then the first queued
    // message whose spacing has passed (a message refused four times is
    // dropped instead). True when one was started or dropped.
    bool StartNext();
    bool StartSend();
    void CountTimeouts();
    void Drop(std::deque<std::unique_ptr<TPDUSend>>::iterator it);

    std::function<void()> step_;
    std::chrono::steady_clock::time_point stepDue_;
    // The keep-alive's final answer is awaited: nothing starts before it,
    // so that it cannot end the next exchange.
    bool keepAlive_ = false;
    // A late "+CMGS:" came: its final line, if it is the next line, is
    // dropped.
    bool lateFinal_ = false;
    // Port deliveries read (CommData), and their number at the last tick
    // that counted timeouts.
    std::uint64_t deliveries_ = 0;
    std::uint64_t deliveriesCounted_ = 0;
};
