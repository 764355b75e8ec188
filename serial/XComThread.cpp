// The port event thread: waits for comm events and hands them to the component.

#include "serial/XComDrv.h"

#include "platform/sync/ThreadSync.h"

#include <QtGlobal>
#include <exception>

using namespace comm;

namespace {
// Every comm event from EV_RXCHAR to EV_EVENT2 but EV_TXEMPTY.
constexpr DWORD kWaitMask = 0x1FFB;
} // namespace

TCommEventThread::TCommEventThread(TCustomComm *AComm)
    : FStopEvent(CreateEvent(nullptr, true, false, nullptr)), FComm(AComm)
{
    SetCommMask(FComm->Handle(), kWaitMask);
    FThread = std::thread([this] { Execute(); });
}

TCommEventThread::~TCommEventThread()
{
    SetEvent(FStopEvent.get());
    std::this_thread::yield();
    if (threadsync::isMainThread())
        threadsync::serveUntil([this] { return FFinished.load(); });
    FThread.join();
}

void TCommEventThread::Execute()
{
    const HANDLE port = FComm->Handle();
    UniqueHandle waitEvent(CreateEvent(nullptr, true, true, nullptr));
    OVERLAPPED ov{};
    ov.hEvent = waitEvent.get();
    const HANDLE pair[2] = {FStopEvent.get(), waitEvent.get()};
    for (;;) {
        // A wait that fails at once (the device is gone) ends the loop too.
        if (!WaitCommEvent(port, &FEventMask, &ov) && GetLastError() != ERROR_IO_PENDING)
            break;
        if (WaitForMultipleObjects(2, pair, false, INFINITE) != WAIT_OBJECT_0 + 1)
            break;
        DWORD unused = 0;
        if (!GetOverlappedResult(port, &ov, &unused, false))
            break;
        try {
            if (FComm->Synchronize())
                threadsync::synchronize([this] { DoEvents(); });
            else
                DoEvents();
        } catch (const std::exception &e) {
            // A failing handler must not end the process or the port's deliveries.
            qWarning("Serial port event handler failed: %s", e.what());
        } catch (...) {
            qWarning("Serial port event handler failed");
        }
    }
    // Also completes a wait still pending, so the OVERLAPPED can go.
    SetCommMask(port, 0);
    FFinished.store(true);
    threadsync::wake();
}

void TCommEventThread::DoEvents()
{
    if (FEventMask != 0 && FComm)
        FComm->ProcessEvents(TDeviceEvents::FromBits(FEventMask & 0xFFFF));
}
