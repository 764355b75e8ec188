#include "serial/XComErr.h"

#include "platform/comm/Comm.h"

#include <cerrno>
#include <cstring>

EDeviceError::EDeviceError(const std::string &Msg, int Code, int SystemError)
    : std::runtime_error(Msg), FErrorCode(Code), systemError_(SystemError)
{
}

void DeviceError(const std::string &Msg, int Code, int SystemError) { throw EDeviceError(Msg, Code, SystemError); }

void DeviceWin32Error(const std::string &Msg, int Code)
{
    const comm::DWORD error = comm::GetLastError();
    throw EDeviceError(Msg + " (Win32 error " + std::to_string(error) + ": " + comm::SysErrorMessage(error) + ")", Code,
                       comm::GetLastSystemError());
}

std::string deviceErrorReason(int systemError)
{
    if (systemError == 0)
        return {};
    const std::string system = std::string("（") + std::strerror(systemError) + "）";
    switch (systemError) {
    case ENOENT:
    case ENOTDIR:
    case ENODEV:
    case ENXIO: return "没有这个串口设备" + system + "，请检查串口名称和设备的连接";
    case EACCES:
    case EPERM:
        return "没有打开串口的权限" + system +
               "：请把当前用户加入 dialout 组（sudo usermod -aG dialout 用户名），重新登录后再试";
    case EBUSY: return "串口正被其他程序占用" + system + "，请关闭占用它的程序（例如 ModemManager）";
    case ENOTTY: return "这个设备不是串口" + system;
    default: return "系统错误" + system;
    }
}

std::string deviceErrorText(const EDeviceError &e)
{
    if (std::string reason = deviceErrorReason(e.SystemError()); !reason.empty())
        return reason;
    const char *what = "串口出错";
    switch (e.ErrorCode()) {
    case DeviceErrorCode::NotOpened: what = "串口没有打开"; break;
    case DeviceErrorCode::AlreadyOpened: what = "串口已经打开"; break;
    case DeviceErrorCode::UpdateDCB: what = "无法设置串口参数"; break;
    case DeviceErrorCode::SendLocked: what = "串口正忙，不能发送"; break;
    case DeviceErrorCode::ReadLocked: what = "串口正忙，不能读取"; break;
    case DeviceErrorCode::UpdateBuffers: what = "无法设置串口缓冲区"; break;
    case DeviceErrorCode::UpdateTimeouts: what = "无法设置串口超时"; break;
    case DeviceErrorCode::ReadFailed: what = "无法从串口读取"; break;
    case DeviceErrorCode::WriteFailed: what = "无法向串口写入"; break;
    case DeviceErrorCode::CannotOpen: what = "无法打开串口"; break;
    }
    return std::string(what) + "（" + e.what() + "）";
}
