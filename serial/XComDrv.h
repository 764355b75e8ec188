#pragma once

// The serial port component: TXComm on TCustomComm, its four settings
// objects and the event thread that hands port events to it.

#include "platform/comm/Comm.h"
#include "serial/XComErr.h"

#include <QObject>
#include <atomic>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <thread>

// A set of enumeration members: member i is bit i.
template <typename E> class TSet {
public:
    constexpr TSet() = default;
    constexpr TSet(std::initializer_list<E> Items)
    {
        for (E e : Items)
            FBits |= Bit(e);
    }
    static constexpr TSet FromBits(std::uint32_t Bits)
    {
        TSet s;
        s.FBits = Bits;
        return s;
    }
    constexpr std::uint32_t Bits() const { return FBits; }
    constexpr bool Contains(E e) const { return (FBits & Bit(e)) != 0; }
    constexpr bool Empty() const { return FBits == 0; }
    constexpr TSet &operator+=(E e)
    {
        FBits |= Bit(e);
        return *this;
    }
    constexpr TSet &operator-=(E e)
    {
        FBits &= ~Bit(e);
        return *this;
    }
    friend constexpr TSet operator+(TSet a, TSet b) { return FromBits(a.FBits | b.FBits); }
    friend constexpr TSet operator*(TSet a, TSet b) { return FromBits(a.FBits & b.FBits); }
    friend constexpr TSet operator-(TSet a, TSet b) { return FromBits(a.FBits & ~b.FBits); }
    friend constexpr bool operator==(TSet a, TSet b) { return a.FBits == b.FBits; }

private:
    static constexpr std::uint32_t Bit(E e) { return std::uint32_t(1) << static_cast<int>(e); }
    std::uint32_t FBits = 0;
};

// clang-format off
enum TBaudRate {
    br110, br300, br600, br1200, br2400, br4800, br9600, br14400, br19200, br38400,
    br56000, br57600, br115200, br128000, br256000, brCustom
};
// clang-format on
// Bits per second of each TBaudRate but brCustom.
inline constexpr std::uint32_t BaudTable[15] = {110,   300,   600,   1200,  2400,   4800,   9600,  14400,
                                                19200, 38400, 56000, 57600, 115200, 128000, 256000};

enum TDataBits { db4, db5, db6, db7, db8 }; // byte size = ordinal + 4
enum TParity { paNone, paOdd, paEven, paMark, paSpace };
enum TStopBits { sb1, sb1p5, sb2 };
enum TFlowControl { fcNone, fcRtsCts, fcDtrDsr, fcSoftware, fcCustom };

// clang-format off
enum TCommOption {
    coAbortOnError, coDiscardNull, coDSRSensitivity, coErrorChar, coParityCheck, coTXContinueOnXOff, coLeaveDTROpen
};
// clang-format on
using TCommOptions = TSet<TCommOption>;

// Member i is bit i of the comm event mask (EV_RXCHAR = deChar ...).
// clang-format off
enum TDeviceEvent {
    deChar, deFlag, deOutEmpty, deCTS, deDSR, deRLSD, deBreak, deError, deRing, dePrintError, deIn80Full,
    deProv1, deProv2
};
// clang-format on
using TDeviceEvents = TSet<TDeviceEvent>;

enum TDTRSetting { fsDSROut, fsDTREnabled, fsDTRHandshake };
using TDTRSettings = TSet<TDTRSetting>;
enum TRTSSetting { fsCTSOut, fsRTSEnabled, fsRTSHandshake };
using TRTSSettings = TSet<TRTSSetting>;
enum TXOnXOffSetting { fsInX, fsOutX };
using TXOnXOffSettings = TSet<TXOnXOffSetting>;

// Not thread locks: they refuse a send from inside OnSend and a read from inside OnRead.
enum TCommLock { lkSending, lkReading };
using TCommLocks = TSet<TCommLock>;

class TCustomComm;
class TCommEventThread;

