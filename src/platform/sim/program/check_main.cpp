// ringward-check on Linux: the simulated operating system gives it the real files (fopen, the
// multimedia file I/O) and the real clock, and keeps no journal of what it does. The telephony
// commands run on a simulated machine: the default one (one Agere voice modem), or the one that
// --machine FILE or a --script FILE describes; a script also places its calls, hang-ups and raw
// messages on the line, on the simulated clock unless --clock real says otherwise. When the
// simulated machine has nothing more to do, a watch ends as on Ctrl-C.
#include "check/check.h"
#include "platform/sim/records.h"
#include "platform/sim/script_runner.h"
#include "platform/sim/sim.h"

#include <stdio.h>
#include <string.h>
#include <string>

namespace {

const char kUsage[] = "options before the command, on Linux only:\n"
                      "  --machine FILE    the simulated machine (line devices, registry values)\n"
                      "  --script FILE     a machine and the calls it places on the line\n"
                      "  --clock real|simulated\n"
                      "                    simulated time runs at once (default with --script)\n";

struct Options {
    std::string machine, script, clock;
    int first = 1; // the first argument that is not one of these
};

bool ParseOptions(int argc, char **argv, Options *o) {
    for (; o->first < argc; o->first += 2) {
        std::string arg = argv[o->first];
        std::string *target = arg == "--machine"  ? &o->machine
                              : arg == "--script" ? &o->script
                              : arg == "--clock"  ? &o->clock
                                                  : nullptr;
        if (!target)
            break;
        if (o->first + 1 >= argc) {
            fprintf(stderr, "ringward-check: %s needs a value\n%s", arg.c_str(), kUsage);
            return false;
        }
        *target = argv[o->first + 1];
    }
    if (!o->clock.empty() && o->clock != "real" && o->clock != "simulated") {
        fprintf(stderr, "ringward-check: --clock is real or simulated\n%s", kUsage);
        return false;
    }
    return true;
}

bool SetUpMachine(const Options &o) {
    sim::Script script;
    std::string error;
    if (!o.script.empty() && !sim::LoadScriptFile(o.script, &script, &error)) {
        fprintf(stderr, "ringward-check: %s\n", error.c_str());
        return false;
    }
    for (const sim::ScriptEvent &event : script.events) {
        if (event.action == sim::SCRIPT_USER) {
            fprintf(stderr, "ringward-check: %s:%d: user actions are the program's\n",
                    o.script.c_str(), event.line);
            return false;
        }
    }
    if (!o.machine.empty() && !sim::LoadMachineFile(o.machine, &script.machine, &error)) {
        fprintf(stderr, "ringward-check: --machine %s\n", error.c_str());
        return false;
    }
    bool simulated = o.clock.empty() ? !o.script.empty() : o.clock == "simulated";
    if (simulated)
        sim::UseSimulatedClock();
    else
        sim::UseRealClock();
    sim::LoadMachine(script.machine);
    sim::ScheduleScript(script, nullptr); // the check above let no user action through
    return true;
}

} // namespace

int main(int argc, char **argv) {
    Options options;
    if (!ParseOptions(argc, argv, &options))
        return kExitUsage;
    if (!SetUpMachine(options))
        return kExitUsage;
    sim::KeepJournal(false);
    sim::SetInputSource(&sim::ConsoleInput());
    sim::SetIdleEndHandler([] {
        fprintf(stderr, "ringward-check: the simulated machine has nothing more to do: as on "
                        "Ctrl-C\n");
        sim::RaiseConsoleCtrl(CTRL_C_EVENT);
    });
    int first = options.first - 1; // the program's name stays in front
    argv[first] = argv[0];
    int code = RunCheck(argc - first, argv + first, stdout, stderr);
    if (argc - first >= 2 && strcmp(argv[first + 1], "--help") == 0)
        fputs(kUsage, stdout);
    return code;
}
