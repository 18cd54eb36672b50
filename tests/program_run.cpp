// Running the whole program in a child process and reading back what it left.
#include "program_run.h"

#include "app/app.h"
#include "common/state.h"
#include "platform/sim/memory.h"
#include "platform/sim/multimedia.h"
#include "platform/sim/registry.h"
#include "platform/sim/sim.h"
#include "platform/sim/telephony.h"
#include "platform/sim/ui.h"
#include "support.h"
#include "wave_files.h"

#include <signal.h>
#include <sstream>
#include <stdio.h>
#include <sys/wait.h>
#include <unistd.h>

namespace test {
namespace program {

namespace {

const char kBoxesFile[] = "run-boxes.txt";
const char kJournalFile[] = "run-journal.txt";
const char kLeftFile[] = "run-left.txt";
const char kFieldSeparator = '\x1f';
const char kRecordSeparator = '\x1e';
const uint64_t kExitRetryMs = 5000;
const int kExitAttempts = 3;
const int kMostCalls = 64; // more than any run schedules

// The application object that AfxWinMain runs: named here so that the linker keeps it.
CWinApp *volatile theProgram = &theApp;

// What the child records as it runs; written out when it ends.
std::vector<BoxSeen> boxesSeen;
bool exitPressed = false;

bool IsReportBox(const sim::MessageBoxRecord &box) {
    return box.owner == NULL && box.caption == "Ringward" && box.style == 0x10010;
}

int RecordBox(const sim::MessageBoxRecord &box) {
    BoxSeen seen = {box.owner != NULL, box.caption, box.style, box.text, false};
    if (IsReportBox(box))
        seen.reportInLogFirst = ReadFile("EventLog.txt").find(box.text) != std::string::npos;
    boxesSeen.push_back(seen);
    return sim::AnswerAfterDispatching(box);
}

size_t AllocatedCalls() {
    size_t count = 0;
    for (int n = 1; n <= kMostCalls; n++) {
        HCALL call = sim::TheLineService().CallHandle(n);
        if (call != 0 && sim::TheLineService().CallAllocated(call))
            count++;
    }
    return count;
}

void WriteWhatWasLeft() {
    std::ostringstream boxes;
    for (const BoxSeen &b : boxesSeen)
        boxes << b.owned << kFieldSeparator << b.caption << kFieldSeparator << b.style
              << kFieldSeparator << b.reportInLogFirst << kFieldSeparator << b.text
              << kRecordSeparator;
    WriteFile(kBoxesFile, boxes.str());
    WriteFile(kJournalFile, sim::JournalText());
    std::ostringstream left;
    left << "blocks " << sim::HeldBlocks() << "\n"
         << "mmio " << sim::OpenMultimediaFiles() << "\n"
         << "waveout " << sim::OpenWaveOutHandles() << "\n"
         << "regkeys " << sim::OpenRegistryKeys() << "\n"
         << "app " << (sim::TheLineService().AppHandle() != 0) << "\n"
         << "line " << (sim::TheLineService().OpenLine() != 0) << "\n"
         << "calls " << AllocatedCalls() << "\n"
         << "hCall " << g_state.hCall << "\n"
         << "hLine " << g_state.hLine << "\n"
         << "hLineApp " << g_state.hLineApp << "\n"
         << "eventLog " << (g_state.eventLog != NULL) << "\n"
         << "callsLog " << (g_state.callsLog != NULL) << "\n"
         << "exitPressed " << exitPressed << "\n";
    WriteFile(kLeftFile, left.str());
}

[[noreturn]] void RunChild(const std::function<void()> &arrange, unsigned timeoutSeconds) {
    alarm(timeoutSeconds); // a run that loops in real time is a hang
    sim::Reset();
    g_state = ScreeningState();
    boxesSeen.clear();
    exitPressed = false;
    sim::SetMessageBoxHandler(RecordBox);
    sim::SetIdleEndHandler([] {
        WriteWhatWasLeft();
        _exit(kStalledExitCode);
    });
    atexit(WriteWhatWasLeft);
    arrange();
    AfxWinMain(NULL, NULL, (LPSTR) "", 1);
    _exit(kDialogReturnedExitCode); // the program must end inside ShutdownAndExit
}

std::vector<BoxSeen> ParseBoxes(const std::string &text) {
    std::vector<BoxSeen> boxes;
    std::stringstream records(text);
    std::string record;
    while (std::getline(records, record, kRecordSeparator)) {
        std::vector<std::string> fields;
        std::stringstream parts(record);
        std::string field;
        for (int i = 0; i < 4 && std::getline(parts, field, kFieldSeparator); i++)
            fields.push_back(field);
        std::string rest;
        std::getline(parts, rest, kRecordSeparator);
        if (fields.size() < 4)
            continue;
        boxes.push_back(
            {fields[0] == "1", fields[1], (unsigned)std::stoul(fields[2]), rest, fields[3] == "1"});
    }
    return boxes;
}

} // namespace

std::string ModemKey(int n) {
    return "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96D-E325-11CE-BFC1-08002BE10318}"
           "\\000" +
           std::to_string(n);
}

sim::LineDeviceConfig &AddModem(const std::string &maker) {
    std::vector<sim::LineDeviceConfig> &devices = sim::TheLineService().Devices();
    int n = (int)devices.size();
    devices.push_back(sim::VoiceModemDevice(ModemKey(n), 0));
    sim::SetRegistryString(ModemKey(n), "Manufacturer", maker);
    return devices.back();
}

void WriteStandardFiles() {
    WriteFile("Block.txt", "// pests\n800555\n900 @ Go Away.wav\n");
    WriteFile("Accept Always.txt", "212-555-0100\n");
    WriteFile("ZapMessage.wav", PcmWave(1, 8000, 16, Samples(8000, 1)));
    WriteFile("AnonCallerMessage.wav", PcmWave(1, 8000, 16, Samples(8000, 2)));
    WriteFile("Go Away.wav", PcmWave(1, 8000, 16, Samples(8000, 3)));
}

void At(uint64_t ms, std::function<void()> action) {
    sim::AddTimer(ms, std::move(action));
}

void PressStartAt(uint64_t ms) {
    At(ms, [] { sim::PressButton(1000); });
}

int CallAt(uint64_t ms, const char *number, const char *name, int rings, bool callerId,
           DWORD device) {
    sim::CallConfig call = sim::MakeCall(number, name, rings, callerId);
    call.device = device;
    return sim::TheLineService().ScheduleCall(call, ms);
}

// Stops screening if the button says so, then asks to exit.
void StopAndExit() {
    if (sim::ControlText(1000) == "Stop screening calls")
        sim::PressButton(1000);
    sim::PostTask([] { exitPressed = true; });
    sim::PressButton(1001);
}

void UserExitsAt(uint64_t ms) {
    At(ms, StopAndExit);
    // Still running: the exit was refused. The user presses the Start/Stop button once more,
    // whatever it says, and tries again once it has taken effect.
    for (int attempt = 1; attempt < kExitAttempts; attempt++) {
        At(ms + attempt * kExitRetryMs, [] {
            sim::PressButton(1000);
            sim::PostTask(StopAndExit);
        });
    }
}

void BlockedCallScenario() {
    AddModem();
    WriteStandardFiles();
    PressStartAt(1000);
    CallAt(2000, "1-800-555-1234", "PEST, INC");
    UserExitsAt(30000);
}

ProgramRun RunProgram(const std::function<void()> &arrange, unsigned timeoutSeconds) {
    for (const char *file :
         {kBoxesFile, kJournalFile, kLeftFile, "EventLog.txt", "Calls Received.txt"})
        remove(file);
    fflush(stdout);
    fflush(stderr);
    pid_t child = fork();
    if (child == 0)
        RunChild(arrange, timeoutSeconds);
    ProgramRun run;
    if (child < 0 || waitpid(child, &run.status, 0) != child)
        run.status = -1;
    run.eventLog = ReadFile("EventLog.txt");
    run.callsLog = ReadFile("Calls Received.txt");
    run.journal = ReadFile(kJournalFile);
    run.boxes = ParseBoxes(ReadFile(kBoxesFile));
    std::stringstream left(ReadFile(kLeftFile));
    std::string name;
    long long value;
    while (left >> name >> value)
        run.left[name] = value;
    return run;
}

bool ProgramRun::ExitedWithCodeZero() const {
    return status >= 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool ProgramRun::Hung() const {
    return status >= 0 && ((WIFSIGNALED(status) && WTERMSIG(status) == SIGALRM) ||
                           (WIFEXITED(status) && WEXITSTATUS(status) == kStalledExitCode));
}

bool ProgramRun::Crashed() const {
    return status < 0 || (WIFSIGNALED(status) && WTERMSIG(status) != SIGALRM);
}

// A report is a time line, then "Ringward: VALUE, TAG: MESSAGE" (or "Ringward: MESSAGE" for
// information), message lines, "GLE = N" for a failure, and an empty line.
std::vector<Report> ProgramRun::Reports() const {
    std::vector<Report> reports;
    const std::string head = "\nRingward: ";
    for (size_t at = eventLog.find(head); at != std::string::npos;
         at = eventLog.find(head, at + 1)) {
        size_t start = at + head.size();
        size_t end = eventLog.find("\n\n", start);
        std::string body = eventLog.substr(start, end == std::string::npos ? end : end - start);
        Report report;
        size_t comma = body.find(", ");
        size_t colon = comma == std::string::npos ? comma : body.find(": ", comma);
        size_t gle = body.rfind("\nGLE = ");
        if (comma != std::string::npos && colon != std::string::npos && gle != std::string::npos &&
            colon - comma == 9) {
            report.value = body.substr(0, comma);
            report.tag = body.substr(comma + 2, 7);
            report.message = body.substr(colon + 2, gle - colon - 2);
            report.gle = body.substr(gle + 7);
        } else {
            report.message = body;
        }
        reports.push_back(report);
    }
    return reports;
}

std::vector<std::string> ProgramRun::ReportTags() const {
    std::vector<std::string> tags;
    for (const Report &r : Reports())
        if (!r.tag.empty())
            tags.push_back(r.tag);
    return tags;
}

std::vector<std::string> ProgramRun::JournalFunctions() const {
    std::vector<std::string> functions;
    std::stringstream lines(journal);
    std::string line;
    while (std::getline(lines, line)) {
        size_t open = line.find("] "), paren = line.find('(');
        if (open != std::string::npos && paren != std::string::npos && paren > open)
            functions.push_back(line.substr(open + 2, paren - open - 2));
    }
    return functions;
}

std::vector<std::string> ProgramRun::JournalTexts() const {
    std::vector<std::string> texts;
    std::stringstream lines(journal);
    std::string line;
    while (std::getline(lines, line)) {
        size_t paren = line.find('('), open = line.find('"', paren), close = line.rfind("\") = ");
        texts.push_back(paren != std::string::npos && open != std::string::npos &&
                                close != std::string::npos && close > open
                            ? line.substr(open + 1, close - open - 1)
                            : "");
    }
    return texts;
}

long long ProgramRun::Left(const std::string &what) const {
    auto it = left.find(what);
    return it == left.end() ? -1 : it->second;
}

std::string ProgramRun::Describe() const {
    std::ostringstream out;
    out << "status " << status;
    if (status >= 0 && WIFEXITED(status))
        out << " (exit " << WEXITSTATUS(status) << ")";
    if (status >= 0 && WIFSIGNALED(status))
        out << " (signal " << WTERMSIG(status) << ")";
    out << "\n--- left:";
    for (const auto &entry : left)
        out << " " << entry.first << "=" << entry.second;
    out << "\n--- boxes:\n";
    for (const BoxSeen &b : boxes)
        out << (b.owned ? "owned" : "none") << "|" << b.caption << "|" << std::hex << b.style
            << std::dec << "|" << b.text << "\n";
    out << "--- EventLog.txt:\n" << eventLog << "--- Calls Received.txt:\n" << callsLog;
    out << "--- journal:\n" << journal;
    return out.str();
}

} // namespace program
} // namespace test
