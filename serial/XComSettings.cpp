// Settings of the port component: the four settings objects, the property
// rules (store, apply while open, read back live) and the three apply steps.

#include "serial/XComDrv.h"

using namespace comm;

namespace {

std::uint16_t ClampQueueSize(std::uint16_t Value)
{
    const std::uint16_t bound = IsWinNT4() ? 4096 : 8192;
    if (Value > bound)
        Value = bound;
    if (Value < 128)
        Value = 128;
    return Value;
}

bool IsOpen(const TCustomComm *Comm) { return Comm && Comm->Opened(); }

// The setter rule of every applied setting: store Value when it differs from
// Current (what the getter reads now), then apply the setting's block while
// the port is open; a refused apply raises with Value kept.
template <typename T> void Store(TCustomComm *Comm, T &Stored, T Value, T Current, void (TCustomComm::*Apply)())
{
    if (Value == Current)
        return;
    Stored = Value;
    if (IsOpen(Comm))
        (Comm->*Apply)();
}

constexpr auto kApplyDCB = &TCustomComm::ApplyDCB;
constexpr auto kApplyBuffers = &TCustomComm::ApplyBuffers;
constexpr auto kApplyTimeouts = &TCustomComm::ApplyTimeouts;

// A data-control value: on an open port the live DCB byte Field less Offset
// when that is an ordinal up to Last, else the stored value.
template <BYTE DCB::*Field, int Offset, auto Last>
decltype(Last) LiveOrdinal(const TCustomComm *Comm, decltype(Last) Stored)
{
    DCB dcb;
    if (IsOpen(Comm) && GetDCB(Comm->Handle(), dcb)) {
        const int ordinal = dcb.*Field - Offset;
        if (ordinal >= 0 && ordinal <= static_cast<int>(Last))
            return static_cast<decltype(Last)>(ordinal);
    }
    return Stored;
}

} // namespace

bool IsWinNT4()
{
    OSVERSIONINFO info{};
    info.dwOSVersionInfoSize = sizeof info;
    return GetVersionEx(&info) && info.dwPlatformId == VER_PLATFORM_WIN32_NT && info.dwMajorVersion >= 4;
}

void InitDCB(DCB &DCB)
{
    DCB = {};
    DCB.DCBlength = sizeof DCB;
}

bool GetDCB(HANDLE Handle, DCB &DCB)
{
    InitDCB(DCB);
    return GetCommState(Handle, &DCB);
}

// --- TCommDataControl ---

TCommDataControl::TCommDataControl(TCustomComm *AComm) : FComm(AComm) {}

TDataBits TCommDataControl::DataBits() const { return LiveOrdinal<&DCB::ByteSize, 4, db8>(FComm, FDataBits); }
void TCommDataControl::setDataBits(TDataBits Value) { Store(FComm, FDataBits, Value, DataBits(), kApplyDCB); }
TParity TCommDataControl::Parity() const { return LiveOrdinal<&DCB::Parity, 0, paSpace>(FComm, FParity); }
void TCommDataControl::setParity(TParity Value) { Store(FComm, FParity, Value, Parity(), kApplyDCB); }
TStopBits TCommDataControl::StopBits() const { return LiveOrdinal<&DCB::StopBits, 0, sb2>(FComm, FStopBits); }
void TCommDataControl::setStopBits(TStopBits Value) { Store(FComm, FStopBits, Value, StopBits(), kApplyDCB); }

// --- TCommBuffers ---

TCommBuffers::TCommBuffers(TCustomComm *AComm) : FComm(AComm) {}

std::uint16_t TCommBuffers::GetSize(int Index) const
{
    const std::uint16_t stored = Index == 0 ? FInputSize : FOutputSize;
    COMMPROP prop{};
    if (IsOpen(FComm) && GetCommProperties(FComm->Handle(), &prop)) {
        const auto live = static_cast<std::uint16_t>(Index == 0 ? prop.dwCurrentRxQueue : prop.dwCurrentTxQueue);
        if (live != 0)
            return live;
    }
    return stored;
}

void TCommBuffers::SetSize(int Index, std::uint16_t Value)
{
    Value = ClampQueueSize(Value);
    Store(FComm, Index == 0 ? FInputSize : FOutputSize, Value, GetSize(Index), kApplyBuffers);
}

