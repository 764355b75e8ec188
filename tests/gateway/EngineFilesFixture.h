#pragma once

// The engine host in a fresh work folder whose port does not exist: nothing
// leaves the queues by itself, so a test takes messages off as a send or a
// READ would, and watches the queue files follow. Time runs at 1/10.

#include "EngineSupport.h"

#include <QDir>

// "二" to 13912345678 through the centre 13800210500.
inline const std::string kSecondSubmit = "0891683108200105F011000D91683119325476F80008A8024E8C";

class EngineFilesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir.write("smsset.ini", iniText(dir.file("nomodem")));
        engineclock::setScale(0.1);
        resetEngineGlobals();
        engine::setReports(&reports);
    }
    void TearDown() override
    {
        host.reset();
        engine::flushReports();
        engine::setReports(nullptr);
        engineclock::setScale(1.0);
    }
    TSMSChannel &channel() { return *Gateway->Channels[1]; }
    bool mkdir(const std::string &name)
    {
        return QDir(QString::fromStdString(dir.path())).mkdir(QString::fromStdString(name));
    }
    bool rmdir(const std::string &name)
    {
        return QDir(QString::fromStdString(dir.path())).rmdir(QString::fromStdString(name));
    }
    int logged(const std::string &part)
    {
        engine::flushReports();
        return reports.logCount(part);
    }

    // The log pane and the status words so far, for a failure's message.
    std::string said()
    {
        engine::flushReports();
        std::string all;
        for (const std::string &line : reports.log)
            all += line + "\n";
        for (const std::string &state : reports.store)
            all += "status: [" + state + "]\n";
        return all;
    }

    WorkDir dir;
    RecordingReports reports;
    std::unique_ptr<TEngineHost> host = std::make_unique<TEngineHost>();
};
