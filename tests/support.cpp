// The shared test fixture.
#include "support.h"

#include "platform/sim/telephony.h"

#include <fstream>
#include <sstream>
#include <stdint.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace test {

// The program ends the process with code 0 when it shuts down; in the middle of a test that is
// a failure, not a pass. Children of death tests have their own process id and may end so.
static pid_t testProcess = 0;

static void FailIfEndedInATest() {
    if (testProcess == getpid()) {
        fprintf(stderr, "the process ended in the middle of a test\n");
        _exit(1);
    }
}

void Machine::SetUp() {
    static bool guarded = false;
    if (!guarded)
        guarded = atexit(FailIfEndedInATest) == 0;
    testProcess = getpid();
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    previousDir = cwd;
    char pattern[] = "/tmp/ringward-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
    ASSERT_EQ(chdir(dir.c_str()), 0);
    sim::Reset();
    g_state = ScreeningState();
}

void BackToBoot() {
    if (g_state.eventLog)
        fclose(g_state.eventLog);
    if (g_state.callsLog)
        fclose(g_state.callsLog);
    g_state = ScreeningState();
    sim::Reset();
}

void Machine::TearDown() {
    testProcess = 0;
    BackToBoot();
    ASSERT_EQ(chdir(previousDir.c_str()), 0);
    std::string command = "rm -rf '" + dir + "'";
    ASSERT_EQ(system(command.c_str()), 0);
}

bool IsStreamCall(const std::string &function) {
    return function == "_read" || function == "_write" || function == "_commit" ||
           function == "fflush";
}

// The journal as JournalText gives it, without the stream calls.
static std::string JournalTextWithoutStreams() {
    std::istringstream lines(sim::JournalText());
    std::string kept, line;
    while (std::getline(lines, line)) {
        size_t name = line.find("] ") + 2;
        if (!IsStreamCall(line.substr(name, line.find('(') - name)))
            kept += line + "\n";
    }
    return kept;
}

std::string ReadFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteFile(const std::string &path, const std::string &content) {
    std::ofstream out(path, std::ios::binary);
    out << content;
}

bool FileExists(const std::string &path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

void OpenLogs() {
    g_state.eventLog = fopen("EventLog.txt", "a+c");
    g_state.callsLog = fopen("Calls Received.txt", "a+c");
    ASSERT_NE(g_state.eventLog, nullptr);
    ASSERT_NE(g_state.callsLog, nullptr);
}

std::string BoxesText() {
    std::ostringstream out;
    for (const sim::MessageBoxRecord &box : sim::MessageBoxes())
        out << (box.owner ? "owned" : "none") << "|" << box.caption << "|" << std::hex << box.style
            << std::dec << "|" << box.text << "\n";
    return out.str();
}

OpenedLine OpenModemLine(LINECALLBACK callback) {
    OpenedLine opened = {0, 0};
    EXPECT_EQ(sim::OpenVoiceModemLine(callback, &opened.app, &opened.line), 0);
    sim::ClearJournal();
    return opened;
}

HCALL RingInCall() {
    sim::CallConfig call;
    call.number = "8005551234";
    call.name = "TEST CALLER";
    int number = sim::TheLineService().ScheduleCall(call, sim::NowMs());
    sim::RunDueTimers();
    sim::DiscardMessages();
    return sim::TheLineService().CallHandle(number);
}

// The journal without the logs' own writes: the checks of a child look at the other calls.
static void WriteDumps() {
    WriteFile("journal.txt", JournalTextWithoutStreams());
    WriteFile("boxes.txt", BoxesText());
}

void DumpOnExit() {
    atexit(WriteDumps);
}

Aftermath RunToExitZero(const std::function<void()> &body) {
    EXPECT_EXIT(
        {
            DumpOnExit();
            body();
            fprintf(stderr, "the program did not end\n");
            _exit(3);
        },
        ::testing::ExitedWithCode(0), "");
    return {ReadFile("journal.txt"), ReadFile("boxes.txt"), ReadFile("EventLog.txt")};
}

void WriteToUnmappedAddress() {
    // The address is read back at run time, so an optimising build cannot see the write as a
    // fault it may warn about (or leave out).
    volatile uintptr_t address = 16;
    *reinterpret_cast<volatile int *>(address) = 1;
}

} // namespace test