// --- TCommEventChars ---

TCommEventChars::TCommEventChars(TCustomComm *AComm) : FComm(AComm) {}

char &TCommEventChars::Field(int Index)
{
    switch (Index) {
    case 0: return FXonChar;
    case 1: return FXoffChar;
    case 2: return FEofChar;
    case 3: return FErrorChar;
    default: return FEventChar;
    }
}

char TCommEventChars::GetChar(int Index) const
{
    static constexpr char DCB::*kLive[5] = {&DCB::XonChar, &DCB::XoffChar, &DCB::EofChar, &DCB::ErrorChar,
                                            &DCB::EvtChar};
    if (Index < 0 || Index > 4)
        return 0;
    DCB dcb;
    if (IsOpen(FComm) && GetDCB(FComm->Handle(), dcb))
        return dcb.*kLive[Index];
    return const_cast<TCommEventChars *>(this)->Field(Index);
}

void TCommEventChars::SetChar(int Index, char Value)
{
    if (Index >= 0 && Index <= 4)
        Store(FComm, Field(Index), Value, GetChar(Index), kApplyDCB);
}

// --- TCommTimeoutsEx ---

TCommTimeoutsEx::TCommTimeoutsEx(TCustomComm *AComm) : FComm(AComm) {}

std::uint32_t TCommTimeoutsEx::GetValue(int Index) const
{
    if (Index < 0 || Index > 4)
        return 0;
    COMMTIMEOUTS t{};
    if (IsOpen(FComm) && GetCommTimeouts(FComm->Handle(), &t)) {
        const DWORD live[5] = {t.ReadIntervalTimeout, t.ReadTotalTimeoutMultiplier, t.ReadTotalTimeoutConstant,
                               t.WriteTotalTimeoutMultiplier, t.WriteTotalTimeoutConstant};
        return live[Index];
    }
    return FValues[Index];
}

void TCommTimeoutsEx::SetValue(int Index, std::uint32_t Value)
{
    if (Index >= 0 && Index <= 4)
        Store(FComm, FValues[Index], Value, GetValue(Index), kApplyTimeouts);
}

// --- the component's settings ---

void TCustomComm::ApplyDCB()
{
    DCB dcb;
    InitDCB(dcb);
    // Built from the stored values: the getters would read the old live ones back.
    dcb.BaudRate = FBaudValue;
    dcb.fBinary = 1;
    dcb.fOutxDsrFlow = FDTRSettings.Contains(fsDSROut);
    DWORD dtr = 0;
    if (FDTRSettings.Contains(fsDTREnabled) || FOptions.Contains(coLeaveDTROpen))
        dtr |= DTR_CONTROL_ENABLE;
    if (FDTRSettings.Contains(fsDTRHandshake))
        dtr |= DTR_CONTROL_HANDSHAKE;
    dcb.fDtrControl = dtr;
    dcb.fOutxCtsFlow = FRTSSettings.Contains(fsCTSOut);
    DWORD rts = 0;
    if (FRTSSettings.Contains(fsRTSEnabled))
        rts |= RTS_CONTROL_ENABLE;
    if (FRTSSettings.Contains(fsRTSHandshake))
        rts |= RTS_CONTROL_HANDSHAKE;
    dcb.fRtsControl = rts;
    dcb.fInX = FXOnXOffSettings.Contains(fsInX);
    dcb.fOutX = FXOnXOffSettings.Contains(fsOutX);
    dcb.fParity = FOptions.Contains(coParityCheck);
    dcb.fDsrSensitivity = FOptions.Contains(coDSRSensitivity);
    dcb.fErrorChar = FOptions.Contains(coErrorChar);
    dcb.fNull = FOptions.Contains(coDiscardNull);
    dcb.fAbortOnError = FOptions.Contains(coAbortOnError);
    dcb.fTXContinueOnXoff = FOptions.Contains(coTXContinueOnXOff);
    dcb.XonLim = static_cast<WORD>(FBuffers->FInputSize / 4);
    dcb.XoffLim = dcb.XonLim;
    dcb.ByteSize = static_cast<BYTE>(FDataControl->FDataBits + 4);
    dcb.Parity = static_cast<BYTE>(FDataControl->FParity);
    dcb.StopBits = static_cast<BYTE>(FDataControl->FStopBits);
    dcb.XonChar = FEventChars->FXonChar;
    dcb.XoffChar = FEventChars->FXoffChar;
    dcb.ErrorChar = FEventChars->FErrorChar;
    dcb.EofChar = FEventChars->FEofChar;
    dcb.EvtChar = FEventChars->FEventChar;
    if (!SetCommState(Handle(), &dcb))
        DeviceError(sUpdateDCBFailed, DeviceErrorCode::UpdateDCB);
}

