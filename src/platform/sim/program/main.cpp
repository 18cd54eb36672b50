// The Linux program: Ringward on the simulated operating system. With no options it shows the
// terminal dialog on the default machine with the real clock; --calls adds a stream of scripted
// calls (the demo); --script runs headless, the script playing the user as well.
#include "platform/afx.h"
#include "platform/sim/multimedia.h"
#include "platform/sim/records.h"
#include "platform/sim/script_runner.h"
#include "platform/sim/sim.h"
#include "platform/sim/ui.h"
#include "screening/screening.h"

#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <string>
#include <thread>

namespace {

const int kUsageError = 2; // bad options or script: the program never started

struct Options {
    std::string script;  // --script: headless
    std::string calls;   // --calls: line events for the terminal dialog
    std::string machine; // --machine
    std::string played;  // --played
    std::string clock;   // "real", "simulated" or "" for the mode's default
    int64_t start = sim::kDefaultStartTime;
    bool startGiven = false;
};

const char kUsage[] =
    "usage: ringward [options]\n"
    "  --script FILE      run headless: FILE drives the user, the line and the machine\n"
    "  --calls FILE       the terminal dialog, with the line events of FILE (the demo)\n"
    "  --machine FILE     the simulated machine (line devices, registry, wave-out devices)\n"
    "  --clock real|simulated\n"
    "                     simulated time runs at once with exact times (default with\n"
    "                     --script); real time otherwise\n"
    "  --start YYYY-MM-DDTHH:MM:SS\n"
    "                     the simulated clock's start, local time (default\n"
    "                     2026-12-07T14:47:28 UTC)\n"
    "  --played DIR       write every message played to DIR as a WAVE file\n"
    "  --help             this text\n";

bool ParseStart(const char *text, int64_t *start) {
    struct tm when = {};
    if (!strptime(text, "%Y-%m-%dT%H:%M:%S", &when))
        return false;
    when.tm_isdst = -1;
    time_t t = mktime(&when);
    if (t == (time_t)-1)
        return false;
    *start = (int64_t)t;
    return true;
}

bool ParseOptions(int argc, char **argv, Options *o) {
    for (int i = 1; i < argc; i++) {
        std::string arg = argv[i];
        if (arg == "--help") {
            fputs(kUsage, stdout);
            exit(0);
        }
        const char *value = i + 1 < argc ? argv[i + 1] : nullptr;
        std::string *target = arg == "--script"    ? &o->script
                              : arg == "--calls"   ? &o->calls
                              : arg == "--machine" ? &o->machine
                              : arg == "--played"  ? &o->played
                              : arg == "--clock"   ? &o->clock
                                                   : nullptr;
        if (arg == "--start") {
            if (!value || !ParseStart(value, &o->start)) {
                fprintf(stderr, "ringward: --start needs YYYY-MM-DDTHH:MM:SS\n");
                return false;
            }
            o->startGiven = true;
            i++;
            continue;
        }
        if (!target) {
            fprintf(stderr, "ringward: unknown option %s\n%s", arg.c_str(), kUsage);
            return false;
        }
        if (!value) {
            fprintf(stderr, "ringward: %s needs a value\n", arg.c_str());
            return false;
        }
        *target = value;
        i++;
    }
    if (!o->script.empty() && !o->calls.empty()) {
        fprintf(stderr, "ringward: --script and --calls exclude each other\n");
        return false;
    }
    if (!o->clock.empty() && o->clock != "real" && o->clock != "simulated") {
        fprintf(stderr, "ringward: --clock is real or simulated\n");
        return false;
    }
    return true;
}

// Parses the script in the file path; its own file names count from its folder.
bool ReadScript(const std::string &path, sim::Script *script) {
    std::string error;
    if (sim::LoadScriptFile(path, script, &error))
        return true;
    fprintf(stderr, "ringward: %s\n", error.c_str());
    return false;
}

// The machine that --machine names, in place of the script's.
bool ReadMachine(const std::string &path, sim::MachineDescription *machine) {
    std::string error;
    if (sim::LoadMachineFile(path, machine, &error))
        return true;
    fprintf(stderr, "ringward: --machine %s\n", error.c_str());
    return false;
}

// Control bytes and backslashes escaped, so that a text from a caller or a file is one line of
// output and cannot pass for another.
std::string EscapedControls(const std::string &text) {
    std::string out;
    for (char c : text) {
        unsigned char byte = (unsigned char)c;
        if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\\')
            out += "\\\\";
        else if (byte < 0x20 || byte == 0x7F) {
            char hex[8];
            snprintf(hex, sizeof hex, "\\x%02X", byte);
            out += hex;
        } else
            out += c;
    }
    return out;
}

// A field of a box line on standard error: control bytes and the quotes around it escaped.
std::string Escaped(const std::string &text) {
    std::string out;
    for (char c : EscapedControls(text)) {
        if (c == '"')
            out += "\\\"";
        else
            out += c;
    }
    return out;
}

std::string OwnerName(HWND owner) {
    if (!owner)
        return "none";
    for (const sim::WindowView &w : sim::TopLevelWindows())
        if (w.handle == owner)
            return "\"" + Escaped(w.caption) + "\"";
    return "unknown";
}

std::string ClockText() {
    uint64_t ms = sim::NowMs();
    char text[32];
    snprintf(text, sizeof text, "%7llu.%03llu", (unsigned long long)(ms / 1000),
             (unsigned long long)(ms % 1000));
    return text;
}

// The headless run's input: nothing but the termination signals, waited for in real time when
// the clock is real.
class ScriptInput : public sim::InputSource {
  public:
    bool Wait(uint64_t untilMs) override {
        if (sim::PollTermination())
            return true;
        if (sim::ClockIsSimulated() || untilMs == UINT64_MAX)
            return false;
        while (sim::NowMs() < untilMs) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            if (sim::PollTermination())
                return true;
        }
        return true;
    }
};

