#pragma once

#include <cstdint>
#include <string>

// Our own serial-communications layer with the operations and records of the
// Win32 comm API that the port component is written against, implemented on
// termios, ioctl and poll (CommPosix.cpp) and on a small kernel-object table
// (CommKernel.cpp). Handles are opaque; every function is thread-safe.
//
// Contracts in brief:
// - A port handle comes from CreateFile and is a pseudo-driver: its own thread
//   reads arriving bytes into an input queue of the SetupComm size and raises
//   EV_RXCHAR / EV_RXFLAG / EV_RX80FULL; when the queue is full it stops
//   reading (the kernel buffers, and RTS/CTS flow control holds the sender).
//   An idle port sleeps in poll() and costs no CPU.
// - ReadFile, WriteFile and WaitCommEvent are overlapped only: they need an
//   OVERLAPPED whose hEvent is an event from CreateEvent. They reset that event,
//   and either complete at once (return true, event set) or return false with
//   GetLastError() == ERROR_IO_PENDING and set the event on completion. The
//   buffer, the mask variable and the OVERLAPPED must stay valid until then.
//   Read and write time limits follow COMMTIMEOUTS; a timed-out transfer
//   completes successfully with the bytes moved so far.
// - SetCommMask completes a pending WaitCommEvent with the mask 0; PurgeComm
//   with the abort flags and CloseHandle complete pending operations with
//   ERROR_OPERATION_ABORTED. After they return the layer no longer touches the
//   caller's memory.
// - A device that disappears (hang-up) fails a pending WaitCommEvent and every
//   later wait and write with ERROR_DEVICE_NOT_CONNECTED; bytes already queued
//   can still be read.
// - Line-state events (CTS, DSR, RLSD, RING, BREAK, ERR) are not produced.
namespace comm {

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using HANDLE = void *;

inline HANDLE const INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(~std::uintptr_t(0));
constexpr DWORD INFINITE = 0xFFFFFFFFu;
constexpr DWORD MAXDWORD = 0xFFFFFFFFu;

// CreateFile
constexpr DWORD GENERIC_READ = 0x80000000u;
constexpr DWORD GENERIC_WRITE = 0x40000000u;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x00000080u;
constexpr DWORD FILE_FLAG_OVERLAPPED = 0x40000000u;

// Waits
constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_TIMEOUT = 258;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFFu;
constexpr DWORD MAXIMUM_WAIT_OBJECTS = 64;

// Comm events (SetCommMask / WaitCommEvent)
constexpr DWORD EV_RXCHAR = 0x0001;
constexpr DWORD EV_RXFLAG = 0x0002;
constexpr DWORD EV_TXEMPTY = 0x0004;
constexpr DWORD EV_CTS = 0x0008;
constexpr DWORD EV_DSR = 0x0010;
constexpr DWORD EV_RLSD = 0x0020;
constexpr DWORD EV_BREAK = 0x0040;
constexpr DWORD EV_ERR = 0x0080;
constexpr DWORD EV_RING = 0x0100;
constexpr DWORD EV_PERR = 0x0200;
constexpr DWORD EV_RX80FULL = 0x0400;
constexpr DWORD EV_EVENT1 = 0x0800;
constexpr DWORD EV_EVENT2 = 0x1000;

// PurgeComm
constexpr DWORD PURGE_TXABORT = 0x0001;
constexpr DWORD PURGE_RXABORT = 0x0002;
constexpr DWORD PURGE_TXCLEAR = 0x0004;
constexpr DWORD PURGE_RXCLEAR = 0x0008;

// DCB codes
constexpr DWORD DTR_CONTROL_DISABLE = 0;
constexpr DWORD DTR_CONTROL_ENABLE = 1;
constexpr DWORD DTR_CONTROL_HANDSHAKE = 2;
constexpr DWORD RTS_CONTROL_DISABLE = 0;
constexpr DWORD RTS_CONTROL_ENABLE = 1;
constexpr DWORD RTS_CONTROL_HANDSHAKE = 2;
constexpr DWORD RTS_CONTROL_TOGGLE = 3;
constexpr BYTE NOPARITY = 0, ODDPARITY = 1, EVENPARITY = 2, MARKPARITY = 3, SPACEPARITY = 4;
constexpr BYTE ONESTOPBIT = 0, ONE5STOPBITS = 1, TWOSTOPBITS = 2;

// GetVersionEx
constexpr DWORD VER_PLATFORM_WIN32_NT = 2;

// Error numbers that this layer reports (GetLastError).
constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_INVALID_FUNCTION = 1;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_GEN_FAILURE = 31;
constexpr DWORD ERROR_NOT_SUPPORTED = 50;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_OPERATION_ABORTED = 995;
constexpr DWORD ERROR_IO_INCOMPLETE = 996;
constexpr DWORD ERROR_IO_PENDING = 997;
constexpr DWORD ERROR_DEVICE_NOT_CONNECTED = 1167;

// The device control block: the 28-byte record of the Win32 ABI.
struct DCB {
    DWORD DCBlength;
    DWORD BaudRate;
    DWORD fBinary : 1;
    DWORD fParity : 1;
    DWORD fOutxCtsFlow : 1;
    DWORD fOutxDsrFlow : 1;
    DWORD fDtrControl : 2;
    DWORD fDsrSensitivity : 1;
    DWORD fTXContinueOnXoff : 1;
    DWORD fOutX : 1;
    DWORD fInX : 1;
    DWORD fErrorChar : 1;
    DWORD fNull : 1;
    DWORD fRtsControl : 2;
    DWORD fAbortOnError : 1;
    DWORD fDummy2 : 17;
    WORD wReserved;
    WORD XonLim;
    WORD XoffLim;
    BYTE ByteSize;
    BYTE Parity;
    BYTE StopBits;
    char XonChar;
    char XoffChar;
    char ErrorChar;
    char EofChar;
    char EvtChar;
    WORD wReserved1;
};
static_assert(sizeof(DCB) == 28, "the device control block is 28 bytes");

struct COMMTIMEOUTS {
    DWORD ReadIntervalTimeout;
    DWORD ReadTotalTimeoutMultiplier;
    DWORD ReadTotalTimeoutConstant;
    DWORD WriteTotalTimeoutMultiplier;
    DWORD WriteTotalTimeoutConstant;
};

struct COMSTAT {
    DWORD Flags;    // hold reasons; always 0 here
    DWORD cbInQue;  // bytes in the input queue
    DWORD cbOutQue; // bytes not yet sent: pending writes plus the driver's output buffer
};

// The queue sizes of GetCommProperties (the fields of the Win32 record in use).
struct COMMPROP {
    DWORD dwMaxTxQueue; // 0: no maximum
    DWORD dwMaxRxQueue;
    DWORD dwCurrentTxQueue; // as last given to SetupComm
    DWORD dwCurrentRxQueue;
};

struct OVERLAPPED {
    std::uintptr_t Internal;     // completion status: an error number, or pending
    std::uintptr_t InternalHigh; // bytes transferred
    DWORD Offset;
    DWORD OffsetHigh;
    HANDLE hEvent;
};

struct OSVERSIONINFO {
    DWORD dwOSVersionInfoSize; // must be sizeof(OSVERSIONINFO)
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    char szCSDVersion[128];
};

// Device names: "\\.\" is stripped; "COMn" (any case) is /dev/ttyS(n-1); a
// name starting with "/" is a path; any other name is /dev/ + name.
std::string devicePath(const std::string &name);

// Opens a serial device for overlapped I/O, exclusively (a second open of the
// same device, from any process, fails with ERROR_ACCESS_DENIED). Only
// OPEN_EXISTING is supported; share mode, security and template are ignored.
// Returns INVALID_HANDLE_VALUE on failure.
HANDLE CreateFile(const std::string &name, DWORD access, DWORD shareMode, void *security, DWORD disposition,
                  DWORD flags, HANDLE templateFile);
// Closes a port or event handle. A port's pending operations are aborted.
bool CloseHandle(HANDLE h);

bool GetCommState(HANDLE port, DCB *dcb);
// Applies line settings. Refused (ERROR_INVALID_PARAMETER): ByteSize outside
// 5..8, Parity above 4, StopBits above 2, BaudRate 0, software flow control
// with XonChar equal to XoffChar. DTR and RTS go through the modem-control
// lines; a device without them (a pseudo-terminal) is not an error.
bool SetCommState(HANDLE port, const DCB *dcb);
// Input queue size (at least 1) and the reported output queue size.
bool SetupComm(HANDLE port, DWORD inQueue, DWORD outQueue);
bool PurgeComm(HANDLE port, DWORD flags);
bool GetCommTimeouts(HANDLE port, COMMTIMEOUTS *timeouts);
// Refused when all three read values are MAXDWORD.
bool SetCommTimeouts(HANDLE port, const COMMTIMEOUTS *timeouts);
bool GetCommProperties(HANDLE port, COMMPROP *prop);
// Queue counts; *errors gets the pending error flags (always 0 here) and clears them.
bool ClearCommError(HANDLE port, DWORD *errors, COMSTAT *stat);

bool ReadFile(HANDLE port, void *buffer, DWORD count, DWORD *read, OVERLAPPED *ov);
bool WriteFile(HANDLE port, const void *buffer, DWORD count, DWORD *written, OVERLAPPED *ov);
// Result of an overlapped operation; with wait false and the operation still
// pending: false and ERROR_IO_INCOMPLETE.
bool GetOverlappedResult(HANDLE h, OVERLAPPED *ov, DWORD *transferred, bool wait);

bool SetCommMask(HANDLE port, DWORD mask);
// Fails at once (ERROR_INVALID_PARAMETER) with an empty mask or while another wait is pending.
bool WaitCommEvent(HANDLE port, DWORD *mask, OVERLAPPED *ov);

// Events: the name and security are ignored. NULL on failure.
HANDLE CreateEvent(void *security, bool manualReset, bool initialState, const char *name);
bool SetEvent(HANDLE event);
bool ResetEvent(HANDLE event);
// Only events can be waited for.
DWORD WaitForSingleObject(HANDLE h, DWORD milliseconds);
DWORD WaitForMultipleObjects(DWORD count, const HANDLE *handles, bool waitAll, DWORD milliseconds);

// Milliseconds of a monotonic clock, wrapping at 2^32.
DWORD GetTickCount();
// The running kernel's version, reported as the NT platform.
bool GetVersionEx(OSVERSIONINFO *info);
DWORD GetLastError();
void SetLastError(DWORD error);
// The system's error number (errno) behind the calling thread's last error,
// set and cleared with it: it tells apart what the Win32 numbers merge (a
// port in use and a port the user may not open are both
// ERROR_ACCESS_DENIED). 0 when the layer raised the error itself.
int GetLastSystemError();
// Text of an error number, without a trailing period.
std::string SysErrorMessage(DWORD error);

// Owns one handle and closes it on destruction.
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE h) : h_(h) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(const UniqueHandle &) = delete;
    UniqueHandle &operator=(const UniqueHandle &) = delete;
    UniqueHandle(UniqueHandle &&o) noexcept : h_(o.release()) {}
    UniqueHandle &operator=(UniqueHandle &&o) noexcept
    {
        if (this != &o)
            reset(o.release());
        return *this;
    }

    HANDLE get() const { return h_; }
    bool valid() const { return h_ != nullptr && h_ != INVALID_HANDLE_VALUE; }
    HANDLE release()
    {
        HANDLE h = h_;
        h_ = nullptr;
        return h;
    }
    void reset(HANDLE h = nullptr)
    {
        if (valid())
            CloseHandle(h_);
        h_ = h;
    }

private:
    HANDLE h_ = nullptr;
};

} // namespace comm