void TCustomComm::ApplyBuffers()
{
    PurgeComm(Handle(), PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
    if (!SetupComm(Handle(), FBuffers->FInputSize, FBuffers->FOutputSize))
        DeviceError(sUpdateBuffersFailed, DeviceErrorCode::UpdateBuffers);
}

void TCustomComm::ApplyTimeouts()
{
    const std::uint32_t *v = FTimeouts->FValues;
    COMMTIMEOUTS t{v[0], v[1], v[2], v[3], v[4]};
    if (!SetCommTimeouts(Handle(), &t))
        DeviceError(sUpdateTimeoutsFailed, DeviceErrorCode::UpdateTimeouts);
}

void TCustomComm::DeriveFlowSettings()
{
    FDTRSettings = {};
    FRTSSettings = {};
    FXOnXOffSettings = {};
    switch (FFlowControl) {
    case fcRtsCts: FRTSSettings = {fsCTSOut, fsRTSHandshake}; break;
    case fcDtrDsr:
        FDTRSettings = {fsDSROut};
        FRTSSettings = {fsRTSEnabled};
        break;
    case fcSoftware: FXOnXOffSettings = {fsInX, fsOutX}; break;
    default: break;
    }
    if (FFlowControl != fcNone)
        FDTRSettings += fsDTREnabled;
    if (FOptions.Contains(coLeaveDTROpen)) {
        FDTRSettings += fsDTREnabled;
        FDTRSettings -= fsDTRHandshake;
    }
}

void TCustomComm::DecodeFlowFlags(const DCB &Flags) const
{
    FDTRSettings = {};
    if (Flags.fDtrControl & DTR_CONTROL_HANDSHAKE)
        FDTRSettings += fsDTRHandshake;
    if (Flags.fDtrControl & DTR_CONTROL_ENABLE)
        FDTRSettings += fsDTREnabled;
    if (Flags.fOutxDsrFlow)
        FDTRSettings += fsDSROut;

    FRTSSettings = {};
    if (Flags.fRtsControl & RTS_CONTROL_HANDSHAKE)
        FRTSSettings += fsRTSHandshake;
    if (Flags.fRtsControl & RTS_CONTROL_ENABLE)
        FRTSSettings += fsRTSEnabled;
    if (Flags.fOutxCtsFlow)
        FRTSSettings += fsCTSOut;

    FXOnXOffSettings = {};
    if (Flags.fOutX)
        FXOnXOffSettings += fsOutX;
    if (Flags.fInX)
        FXOnXOffSettings += fsInX;

    TCommOptions options = FOptions * TCommOptions{coLeaveDTROpen};
    if (Flags.fParity)
        options += coParityCheck;
    if (Flags.fDsrSensitivity)
        options += coDSRSensitivity;
    if (Flags.fErrorChar)
        options += coErrorChar;
    if (Flags.fNull)
        options += coDiscardNull;
    if (Flags.fAbortOnError)
        options += coAbortOnError;
    if (Flags.fTXContinueOnXoff)
        options += coTXContinueOnXOff;
    FOptions = options;
}

TBaudRate TCustomComm::BaudRate() const
{
    if (Opened() && FBaudRate != brCustom) {
        FBaudRate = brCustom;
        const std::uint32_t live = BaudValue();
        for (int i = 0; i < 15; ++i) {
            if (BaudTable[i] == live) {
                FBaudRate = static_cast<TBaudRate>(i);
                break;
            }
        }
    }
    return FBaudRate;
}

void TCustomComm::setBaudRate(TBaudRate Value)
{
    if (Value == BaudRate())
        return;
    FBaudRate = Value;
    if (Value == brCustom)
        return;
    FBaudValue = BaudTable[Value];
    if (Opened())
        ApplyDCB();
}

std::uint32_t TCustomComm::BaudValue() const
{
    DCB dcb;
    if (Opened() && GetDCB(Handle(), dcb))
        FBaudValue = dcb.BaudRate;
    return FBaudValue;
}

void TCustomComm::setBaudValue(std::uint32_t Value)
{
    if (BaudRate() == brCustom)
        Store(this, FBaudValue, Value, BaudValue(), kApplyDCB);
}

void TCustomComm::setDeviceName(const std::string &Value)
{
    if (!Opened())
        FDeviceName = Value;
}

void TCustomComm::setFlowControl(TFlowControl Value)
{
    if (Value == FFlowControl)
        return;
    FFlowControl = Value;
    if (Value == fcCustom)
        return;
    DeriveFlowSettings();
    if (Opened())
        ApplyDCB();
}

template <typename S> S TCustomComm::LiveFlags(const S &Stored) const
{
    DCB dcb;
    if (Opened() && GetDCB(Handle(), dcb))
        DecodeFlowFlags(dcb);
    return Stored;
}

template <typename S> void TCustomComm::SetLineSet(S &Stored, S Value)
{
    if (FFlowControl == fcCustom)
        Store(this, Stored, Value, LiveFlags(Stored), kApplyDCB);
}

TDTRSettings TCustomComm::DTRSettings() const { return LiveFlags(FDTRSettings); }

void TCustomComm::setDTRSettings(TDTRSettings Value)
{
    if (FOptions.Contains(coLeaveDTROpen)) {
        Value -= fsDTRHandshake;
        Value += fsDTREnabled;
    }
    if (Value.Contains(fsDTREnabled) && Value.Contains(fsDTRHandshake)) {
        if (FDTRSettings.Contains(fsDTRHandshake))
            Value -= fsDTRHandshake;
        else
            Value -= fsDTREnabled;
    }
    SetLineSet(FDTRSettings, Value);
}

TRTSSettings TCustomComm::RTSSettings() const { return LiveFlags(FRTSSettings); }
void TCustomComm::setRTSSettings(TRTSSettings Value) { SetLineSet(FRTSSettings, Value); }
TXOnXOffSettings TCustomComm::XOnXOffSettings() const { return LiveFlags(FXOnXOffSettings); }
void TCustomComm::setXOnXOffSettings(TXOnXOffSettings Value) { SetLineSet(FXOnXOffSettings, Value); }
TCommOptions TCustomComm::Options() const { return LiveFlags(FOptions); }

void TCustomComm::setOptions(TCommOptions Value)
{
    if (Opened()) {
        if (FOptions.Contains(coLeaveDTROpen))
            Value += coLeaveDTROpen;
        else
            Value -= coLeaveDTROpen;
    }
    if (Value == Options())
        return;
    FOptions = Value;
    if (!Opened())
        DeriveFlowSettings();
    else
        ApplyDCB();
}

void TCustomComm::setBuffers(const TCommBuffers &Value)
{
    FBuffers->FInputSize = Value.InputSize();
    FBuffers->FInputTimeout = Value.InputTimeout();
    FBuffers->FOutputSize = Value.OutputSize();
    FBuffers->FOutputTimeout = Value.OutputTimeout();
    if (Opened())
        ApplyBuffers();
}

void TCustomComm::setDataControl(const TCommDataControl &Value)
{
    FDataControl->FDataBits = Value.DataBits();
    FDataControl->FParity = Value.Parity();
    FDataControl->FStopBits = Value.StopBits();
    if (Opened())
        ApplyDCB();
}

void TCustomComm::setEventChars(const TCommEventChars &Value)
{
    for (int i = 0; i < 5; ++i)
        FEventChars->Field(i) = Value.GetChar(i);
    if (Opened())
        ApplyDCB();
}

void TCustomComm::setTimeouts(const TCommTimeoutsEx &Value)
{
    for (int i = 0; i < 5; ++i)
        FTimeouts->FValues[i] = Value.GetValue(i);
    if (Opened())
        ApplyTimeouts();
}
