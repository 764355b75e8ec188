#pragma once

#include <functional>
#include <string>

// What the engine reports to the gateway window. The window implements this;
// tests record it; without a target nothing is shown. Texts are UTF-8.
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
    // Reports that only a window shows; other targets may ignore them.
    // The status bar's word on the queue files: text while one of them
    // cannot be written (messages are kept in memory only), "" once each
    // holds its queue again.
    virtual void StoreState(const std::string &) {}
    // Adds a row at the end of the sent list ListView1: number, text, time.
    virtual void SentRow(const std::string &, const std::string &, const std::string &) {}
    // Hides the window; shows it and brings it to the front.
    virtual void HideWindow() {}
    virtual void ShowWindow() {}
    // Appends text to channel number's monitor memo MonitorMemo (every
    // command written through TSMSCtr::SendCmd, every typed line); a CR in
    // text starts a new line.
    virtual void MonitorText(int, const std::string &) {}
};

namespace engine {

// Main thread: installs the report target; null withdraws it (the window
// does so when it is being destroyed).
void setReports(IEngineReports *target);
// Main thread: the target, or null.
IEngineReports *reports();

// Any thread; see IEngineReports for what each does.
void logLine(const std::string &line);
void deviceState(const std::string &text);
void portState(const std::string &text);
void receivedRow(const std::string &caption, const std::string &text, const std::string &time);
void sentRow(const std::string &number, const std::string &text, const std::string &time);
void storeState(const std::string &text);
void hideWindow();
void showWindow();
void monitorText(int channel, const std::string &text);

// Runs call on the main thread in order with the reports: at once when
// called there, otherwise queued. A call that throws is dropped with a
// warning. Without a Qt application object it runs at once.
void onMainThread(std::function<void()> call);
// Main thread: runs whatever is queued now (tests call it before they
// withdraw their target).
void flushReports();

} // namespace engine
