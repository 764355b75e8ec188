#include "serial/XComErr.h"

#include "platform/comm/Comm.h"

EDeviceError::EDeviceError(const std::string &Msg, int Code) : std::runtime_error(Msg), FErrorCode(Code) {}

void DeviceError(const std::string &Msg, int Code) { throw EDeviceError(Msg, Code); }

void DeviceWin32Error(const std::string &Msg, int Code)
{
    const comm::DWORD error = comm::GetLastError();
    throw EDeviceError(Msg + " (Win32 error " + std::to_string(error) + ": " + comm::SysErrorMessage(error) + ")",
                       Code);
}