using TCommEvent = std::function<void(TCustomComm *Sender, TDeviceEvents Events)>;
using TDataEvent = std::function<void(TCustomComm *Sender, std::uint32_t Received)>;
using TNotifyEvent = std::function<void(TCustomComm *Sender)>;

// True on the NT platform from major version 4 on (our layer reports the
// running kernel as such).
bool IsWinNT4();
// Zeroes the block and sets its length field.
void InitDCB(comm::DCB &DCB);
// InitDCB, then the driver's block; true on success.
bool GetDCB(comm::HANDLE Handle, comm::DCB &DCB);

// Settings objects. Each keeps its values and the component that made it (or
// none: then it only stores). While that component's port is open, a getter
// returns the driver's live value (the stored one if the driver cannot say)
// and a setter that changes a value applies the block at once; an apply that
// fails raises EDeviceError with the new value kept.

class TCommDataControl {
public:
    explicit TCommDataControl(TCustomComm *AComm);
    TDataBits DataBits() const;
    void setDataBits(TDataBits Value);
    TParity Parity() const;
    void setParity(TParity Value);
    TStopBits StopBits() const;
    void setStopBits(TStopBits Value);

private:
    friend class TCustomComm;
    TCustomComm *FComm;
    TDataBits FDataBits = db8;
    TParity FParity = paNone;
    TStopBits FStopBits = sb1;
};

class TCommBuffers {
public:
    explicit TCommBuffers(TCustomComm *AComm);
    // Queue sizes: set values are clamped to 128 .. 4096 (8192 off the NT platform).
    std::uint16_t InputSize() const { return GetSize(0); }
    void setInputSize(std::uint16_t Value) { SetSize(0, Value); }
    std::uint16_t OutputSize() const { return GetSize(1); }
    void setOutputSize(std::uint16_t Value) { SetSize(1, Value); }
    // Milliseconds for ReadData and SendData; plain values.
    std::uint16_t InputTimeout() const { return FInputTimeout; }
    void setInputTimeout(std::uint16_t Value) { FInputTimeout = Value; }
    std::uint16_t OutputTimeout() const { return FOutputTimeout; }
    void setOutputTimeout(std::uint16_t Value) { FOutputTimeout = Value; }

    // Index 0: InputSize, any other: OutputSize.
    std::uint16_t GetSize(int Index) const;
    void SetSize(int Index, std::uint16_t Value);

private:
    friend class TCustomComm;
    TCustomComm *FComm;
    std::uint16_t FInputSize = 2048;
    std::uint16_t FInputTimeout = 500;
    std::uint16_t FOutputSize = 2048;
    std::uint16_t FOutputTimeout = 500;
};

class TCommEventChars {
public:
    explicit TCommEventChars(TCustomComm *AComm);
    char XonChar() const { return GetChar(0); }
    void setXonChar(char Value) { SetChar(0, Value); }
    char XoffChar() const { return GetChar(1); }
    void setXoffChar(char Value) { SetChar(1, Value); }
    char EofChar() const { return GetChar(2); }
    void setEofChar(char Value) { SetChar(2, Value); }
    char ErrorChar() const { return GetChar(3); }
    void setErrorChar(char Value) { SetChar(3, Value); }
    char EventChar() const { return GetChar(4); }
    void setEventChar(char Value) { SetChar(4, Value); }

    // Index 0..4: XonChar, XoffChar, EofChar, ErrorChar, EventChar; others read 0 and are ignored.
    char GetChar(int Index) const;
    void SetChar(int Index, char Value);

private:
    friend class TCustomComm;
    char &Field(int Index);
    TCustomComm *FComm;
    char FXonChar = 17;
    char FXoffChar = 19;
    char FErrorChar = 0;
    char FEventChar = 10;
    char FEofChar = 0;
};

