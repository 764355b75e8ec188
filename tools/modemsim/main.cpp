// modemsim: a GSM modem in PDU mode on a pseudo-terminal. Usage in README.md.
#include "Pty.h"
#include "Sim.h"
#include "Storage.h"

#include <getopt.h>
#include <iostream>
#include <unistd.h>

namespace {

const char kUsage[] = "usage: modemsim --link PATH [--control SOCKET] [--log FILE] [--scenario FILE] [--baud RATE]\n"
                      "  --link PATH        symbolic link to the modem's terminal, the serial port to open\n"
                      "  --control SOCKET   Unix socket for control commands (faults, incoming SMS)\n"
                      "  --log FILE         record every byte, command and submitted PDU\n"
                      "  --scenario FILE    storages, phone book and identity to start from\n"
                      "  --baud RATE        answer only when the port is set to this speed (default: any)\n";

bool parse(int argc, char **argv, Options &o)
{
    static const option longOptions[] = {
        {"link", required_argument, nullptr, 'l'},
        {"control", required_argument, nullptr, 'c'},
        {"log", required_argument, nullptr, 'g'},
        {"scenario", required_argument, nullptr, 's'},
        {"baud", required_argument, nullptr, 'b'},
        {"help", no_argument, nullptr, 'h'},
        {nullptr, 0, nullptr, 0},
    };
    int c;
    while ((c = getopt_long(argc, argv, "", longOptions, nullptr)) != -1) {
        switch (c) {
        case 'l': o.link = optarg; break;
        case 'c': o.control = optarg; break;
        case 'g': o.log = optarg; break;
        case 's': o.scenario = optarg; break;
        case 'b': try { o.baud = static_cast<unsigned>(std::stoul(optarg));
            } catch (...) {
                o.baud = 1; // not a standard speed: refused below
            }
            if (!Pty::isStandardSpeed(o.baud)) {
                std::cerr << "modemsim: " << optarg << " is not a serial line speed\n";
                return false;
            }
            break;
        default: return false;
        }
    }
    return optind == argc && !o.link.empty();
}

} // namespace

int main(int argc, char **argv)
{
    // A descriptor inherited from the parent (say a test's open terminal)
    // would keep a terminal side open and hide every later close.
    close_range(3, ~0U, 0);

    Options options;
    if (!parse(argc, argv, options)) {
        std::cerr << kUsage;
        return 2;
    }
    Scenario scenario;
    std::string error;
    if (!options.scenario.empty() && !loadScenario(options.scenario, scenario, error)) {
        std::cerr << "modemsim: " << error << "\n";
        return 1;
    }
    Sim sim(std::move(options), std::move(scenario));
    return sim.run();
}
