#pragma once

// What every gateway test shares: sample delivers, a report target that
// records and stands in for the engine host, and a call under the engine
// lock.

#include "gateway/EngineGlobals.h"
#include "gateway/EngineReports.h"
#include "gateway/GateWay.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

// Delivers as the modem hands them over (centre +8613800210500, UCS-2): one
// from +8613513254678, "你好", and one from +8613912345678, "第二条".
inline const std::string kFirstDeliver = "0891683108200105F0040D91683115234576F8000821503041709023044F60597D";
inline const std::string kSecondDeliver = "0891683108200105F0040D91683119325476F8000821503041800023067B2C4E8C6761";
// "你好" to 13912345678 through the centre 13800210500, written out by hand.
inline const std::string kHelloPdu = "0891683108200105F011000D91683119325476F80008A8044F60597D";

// Records every report of the engine and the command server as the gateway
// window would show it, and stands in for the engine host: answers centre
// as the service centre until setServiceCentre.
class RecordingReports : public IEngineReports, public IEngineHost {
public:
    struct Received {
        std::string caption, text, time;
    };
    struct Sent {
        std::string number, text, time;
    };

    explicit RecordingReports(std::string centre = "13800210500") : sca(std::move(centre)) {}

    void LogLine(const std::string &line) override { log.push_back(line); }
    void DeviceState(const std::string &text) override { device.push_back(text); }
    void PortState(const std::string &text) override { port.push_back(text); }
    void ReceivedRow(const std::string &caption, const std::string &text, const std::string &time) override
    {
        rows.push_back({caption, text, time});
    }
    void SentRow(const std::string &number, const std::string &text, const std::string &time) override
    {
        sent.push_back({number, text, time});
    }
    void StoreState(const std::string &text) override { store.push_back(text); }
    void HideWindow() override { ++hides; }
    void ShowWindow() override { ++shows; }
    void MonitorText(int channel, const std::string &text) override { monitor[channel] += text; }
    std::string ServiceCentre() const override
    {
        std::lock_guard lock(scaMutex);
        return sca;
    }
    void QueuesChanged() override {}

    void setServiceCentre(const std::string &value)
    {
        std::lock_guard lock(scaMutex);
        sca = value;
    }
    // Log lines equal to line; log lines that hold part; whether any does.
    int count(const std::string &line) const { return static_cast<int>(std::count(log.begin(), log.end(), line)); }
    int logCount(const std::string &part) const
    {
        return static_cast<int>(std::count_if(log.begin(), log.end(),
                                              [&](const std::string &l) { return l.find(part) != std::string::npos; }));
    }
    bool logHas(const std::string &part) const { return logCount(part) > 0; }

    std::vector<std::string> log, device, port, store;
    std::vector<Received> rows;
    std::vector<Sent> sent;
    int hides = 0, shows = 0;
    std::map<int, std::string> monitor; // by channel number, as reported

private:
    mutable std::mutex scaMutex;
    std::string sca;
};

// Runs f under the engine lock and returns its value.
template <typename F> auto locked(F f)
{
    EngineLock lock;
    return f();
}
