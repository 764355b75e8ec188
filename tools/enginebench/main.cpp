// enginebench: what the running gateway engine costs.
//   enginebench [seconds, default 60]
//       CPU time of the idle engine (IdleBench.cpp)
//   enginebench --memory [messages each way, default 10000]
//       resident memory of the engine and its window while messages go out
//       and come in (MemoryBench.cpp)

#include "EngineRig.h"

#include "data/WorkFolder.h"
#include "platform/text/Profile.h"

#include <QApplication>
#include <QCoreApplication>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

EngineRig::EngineRig()
{
    if (!sim.started()) {
        std::fprintf(stderr, "modem simulator did not start: %s\n", sim.errorOutput().c_str());
        return;
    }
    workfolder::create(dir.path());
    profile::writeString("CH1", "COMPORT", sim.port(), "smsset.ini");
    dm = std::make_unique<TDataModule1>();
    DataModule1 = dm.get();
}

EngineRig::~EngineRig()
{
    if (DataModule1 == dm.get())
        DataModule1 = nullptr;
}

int main(int argc, char **argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--memory") == 0) {
        // The window is measured as the desk shows it, without a display.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication app(argc, argv);
        return memoryBench(argc > 2 ? std::max(1000, std::atoi(argv[2])) : 10000);
    }
    QCoreApplication app(argc, argv);
    return idleBench(argc > 1 ? std::max(1, std::atoi(argv[1])) : 60);
}
