#pragma once

#include <stdexcept>
#include <string>

// The serial driver's one error type: a message and a numeric code, and the
// system's error number (errno) behind it where the system refused (0 when
// the driver raised it itself); the message stays the driver's own.
class EDeviceError : public std::runtime_error {
public:
    EDeviceError(const std::string &Msg, int Code, int SystemError = 0);
    int ErrorCode() const { return FErrorCode; }
    int SystemError() const { return systemError_; }

private:
    int FErrorCode;
    int systemError_;
};

// Error codes and their messages (codes 8 and 9 are not used).
namespace DeviceErrorCode {
constexpr int NotOpened = 1;
constexpr int AlreadyOpened = 2;
constexpr int UpdateDCB = 3;
constexpr int SendLocked = 4;
constexpr int ReadLocked = 5;
constexpr int UpdateBuffers = 6;
constexpr int UpdateTimeouts = 7;
constexpr int ReadFailed = 10;
constexpr int WriteFailed = 11;
constexpr int CannotOpen = 65535;
} // namespace DeviceErrorCode

inline constexpr const char *sDeviceNotOpened = "Device not opened.";
inline constexpr const char *sDeviceAlreadyOpened = "Device is allready opened.";
inline constexpr const char *sUpdateDCBFailed = "Unable to update device control block.";
inline constexpr const char *sDeviceSendLocked = "Device locked. Cannot perform send operations.";
inline constexpr const char *sDeviceReadLocked = "Device locked. Cannot perform read operations.";
inline constexpr const char *sUpdateBuffersFailed = "Unable to update IO buffers.";
inline constexpr const char *sUpdateTimeoutsFailed = "Unable to update Timeouts.";
inline constexpr const char *sReadFailed = "Unable to read from port.";
inline constexpr const char *sWriteFailed = "Unable to write to port.";
inline constexpr const char *sCannotOpenDevice = "Cannot open device %s";

// Throws EDeviceError(Msg, Code, SystemError).
[[noreturn]] void DeviceError(const std::string &Msg, int Code, int SystemError = 0);
// Throws EDeviceError with "Msg (Win32 error N: text)", N being the calling
// thread's last comm-layer error.
[[noreturn]] void DeviceWin32Error(const std::string &Msg, int Code);

// The system's reason behind an error number, as the operator reads it: what
// happened in Chinese, the system's own words in brackets, and what to do
// where there is something to do (a permission error names the dialout
// group). "" for 0.
std::string deviceErrorReason(int systemError);
// The operator's words for e: deviceErrorReason of its system error, or
// else what failed in Chinese with the driver's own message in brackets.
std::string deviceErrorText(const EDeviceError &e);
