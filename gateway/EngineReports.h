#pragma once

#include <functional>
#include <string>

class QWidget;

// What the engine reports to the gateway window, and what it reads from it.
// The window implements this; tests record it. Texts are UTF-8.
//
// Every report operation is called on the main thread only: reports made on
// the drive thread are queued to the main thread and applied there in the
// order they were made, together with the main thread's own reports (which
// are applied at once). After the target is withdrawn (engine::setReports
// with null) queued and later reports are dropped.
class IEngineReports {
public:
    virtual ~IEngineReports() = default;

    // Appends one line at the end of the log pane FXMemo.
    virtual void LogLine(const std::string &line) = 0;
    // Status bar panel 1 (device state) := text.
    virtual void DeviceState(const std::string &text) = 0;
    // Status bar panel 3 (port state) := text.
    virtual void PortState(const std::string &text) = 0;
    // Adds a row at the end of the received list ListView2: caption (the
    // sender), then the text and the time-stamp text.
    virtual void ReceivedRow(const std::string &caption, const std::string &text, const std::string &time) = 0;
    // The service-centre number FSCA as it stands. Called on either thread,
    // under the engine lock: it must be safe against the window changing
    // FSCA on the main thread (guard it), must return promptly and must not
    // touch widgets or wait for the main thread. The window must not hold
    // that guard while it calls into the engine (lock order: engine lock,
    // then the guard).
    virtual std::string ServiceCentre() const = 0;
    // The hidden panel Panel2 that holds each channel's command edit and
    // monitor memo; main thread, asked once per channel at its set-up.
    virtual QWidget *MonitorParent() = 0;

    // The command server's reports; a target without a window ignores them.
    // Adds a row at the end of the sent list ListView1: number, text, time.
    virtual void SentRow(const std::string &, const std::string &, const std::string &) {}
    // Hides the window; shows it and brings it to the front.
    virtual void HideWindow() {}
    virtual void ShowWindow() {}
    // Channel 1's SendQueue or RecvList has changed. Coalesced: one call,
    // from the event loop, for all the changes made since the last one.
    virtual void QueuesChanged() {}
};

namespace engine {

// Main thread: installs the report target; null withdraws it (the window
// does so when it is being destroyed). Takes the engine lock, so no drive
// thread call of ServiceCentre is under way when it returns.
void setReports(IEngineReports *target);
// Main thread: the target, or null.
IEngineReports *reports();

// Any thread; see IEngineReports for what each does.
void logLine(const std::string &line);
void deviceState(const std::string &text);
void portState(const std::string &text);
void receivedRow(const std::string &caption, const std::string &text, const std::string &time);
void sentRow(const std::string &number, const std::string &text, const std::string &time);
void hideWindow();
void showWindow();
// Any thread, cheap: asks for one QueuesChanged call from the main thread's
// event loop, unless one is asked for already. Call it after every change
// of a SendQueue or RecvList (with or without the engine lock).
void queuesChanged();
// Any thread, under the engine lock; "" without a target.
std::string serviceCentre();

// Runs call on the main thread in order with the reports: at once when
// called there, otherwise queued. A call that throws is dropped with a
// warning. Without a Qt application object it runs at once.
void onMainThread(std::function<void()> call);
// Main thread: runs whatever is queued now (tests call it before they
// withdraw their target).
void flushReports();

} // namespace engine
