// The telephony service of the DLL: the portable line service on the hidden window's host, its
// line devices and timed events from a script file, and the clock the journal stamps calls with.
//
// Environment:
//   RINGWARD_TAPI_SCRIPT  a script of the simulated machine (calls, hang-ups, raw messages,
//                         failures, devices); without it one Agere voice modem and no calls.
//                         Registry lines are left to the real registry, user actions to the
//                         desktop, wave-device lines to the real sound devices.
//   RINGWARD_TAPI_START   when set, the script's times count from the moment this file exists;
//                         otherwise from the program's registration with the API.
//   RINGWARD_TAPI_LOG     a file to which the devices' notes and every call are appended.
#include "platform/sim/journal.h"
#include "platform/sim/script.h"
#include "platform/sim/sim.h"
#include "platform/tapidll/log.h"
#include "platform/tapidll/window_host.h"

#include <windows.h>

#include <memory>

HINSTANCE tapidllModule = nullptr; // set by DllMain

namespace {

enum : DWORD { kPathSize = MAX_PATH };

// Where a modem's provider keeps its settings; "wave/out" answers the sound system's first
// wave-out device, which is what a test machine plays through.
const char kDefaultModemKey[] =
    "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96D-E325-11CE-BFC1-08002BE10318}\\0000";
const char kDefaultModemName[] = "Agere Systems HDA Modem";
const DWORD kDefaultWaveOut = 0;

const ULONGLONG startTick = GetTickCount64();

std::string Environment(const char *name) {
    char value[kPathSize];
    DWORD length = GetEnvironmentVariableA(name, value, kPathSize);
    if (length == 0 || length >= kPathSize)
        return "";
    return value;
}

tapidll::WindowHost &Host() {
    static tapidll::WindowHost host;
    return host;
}

sim::LineDeviceConfig DefaultModem() {
    sim::LineDeviceConfig device;
    device.name = kDefaultModemName;
    device.devSpecific = sim::ModemDevSpecific(kDefaultModemKey);
    device.waveOutId = kDefaultWaveOut;
    return device;
}

DWORD MessageDevice(sim::LineService &service, const sim::ScriptEvent &event) {
    switch (event.target) {
    case sim::TARGET_CALL:
        return service.CallHandle(event.callNumber);
    case sim::TARGET_VALUE:
        return event.targetValue;
    default:
        return service.OpenLine();
    }
}

void Perform(sim::LineService &service, const sim::ScriptEvent &event) {
    uint64_t now = sim::NowMs();
    switch (event.action) {
    case sim::SCRIPT_CALL:
        service.ScheduleCall(event.call, now);
        break;
    case sim::SCRIPT_HANGUP:
        service.HangUpFarEnd(event.callNumber);
        break;
    case sim::SCRIPT_MESSAGE:
        service.InjectMessage(now, MessageDevice(service, event), event.msg, event.params[0],
                              event.params[1], event.params[2]);
        break;
    case sim::SCRIPT_FAIL:
        tapidll::LogLine("next failure of " + event.function + " set");
        sim::FailCall(event.function, event.result, event.nth, event.text);
        break;
    case sim::SCRIPT_USER:
        tapidll::LogLine("script line " + std::to_string(event.line) + ": \"" + event.user +
                         "\" is for the desktop to do; passed over");
        break;
    }
}

// Schedules the events once from base on; with a loop the next round follows.
void ScheduleRound(sim::LineService &service, std::shared_ptr<sim::Script> script, uint64_t base) {
    for (const sim::ScriptEvent &event : script->events)
        Host().At(base + event.atMs, [&service, event] { Perform(service, event); });
    if (script->loopMs > 0)
        Host().At(base + script->loopMs, [&service, script, base] {
            ScheduleRound(service, script, base + script->loopMs);
        });
}

// A script that cannot be read leaves the machine without line devices, so that the program
// reports that no modem was found, and says why in the log and in a box of its own.
bool ReadScript(const std::string &path, sim::Script *script) {
    std::string error;
    if (sim::LoadScriptFile(path, script, &error))
        return true;
    tapidll::LogLine("script not used: " + error);
    MessageBoxA(nullptr, ("Script not used: " + error).c_str(), "Telephony test service",
                MB_ICONERROR);
    return false;
}

void SetUp(sim::LineService &service) {
    if (!Host().Start(tapidllModule, &service))
        tapidll::LogLine("the hidden window could not be created: no line messages");
    std::string path = Environment("RINGWARD_TAPI_SCRIPT");
    auto script = std::make_shared<sim::Script>();
    if (!path.empty() && !ReadScript(path, script.get())) {
        service.Devices().clear();
        return;
    }
    if (script->machine.standard)
        service.Devices().push_back(DefaultModem());
    for (const sim::LineDeviceConfig &device : script->machine.devices)
        service.Devices().push_back(device);
    tapidll::LogLine("service up with " + std::to_string(service.Devices().size()) +
                     " line device(s)" + (path.empty() ? "" : ", script " + path));
    if (!script->machine.registry.empty())
        tapidll::LogLine("the script's registry lines are passed over: the values come from the "
                         "real registry");

    std::string startFile = Environment("RINGWARD_TAPI_START");
    if (startFile.empty()) {
        ScheduleRound(service, script, sim::NowMs());
        return;
    }
    Host().WhenFileExists(startFile,
                          [&service, script] { ScheduleRound(service, script, sim::NowMs()); });
}

} // namespace

namespace sim {

uint64_t NowMs() {
    return (uint64_t)(GetTickCount64() - startTick);
}

// Comes up with the first telephony call, on the thread that made it: the one that registers
// with the API, whose message loop then carries the line messages.
LineService &TheLineService() {
    static LineService service(&Host());
    static bool started = false;
    if (!started) {
        started = true;
        SetUp(service);
    }
    return service;
}

} // namespace sim
