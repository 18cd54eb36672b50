// Playing scripts on the simulated machine: the machine description, and each timed event as a
// timer that makes the line, the user or a failure happen.
#include "platform/sim/script_runner.h"

#include "platform/sim/multimedia.h"
#include "platform/sim/registry.h"
#include "platform/sim/sim.h"
#include "platform/sim/telephony.h"
#include "platform/sim/ui.h"

#include <memory>
#include <signal.h>
#include <stdlib.h>

namespace sim {

static const char kDefaultMaker[] = "Agere Systems";
static const UINT kAboutCommand = 0x10;

void LoadDefaultMachine() {
    TheLineService().Devices() = {VoiceModemDevice(kDefaultModemKey, 0)};
    SetRegistryString(kDefaultModemKey, "Manufacturer", kDefaultMaker);
    SetWaveOutDevices(DefaultWaveOutDevices());
}

static WaveOutDevice ToWaveDevice(const WaveDeviceDescription &described) {
    WaveOutDevice device;
    device.name = described.name;
    device.preferred = described.preferred;
    for (const std::vector<uint32_t> &f : described.formats)
        device.nativeFormats.push_back({(WORD)f[0], (WORD)f[1], f[2], (WORD)f[3]});
    return device;
}

void LoadMachine(const MachineDescription &described) {
    if (described.standard)
        LoadDefaultMachine();
    else
        TheLineService().Devices().clear();
    for (const LineDeviceConfig &device : described.devices)
        TheLineService().Devices().push_back(device);
    for (const RegistryText &value : described.registry)
        SetRegistryString(value.key, value.name, value.text);
    if (!described.waveDevices.empty()) {
        std::vector<WaveOutDevice> devices;
        for (const WaveDeviceDescription &w : described.waveDevices)
            devices.push_back(ToWaveDevice(w));
        SetWaveOutDevices(devices);
    }
}

static DWORD MessageDevice(const ScriptEvent &event) {
    switch (event.target) {
    case TARGET_CALL:
        return TheLineService().CallHandle(event.callNumber);
    case TARGET_VALUE:
        return event.targetValue;
    default:
        return TheLineService().OpenLine();
    }
}

static void Perform(const ScriptEvent &event, const UserActionHandler &user) {
    LineService &line = TheLineService();
    switch (event.action) {
    case SCRIPT_CALL:
        line.ScheduleCall(event.call, NowMs());
        break;
    case SCRIPT_HANGUP:
        line.HangUpFarEnd(event.callNumber);
        break;
    case SCRIPT_MESSAGE:
        line.InjectMessage(NowMs(), MessageDevice(event), event.msg, event.params[0],
                           event.params[1], event.params[2]);
        break;
    case SCRIPT_FAIL:
        FailCall(event.function, event.result, event.nth, event.text);
        break;
    case SCRIPT_USER:
        if (user)
            user(event);
        break;
    }
}

// Schedules the events once, starting at base; with a loop, the next round follows.
static void ScheduleRound(std::shared_ptr<Script> script, uint64_t base, UserActionHandler user) {
    for (const ScriptEvent &event : script->events)
        AddTimer(base + event.atMs, [event, user] { Perform(event, user); });
    if (script->loopMs > 0)
        AddTimer(base + script->loopMs,
                 [script, base, user] { ScheduleRound(script, base + script->loopMs, user); });
}

void ScheduleScript(const Script &script, UserActionHandler user) {
    ScheduleRound(std::make_shared<Script>(script), NowMs(), std::move(user));
}

static bool ParseId(const std::string &text, UINT *id) {
    char *end = nullptr;
    unsigned long value = strtoul(text.c_str(), &end, 0);
    if (text.empty() || *end != '\0')
        return false;
    *id = (UINT)value;
    return true;
}

static bool PerformKey(const std::string &what) {
    static const struct {
        const char *name;
        Key key;
    } keys[] = {{"escape", Key::Escape},
                {"enter", Key::Enter},
                {"tab", Key::Tab},
                {"shift-tab", Key::ShiftTab},
                {"space", Key::Space}};
    for (const auto &k : keys) {
        if (what == k.name) {
            PressKey(k.key);
            return true;
        }
    }
    return false;
}

bool PerformUserAction(const ScriptEvent &event) {
    const std::string &what = event.user, &arg = event.argument;
    UINT id = 0;
    if (what == "press") {
        if (arg == "start" || arg == "stop")
            id = 1000;
        else if (arg == "exit")
            id = 1001;
        else if (!ParseId(arg, &id))
            return false;
        PressButton((int)id);
        return true;
    }
    if (!arg.empty() && what != "command" && what != "syscommand" && what != "signal")
        return false;
    if (what == "ok") {
        AnswerMessageBox(IDOK);
    } else if (PerformKey(what)) {
    } else if (what == "close") {
        CloseWindow();
    } else if (what == "about") {
        ChooseSystemCommand(kAboutCommand);
    } else if (what == "command" && ParseId(arg, &id)) {
        SendCommand((int)id);
    } else if (what == "syscommand" && ParseId(arg, &id)) {
        ChooseSystemCommand(id);
    } else if (what == "minimize" || what == "restore") {
        if (IsMinimized() != (what == "restore"))
            return true; // already so
        ToggleMinimized();
    } else if (what == "signal" && (arg == "TERM" || arg == "HUP")) {
        raise(arg == "TERM" ? SIGTERM : SIGHUP);
    } else {
        return false;
    }
    return true;
}

} // namespace sim
