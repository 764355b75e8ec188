// The port component: opening, closing, sending, reading and the delivery of
// port events. Settings and their rules are in XComSettings.cpp, the event
// thread in XComThread.cpp.

#include "serial/XComDrv.h"

#include <algorithm>
#include <chrono>

using namespace comm;

namespace {

// Formats a message with one %s.
std::string FormatOne(const std::string &Format, const std::string &Arg)
{
    std::string s = Format;
    auto pos = s.find("%s");
    if (pos != std::string::npos)
        s.replace(pos, 2, Arg);
    return s;
}

} // namespace

TCustomComm::TCustomComm(QObject *AOwner)
    : QObject(AOwner), FBuffers(std::make_unique<TCommBuffers>(this)),
      FDataControl(std::make_unique<TCommDataControl>(this)), FEventChars(std::make_unique<TCommEventChars>(this)),
      FTimeouts(std::make_unique<TCommTimeoutsEx>(this))
{
}

TCustomComm::~TCustomComm() { Shutdown(); }

void TCustomComm::Shutdown()
{
    FDestroying.store(true);
    if (Opened()) {
        FEventThread.reset();
        CloseHandle(FHandle.load());
        FHandle.store(INVALID_HANDLE_VALUE);
    }
}

bool TCustomComm::Opened() const { return FHandle.load() != INVALID_HANDLE_VALUE; }

TCommLocks TCustomComm::GetLocks() const
{
    if (!Opened())
        return {lkSending, lkReading};
    return TCommLocks::FromBits(FLocks.load());
}

void TCustomComm::SetLock(TCommLock Lock, bool On)
{
    const std::uint32_t bit = TCommLocks{Lock}.Bits();
    if (On)
        FLocks.fetch_or(bit);
    else
        FLocks.fetch_and(~bit);
}