class TCommTimeoutsEx {
public:
    explicit TCommTimeoutsEx(TCustomComm *AComm);
    std::uint32_t ReadInterval() const { return GetValue(0); }
    void setReadInterval(std::uint32_t Value) { SetValue(0, Value); }
    std::uint32_t ReadMultiplier() const { return GetValue(1); }
    void setReadMultiplier(std::uint32_t Value) { SetValue(1, Value); }
    std::uint32_t ReadConstant() const { return GetValue(2); }
    void setReadConstant(std::uint32_t Value) { SetValue(2, Value); }
    std::uint32_t WriteMultiplier() const { return GetValue(3); }
    void setWriteMultiplier(std::uint32_t Value) { SetValue(3, Value); }
    std::uint32_t WriteConstant() const { return GetValue(4); }
    void setWriteConstant(std::uint32_t Value) { SetValue(4, Value); }

    // Index 0..4 in the order of the COMMTIMEOUTS record; other indices read 0 and are ignored.
    std::uint32_t GetValue(int Index) const;
    void SetValue(int Index, std::uint32_t Value);

private:
    friend class TCustomComm;
    TCustomComm *FComm;
    std::uint32_t FValues[5] = {1, 0, 1, 0, 1};
};

// Waits on an open port for comm events and hands each event set to the
// component: on the main thread while Synchronize is true (the event thread
// waits until the delivery has returned), else on itself. Made by OpenDevice,
// freed by CloseDevice and the component's destructor.
class TCommEventThread {
public:
    // Sets the port's wait mask (every event but EV_TXEMPTY) and starts.
    explicit TCommEventThread(TCustomComm *AComm);
    // Stops the thread and waits for its end. On the main thread it serves a
    // delivery that the thread is blocked in meanwhile; on another thread the
    // main thread must be free to serve it. Must not run inside a delivery of
    // the same port (a handler must not close or free its own port).
    ~TCommEventThread();
    TCommEventThread(const TCommEventThread &) = delete;
    TCommEventThread &operator=(const TCommEventThread &) = delete;

    // True once the wait loop has ended: stopped, or the port failed (a device
    // that disappeared); a port whose thread has ended delivers nothing more.
    bool Finished() const { return FFinished.load(); }

private:
    void Execute();
    void DoEvents();

    comm::UniqueHandle FStopEvent;
    comm::DWORD FEventMask = 0;
    TCustomComm *FComm;
    std::atomic<bool> FFinished{false};
    std::thread FThread;
};

// The serial port component. Holds no lock: the owner must not let a read on
// one thread overlap an OpenDevice or CloseDevice on another. Every failure is
// an EDeviceError (XComErr.h). Property accessors are protected here and
// published by TXComm. Defined in XComDrv.cpp; the settings, their
// properties and applying them to the open port in XComSettings.cpp.
class TCustomComm : public QObject {
public:
    explicit TCustomComm(QObject *AOwner = nullptr);
    // Closes an open port quietly (see Shutdown).
    ~TCustomComm() override;

    // Opens DeviceName and applies the control block, queue sizes and
    // timeouts, in this order. Codes 2 (open already), 65535 (cannot open);
    // 3, 6, 7 from the apply steps, with the port left open.
    virtual void OpenDevice();
    // Stops the event thread and closes the port; code 1 when closed.
    virtual void CloseDevice();
    // Both flags while closed.
    virtual TCommLocks GetLocks() const;
    bool Opened() const;
    comm::HANDLE Handle() const { return FHandle.load(); }
    TCommEventThread *EventThread() const { return FEventThread.get(); }