void SetUpHeadless(const sim::Script &script) {
    static ScriptInput input;
    sim::SetInputSource(&input);
    bool autoBoxes = script.autoBoxes;
    sim::SetMessageBoxHandler([autoBoxes](const sim::MessageBoxRecord &box) {
        fprintf(stderr, "[%s] box owner=%s caption=\"%s\" style=0x%X text=\"%s\"\n",
                ClockText().c_str(), OwnerName(box.owner).c_str(), Escaped(box.caption).c_str(),
                box.style, Escaped(box.text).c_str());
        fflush(stderr);
        return autoBoxes ? sim::AnswerAfterDispatching(box) : sim::ModalMessageBox(box);
    });
    sim::AddNoteListener([](const std::string &note) {
        printf("[%s] %s\n", ClockText().c_str(), EscapedControls(note).c_str());
        fflush(stdout);
    });
    sim::SetIdleEndHandler([] {
        fprintf(stderr, "ringward: the script has ended, but the program is still running\n");
        exit(kUsageError);
    });
}

std::string playedFolder;

void WritePlayed() {
    if (sim::WritePlayedMessages(playedFolder) < 0)
        fprintf(stderr, "ringward: cannot write the played messages to %s\n", playedFolder.c_str());
}

} // namespace

int main(int argc, char **argv) {
    Options options;
    if (!ParseOptions(argc, argv, &options))
        return kUsageError;
    bool headless = !options.script.empty();

    // A reader of standard output that goes away (a pipe into head) must not end the run.
    signal(SIGPIPE, SIG_IGN);

    sim::Script script;
    std::string scriptPath = headless ? options.script : options.calls;
    if (!scriptPath.empty() && !ReadScript(scriptPath, &script))
        return kUsageError;
    // The option names the machine, whatever the script says.
    if (!options.machine.empty() && !ReadMachine(options.machine, &script.machine))
        return kUsageError;
    for (const sim::ScriptEvent &event : script.events) {
        if (!headless && event.action == sim::SCRIPT_USER) {
            fprintf(stderr, "ringward: %s:%d: user actions belong in a --script\n",
                    options.calls.c_str(), event.line);
            return kUsageError;
        }
    }

    sim::Reset();
    bool simulated = options.clock.empty() ? headless : options.clock == "simulated";
    if (simulated)
        sim::UseSimulatedClock(options.start);
    else
        sim::UseRealClock();
    sim::LoadMachine(script.machine);
    // What the machine keeps for tests would grow with every call: the program keeps no journal,
    // and the messages played only when it is to write them out.
    sim::KeepJournal(false);
    sim::KeepPlayedBuffers(!options.played.empty());
    sim::SetTerminationHandler([] { ShutdownAndExit(); });
    if (!options.played.empty()) {
        playedFolder = options.played;
        atexit(WritePlayed);
    }

    if (headless) {
        SetUpHeadless(script);
    } else if (!sim::StartTerminalUi()) {
        fprintf(stderr, "ringward: the dialog needs a terminal; --script runs without one\n");
        return kUsageError;
    }
    sim::ScheduleScript(script,
                        [](const sim::ScriptEvent &event) { sim::PerformUserAction(event); });
    return AfxWinMain(NULL, NULL, (LPSTR) "", 1);
}
