#pragma once

#include "data/DM1.h"
#include "support/ModemSim.h"
#include "support/WorkDir.h"

#include <memory>

// What each measurement starts from: the modem simulator, a fresh work
// folder (made the current directory) with the desk's files and a
// "smsset.ini" that names the simulator's port, and the data module.
class EngineRig {
public:
    // Says on stderr why when the simulator does not start.
    EngineRig();
    ~EngineRig();
    EngineRig(const EngineRig &) = delete;
    EngineRig &operator=(const EngineRig &) = delete;

    bool started() const { return sim.started(); }

    ModemSim sim;
    WorkDir dir;
    std::unique_ptr<TDataModule1> dm;
};

// The two measurements (IdleBench.cpp, MemoryBench.cpp); each returns the
// program's exit code. The application object exists already.
int idleBench(int seconds);
int memoryBench(int messages);
