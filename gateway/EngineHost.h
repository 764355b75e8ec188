#pragma once

#include "gateway/GateWay.h"
#include "gateway/QueueFiles.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

class TDriveThread;

// The owner of the running engine: the gateway "GW01" with its command
// server, the drive thread, the service-centre number FSCA, the settings of
// "smsset.ini" and the queue files "ReadBuf.TXT" / "SendBuf.TXT". The
// gateway window drives it from its handlers; a program or test without a
// window calls Start. One running host per process (it sets the globals
// Gateway and DriveThread). Created, started and destroyed on the main
// thread, whose event loop must run for the queue files to follow changes.
//
// Queue persistence has one owner, the host's TQueueStore (QueueFiles.h):
// a message the send path queues is on disk when Send returns, and one the
// read controller lists for READ before it may be deleted from the modem
// (ReceivedQueued); every other change of channel 1's SendQueue or RecvList
// reaches QueuesChanged (any thread), which has the store's writer thread
// rewrite the files. Nothing
// on the caller's thread grows with the queues.
class TEngineHost : public IEngineHost {
public:
    TEngineHost();
    // Stop.
    ~TEngineHost() override;
    TEngineHost(const TEngineHost &) = delete;
    TEngineHost &operator=(const TEngineHost &) = delete;

    // The engine start of the gateway window's first activation, in order:
    // StartEngine, ReadServiceCentre, LoadQueues. Returns LoadQueues's errors.
    std::vector<std::string> Start();
    // Once; later calls do nothing: builds the gateway "GW01" (Gateway),
    // whose channel 1 opens its port and whose command server listens, then
    // starts the drive thread (DriveThread).
    void StartEngine();
    // The gateway once started (Gateway), else null.
    TGateWay *Engine() const { return gateway_.get(); }
    // FSCA := "smsset.ini" COMMON/SCA (default "+8613800100500"), without
    // a leading "+86"; a value that does not fit an address
    // (TEasyLinkCtr::NumberFault) is said in the log pane and the default
    // taken instead.
    void ReadServiceCentre();
    // Appends "ReadBuf.TXT" to channel 1's RecvList and "SendBuf.TXT" to its
    // SendQueue (TQueueStore::Load); from then on the files follow every
    // change. Returns one text for each file that exists but cannot be
    // read. Once; nothing before StartEngine.
    std::vector<std::string> LoadQueues();

    // The service-centre number in use, national form; any thread.
    std::string FSCA() const;
    void SetFSCA(const std::string &value);
    // Writes value, as it stands, to "smsset.ini" COMMON/SCA; FSCA := value
    // without a leading "+86". A value that does not fit an address changes
    // nothing: its fault is returned (TEasyLinkCtr::NumberFault), else "".
    std::string StoreServiceCentre(const std::string &value);
    // Channel 1's port name; before the engine start the one in
    // "smsset.ini" CH1/COMPORT (default "COM1").
    std::string PortName() const;
    // Writes name to "smsset.ini" CH1/COMPORT and gives it to channel 1's
    // port, which takes it at its next opening.
    void StorePortName(const std::string &name);

    // The way of the window's send box (and so of the desk's dispatch) into
    // the engine: queues text for number on channel 1 through FSCA
    // (TEasyLinkCtr::SendSMS). On return the message is in the send queue
    // and, once the queues are loaded, in "SendBuf.TXT" on disk. False, with
    // nothing queued, before the engine start and for a number the send path
    // refuses (the log pane says why).
    bool Send(const std::string &number, const std::string &text);

    // The desk's hand-over of one of its rows: Send, all or nothing across
    // a kill. row names the row (its key and values); it is kept in the
    // hand-over journal until HandOverMarked, so that a run killed before
    // the mark finds it in TakeUnmarkedHandOvers instead of sending it
    // again.
    enum class THandOver {
        Queued,  // queued and on disk: mark the row
        Refused, // the send path refused the number (the log pane says why): mark it too
        NotKept, // not queued, since it could not be put on disk (or the engine is not up): try again later
    };
    THandOver HandOver(const std::vector<std::string> &row, const std::string &number, const std::string &text);
    // The desk has marked row, or found that it no longer holds what was
    // handed over.
    void HandOverMarked(const std::vector<std::string> &row);
    // Rows of earlier runs whose messages were queued but whose mark may be
    // missing; each once, after LoadQueues.
    std::vector<std::vector<std::string>> TakeUnmarkedHandOvers();

    // Writes both queue files from channel 1 now (TQueueStore::Save);
    // nothing until LoadQueues has run, so a start that failed never
    // replaces them. A failure is said once in the log pane.
    void SaveQueues();

    // Program end, main thread: stops and joins the drive thread (port
    // deliveries are served meanwhile), writes the queue files and frees the
    // gateway, closing its port and command server. Gateway and DriveThread
    // are null afterwards. The engine cannot be started again.
    void Stop();
    // After Stop: the queue files that do not hold their whole queue, whose
    // missing messages are lost with the program's end.
    const std::vector<TQueueStore::TUnsaved> &Unsaved() const { return unsaved_; }

    // IEngineHost.
    std::string ServiceCentre() const override { return FSCA(); }
    void QueuesChanged() override;
    void SendQueued(const std::vector<std::string> &lines) override;
    bool ReceivedQueued(const std::string &line) override;
    bool ReceivedKept(const std::string &line) const override;

private:
    TSMSChannel *Channel1() const;
    // The gateway's send path; null before the start.
    TEasyLinkCtr *EasyLink() const;

    std::unique_ptr<TGateWay> gateway_;
    // Made before the drive thread starts and freed after it has ended, so
    // that QueuesChanged may use it from either thread.
    std::unique_ptr<TQueueStore> store_;
    std::unique_ptr<TDriveThread> drive_;
    std::vector<TQueueStore::TUnsaved> unsaved_;
    bool queuesLoaded_ = false;
    bool stopped_ = false;
    mutable std::mutex scaGuard_; // a leaf lock: nothing is called while it is held
    std::string sca_;
};

// The program's engine host; null until the program makes it.
extern TEngineHost *EngineHost;
// The engine's gateway and drive thread while a host runs them; null before
// its engine start and after its end. Written on the main thread before the
// drive thread starts and after it has stopped.
extern TGateWay *Gateway;
extern TDriveThread *DriveThread;