void TCustomComm::OpenDevice()
{
    if (Opened())
        DeviceError(sDeviceAlreadyOpened, DeviceErrorCode::AlreadyOpened);
    FLocks.store(0);
    HANDLE h = CreateFile("\\\\.\\" + FDeviceName, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        DeviceError(FormatOne(sCannotOpenDevice, FDeviceName), DeviceErrorCode::CannotOpen, comm::GetLastSystemError());
    FHandle.store(h);
    try {
        FEventThread = std::make_unique<TCommEventThread>(this);
    } catch (...) {
        CloseHandle(h);
        FHandle.store(INVALID_HANDLE_VALUE);
        throw;
    }
    ApplyDCB();
    ApplyBuffers();
    ApplyTimeouts();
}

void TCustomComm::CloseDevice()
{
    if (!Opened())
        DeviceError(sDeviceNotOpened, DeviceErrorCode::NotOpened);
    // The thread goes first: its last act clears the wait mask on the still-valid handle.
    FEventThread.reset();
    CloseHandle(FHandle.load());
    FHandle.store(INVALID_HANDLE_VALUE);
}

std::uint32_t TCustomComm::QueueCount(int Which)
{
    if (!Opened())
        DeviceError(sDeviceNotOpened, DeviceErrorCode::NotOpened);
    DWORD errors = 0;
    COMSTAT stat{};
    if (!ClearCommError(FHandle.load(), &errors, &stat))
        return 0;
    switch (Which) {
    case 0: return stat.cbInQue;
    case 1: return stat.cbOutQue;
    default: return 0;
    }
}

std::uint32_t TCustomComm::WriteChunk(const std::uint8_t *Buffer, std::uint32_t Count)
{
    UniqueHandle event(CreateEvent(nullptr, true, true, nullptr));
    OVERLAPPED ov{};
    ov.hEvent = event.get();
    DWORD written = 0;
    if (!WriteFile(FHandle.load(), Buffer, Count, &written, &ov)) {
        if (GetLastError() != ERROR_IO_PENDING)
            DeviceWin32Error(sWriteFailed, DeviceErrorCode::WriteFailed);
        WaitForSingleObject(ov.hEvent, INFINITE);
        if (!GetOverlappedResult(FHandle.load(), &ov, &written, false))
            DeviceWin32Error(sWriteFailed, DeviceErrorCode::WriteFailed);
    }
    return written;
}

std::uint32_t TCustomComm::ReadChunk(std::uint8_t *Buffer, std::uint32_t Count)
{
    UniqueHandle event(CreateEvent(nullptr, true, true, nullptr));
    OVERLAPPED ov{};
    ov.hEvent = event.get();
    DWORD got = 0;
    if (!ReadFile(FHandle.load(), Buffer, Count, &got, &ov)) {
        if (GetLastError() != ERROR_IO_PENDING)
            DeviceWin32Error(sReadFailed, DeviceErrorCode::ReadFailed);
        WaitForSingleObject(ov.hEvent, INFINITE);
        if (!GetOverlappedResult(FHandle.load(), &ov, &got, false))
            DeviceWin32Error(sReadFailed, DeviceErrorCode::ReadFailed);
    }
    return got;
}

std::uint32_t TCustomComm::SendDataEx(const void *Buffer, std::uint32_t Count, std::uint32_t Timeout)
{
    if (!Opened())
        DeviceError(sDeviceNotOpened, DeviceErrorCode::NotOpened);
    if (GetLocks().Contains(lkSending))
        DeviceError(sDeviceSendLocked, DeviceErrorCode::SendLocked);
    if (Count == 0)
        return 0;
    auto *p = static_cast<const std::uint8_t *>(Buffer);
    std::uint32_t result = 0;
    const DWORD start = GetTickCount();
    while (result < Count) {
        const std::uint32_t queued = QueueCount(1);
        const std::uint32_t size = FBuffers->OutputSize();
        // A queue already past its size has no room (rather than a wrapped-around huge room).
        const std::uint32_t room = queued >= size ? 0 : size - queued;
        if (room != 0) {
            const std::uint32_t written = WriteChunk(p, std::min(room, Count - result));
            ProcessEvents({deOutEmpty});
            if (written > 0) {
                p += written;
                result += written;
                SetLock(lkSending, true);
                try {
                    if (FOnSend)
                        FOnSend(this);
                } catch (...) {
                    SetLock(lkSending, false);
                    throw;
                }
                SetLock(lkSending, false);
                continue;
            }
        }
        if (GetTickCount() - start > Timeout)
            break;
    }
    return result;
}

std::uint32_t TCustomComm::SendData(const void *Buffer, std::uint32_t Count)
{
    return SendDataEx(Buffer, Count, FBuffers->OutputTimeout());
}

bool TCustomComm::SendString(const std::string &S)
{
    const auto count = static_cast<std::uint32_t>(S.size());
    return SendData(S.data(), count) == count;
}

std::uint32_t TCustomComm::ReadDataEx(void *Buffer, std::uint32_t Count, std::uint32_t Timeout)
{
    if (!Opened())
        DeviceError(sDeviceNotOpened, DeviceErrorCode::NotOpened);
    if (GetLocks().Contains(lkReading))
        DeviceError(sDeviceReadLocked, DeviceErrorCode::ReadLocked);
    if (Count == 0)
        return 0;
    auto *p = static_cast<std::uint8_t *>(Buffer);
    std::uint32_t result = 0;
    const DWORD start = GetTickCount();
    while (result < Count) {
        const std::uint32_t queued = QueueCount(0);
        if (queued > 0) {
            const std::uint32_t got = ReadChunk(p, std::min(queued, Count - result));
            p += got;
            result += got;
            SetLock(lkReading, true);
            try {
                if (FOnRead && got > 0)
                    FOnRead(this);
            } catch (...) {
                SetLock(lkReading, false);
                throw;
            }
            SetLock(lkReading, false);
            continue;
        }
        if (GetTickCount() - start > Timeout)
            break;
        // Waiting for bytes: look again each millisecond rather than spinning.
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return result;
}

std::uint32_t TCustomComm::ReadData(void *Buffer, std::uint32_t Count)
{
    return ReadDataEx(Buffer, Count, FBuffers->InputTimeout());
}

bool TCustomComm::ReadString(std::string &S, std::uint32_t Count)
{
    if (Count < 1 || QueueCount(0) < Count)
        return false;
    std::string bytes(Count, '\0');
    const std::uint32_t got = ReadData(bytes.data(), Count);
    bytes.resize(got);
    S = std::move(bytes);
    return got == Count;
}

void TCustomComm::ProcessEvents(TDeviceEvents Events)
{
    if (Opened() && !FDestroying.load())
        DoCommEvent(Events);
}

void TCustomComm::DoCommEvent(TDeviceEvents Events)
{
    if (Events.Contains(deChar) || Events.Contains(deFlag))
        DoData(QueueCount(0));
    if (FOnCommEvent) {
        const TDeviceEvents monitored = Events * MonitorEvents();
        if (!monitored.Empty())
            FOnCommEvent(this, monitored);
    }
}

void TCustomComm::DoData(std::uint32_t Received)
{
    if (FOnData)
        FOnData(this, Received);
}