    // Writes Count bytes as the output queue has room, giving up once Timeout
    // ms have passed since the start on a pass that moved nothing; returns the
    // bytes written. Codes 1, 4 (inside OnSend), 11 (write failed). Calls
    // ProcessEvents([deOutEmpty]) and OnSend on the calling thread.
    std::uint32_t SendDataEx(const void *Buffer, std::uint32_t Count, std::uint32_t Timeout);
    std::uint32_t SendData(const void *Buffer, std::uint32_t Count); // Buffers.OutputTimeout
    // True when every byte of S was written.
    bool SendString(const std::string &S);
    // Reads up to Count bytes as they arrive, giving up once Timeout ms have
    // passed on a pass that found nothing queued; returns the bytes read.
    // Codes 1, 5 (inside OnRead), 10 (read failed).
    std::uint32_t ReadDataEx(void *Buffer, std::uint32_t Count, std::uint32_t Timeout);
    std::uint32_t ReadData(void *Buffer, std::uint32_t Count); // Buffers.InputTimeout
    // When Count >= 1 bytes are queued: S := Count bytes read, true if all
    // came. Otherwise false and S unchanged.
    bool ReadString(std::string &S, std::uint32_t Count);
    // Bytes in the input (Which 0) or output (Which 1) queue; 0 for any other
    // Which or when the driver cannot say. Code 1 when closed.
    std::uint32_t QueueCount(int Which);

    // Hands an event set to DoCommEvent if the port is open and the component
    // is not being destroyed.
    void ProcessEvents(TDeviceEvents Events);

    // Apply one block to the open port: codes 3, 6, 7 when refused.
    void ApplyDCB();
    void ApplyBuffers(); // purges the port first
    void ApplyTimeouts();

protected:
    TBaudRate BaudRate() const;
    void setBaudRate(TBaudRate Value);
    std::uint32_t BaudValue() const;
    void setBaudValue(std::uint32_t Value);
    TCommBuffers *Buffers() const { return FBuffers.get(); }
    void setBuffers(const TCommBuffers &Value);
    TRTSSettings RTSSettings() const;
    void setRTSSettings(TRTSSettings Value);
    TCommDataControl *DataControl() const { return FDataControl.get(); }
    void setDataControl(const TCommDataControl &Value);
    std::string DeviceName() const { return FDeviceName; }
    void setDeviceName(const std::string &Value);
    TDTRSettings DTRSettings() const;
    void setDTRSettings(TDTRSettings Value);
    TCommEventChars *EventChars() const { return FEventChars.get(); }
    void setEventChars(const TCommEventChars &Value);
    TDeviceEvents MonitorEvents() const { return TDeviceEvents::FromBits(FMonitorEvents.load()); }
    void setMonitorEvents(TDeviceEvents Value) { FMonitorEvents.store(Value.Bits()); }
    TFlowControl FlowControl() const { return FFlowControl; }
    void setFlowControl(TFlowControl Value);
    TCommOptions Options() const;
    void setOptions(TCommOptions Value);
    bool Synchronize() const { return FSynchronize.load(); }
    void setSynchronize(bool Value) { FSynchronize.store(Value); }
    TCommTimeoutsEx *Timeouts() const { return FTimeouts.get(); }
    void setTimeouts(const TCommTimeoutsEx &Value);
    TXOnXOffSettings XOnXOffSettings() const;
    void setXOnXOffSettings(TXOnXOffSettings Value);
    // Handlers run on the delivering thread (see TCommEventThread); set them
    // while the port is closed.
    TCommEvent OnCommEvent() const { return FOnCommEvent; }
    void setOnCommEvent(TCommEvent Value) { FOnCommEvent = std::move(Value); }
    TDataEvent OnData() const { return FOnData; }
    void setOnData(TDataEvent Value) { FOnData = std::move(Value); }
    TNotifyEvent OnRead() const { return FOnRead; }
    void setOnRead(TNotifyEvent Value) { FOnRead = std::move(Value); }
    TNotifyEvent OnSend() const { return FOnSend; }
    void setOnSend(TNotifyEvent Value) { FOnSend = std::move(Value); }

    // deChar or deFlag: DoData with the bytes now queued; then OnCommEvent
    // with Events * MonitorEvents when that is not empty.
    virtual void DoCommEvent(TDeviceEvents Events);
    virtual void DoData(std::uint32_t Received);

    // For destructors: marks the component as being destroyed, stops the event
    // thread (serving a pending delivery on the main thread, which then does
    // nothing) and closes the port, raising nothing. The event thread calls
    // virtual operations, so the destructor of TXComm, and of every class that
    // overrides DoCommEvent or DoData, calls this first: no delivery may reach
    // an object whose derived part is already gone.
    void Shutdown();

private:
    friend class TCommDataControl;
    friend class TCommBuffers;
    friend class TCommEventChars;
    friend class TCommTimeoutsEx;
    friend class TCommEventThread;

    std::uint32_t WriteChunk(const std::uint8_t *Buffer, std::uint32_t Count);
    std::uint32_t ReadChunk(std::uint8_t *Buffer, std::uint32_t Count);
    void DecodeFlowFlags(const comm::DCB &Flags) const;
    // On an open port, decodes the live control block into the four stored
    // line/option sets first; gives Stored, one of them.
    template <typename S> S LiveFlags(const S &Stored) const;
    // The setter rule of the three line sets: only under fcCustom.
    template <typename S> void SetLineSet(S &Stored, S Value);
    void DeriveFlowSettings();
    void SetLock(TCommLock Lock, bool On);

    std::atomic<comm::HANDLE> FHandle{comm::INVALID_HANDLE_VALUE};
    // Getters on an open port store what they read back, hence mutable.
    mutable TBaudRate FBaudRate = br9600;
    mutable std::uint32_t FBaudValue = 9600;
    std::unique_ptr<TCommBuffers> FBuffers;
    std::unique_ptr<TCommDataControl> FDataControl;
    std::string FDeviceName = "COM2";
    mutable TDTRSettings FDTRSettings;
    std::unique_ptr<TCommEventChars> FEventChars;
    std::atomic<std::uint32_t> FMonitorEvents{TDeviceEvents{deChar, deFlag, deOutEmpty}.Bits()};
    TFlowControl FFlowControl = fcNone;
    mutable TCommOptions FOptions;
    mutable TRTSSettings FRTSSettings;
    std::atomic<bool> FSynchronize{true};
    std::unique_ptr<TCommTimeoutsEx> FTimeouts;
    mutable TXOnXOffSettings FXOnXOffSettings;
    TCommEvent FOnCommEvent;
    TDataEvent FOnData;
    TNotifyEvent FOnRead;
    TNotifyEvent FOnSend;
    std::unique_ptr<TCommEventThread> FEventThread;
    std::atomic<std::uint32_t> FLocks{0};
    std::atomic<bool> FDestroying{false};
};

// The component with its properties published.
class TXComm : public TCustomComm {
public:
    using TCustomComm::TCustomComm;
    ~TXComm() override { Shutdown(); }

    using TCustomComm::BaudRate;
    using TCustomComm::BaudValue;
    using TCustomComm::Buffers;
    using TCustomComm::DataControl;
    using TCustomComm::DeviceName;
    using TCustomComm::DTRSettings;
    using TCustomComm::EventChars;
    using TCustomComm::FlowControl;
    using TCustomComm::MonitorEvents;
    using TCustomComm::OnCommEvent;
    using TCustomComm::OnData;
    using TCustomComm::OnRead;
    using TCustomComm::OnSend;
    using TCustomComm::Options;
    using TCustomComm::RTSSettings;
    using TCustomComm::setBaudRate;
    using TCustomComm::setBaudValue;
    using TCustomComm::setBuffers;
    using TCustomComm::setDataControl;
    using TCustomComm::setDeviceName;
    using TCustomComm::setDTRSettings;
    using TCustomComm::setEventChars;
    using TCustomComm::setFlowControl;
    using TCustomComm::setMonitorEvents;
    using TCustomComm::setOnCommEvent;
    using TCustomComm::setOnData;
    using TCustomComm::setOnRead;
    using TCustomComm::setOnSend;
    using TCustomComm::setOptions;
    using TCustomComm::setRTSSettings;
    using TCustomComm::setSynchronize;
    using TCustomComm::setTimeouts;
    using TCustomComm::setXOnXOffSettings;
    using TCustomComm::Synchronize;
    using TCustomComm::Timeouts;
    using TCustomComm::XOnXOffSettings;
};
