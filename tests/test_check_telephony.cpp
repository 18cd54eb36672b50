// ringward-check modem and watch on simulated machines: each discovery case with the verdict
// the checker gives and the device the program's own discovery opens on the same machine; a
// watch of a blocked and an allowed call, which never answers or drops and releases in order,
// on its timer and on Ctrl-C; usage and a telephony system that cannot be used; the built
// checker on a script, and on SIGINT.
#include "check_run.h"
#include "platform/sim/journal.h"
#include "platform/sim/registry.h"
#include "platform/sim/script_runner.h"
#include "platform/sim/telephony.h"
#include "program_run.h"
#include "support.h"

#include <fcntl.h>
#include <signal.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#ifndef RINGWARD_CHECK_BINARY
#error "RINGWARD_CHECK_BINARY names the checker under test"
#endif

namespace {

using test::program::AddModem;
using test::program::ModemKey;

const int kWaitLimitPolls = 6000; // a minute: what a loaded machine may need to start it
const unsigned kPollMicroseconds = 10000;

const char kSystemLine[] = "system:    Windows 10.0 build 19045 (simulated machine)";

// The device the program's own discovery opens on the machine as it is.
int64_t DeviceTheProgramOpens() {
    sim::ClearJournal();
    if (InitVoiceModem() != 0)
        return -2; // discovery failed
    for (const sim::ApiCall &call : sim::CallsTo("lineOpenA"))
        if (call.result == 0)
            return (int64_t)call.args[1];
    return -3;
}

struct DiscoveryCase {
    const char *what;
    void (*machine)();  // devices and registry values
    const char *device; // the verdict line of device 0 begins with it
    const char *extra;  // another line that must be there, or ""
    const char *last;   // the summary
    int code;
    int64_t opened; // the device the program opens; -1: none, the program ends; -2: it fails
};

void Spoiled(void (*spoil)(sim::LineDeviceConfig &)) {
    spoil(AddModem());
}

const DiscoveryCase kCases[] = {
    {"no devices", [] {}, "ringward-check",
     "telephony: 0 line devices, versions up to 0x00030001 (3.1)",
     "no usable modem: the program reports \"IVM 580\" and ends", 1, -1},
    {"a line without voice",
     [] { Spoiled([](sim::LineDeviceConfig &d) { d.bearerModes = LINEBEARERMODE_DATA; }); },
     "  verdict:      passed over without a report: no voice (missing: bearer VOICE)",
     "  modes:        bearer 0x00000008 (DATA), media 0x0000001C", "no usable modem", 1, -1},
    {"a key without SYSTEM",
     [] {
         Spoiled(
             [](sim::LineDeviceConfig &d) { d.devSpecific = sim::ModemDevSpecific("Enum\\x"); });
     },
     "  verdict:      passed over without a report: no modem key",
     "  key block:    15 bytes at 292: words 0x00000001 0x00000008, text \"Enum\\\\x\"",
     "no usable modem", 1, -1},
    {"a System key",
     [] {
         sim::LineDeviceConfig &d = AddModem();
         std::string key = "System" + ModemKey(0).substr(6);
         d.devSpecific = sim::ModemDevSpecific(key);
     },
     "  verdict:      passed over without a report: its key has \"System\", and the program "
     "looks for \"SYSTEM\" in capitals only",
     "  manufacturer: \"Agere Systems\" (read by this check; the program never reads it)",
     "no usable modem", 1, -1},
    {"an unknown maker", [] { AddModem("Conexant"); },
     "  verdict:      passed over without a report: the maker \"Conexant\" is not LSI, Agere or "
     "Lucent",
     "  manufacturer: \"Conexant\"", "no usable modem", 1, -1},
    {"no maker in the registry",
     [] {
         Spoiled([](sim::LineDeviceConfig &d) {
             d.devSpecific = sim::ModemDevSpecific("SYSTEM\\none");
         });
     },
     "  verdict:      passed over with \"SBD 300\" and \"IVM 520\": the maker cannot be read",
     "  manufacturer: not read: RegOpenKeyExA returned 2", "no usable modem", 1, -1},
    {"a block of 256 bytes",
     [] { Spoiled([](sim::LineDeviceConfig &d) { d.devSpecific.resize(256, '\0'); }); },
     "  verdict:      passed over with \"IVM 380\": its device-specific block has 256 bytes", "",
     "no usable modem", 1, -1},
    {"a busy modem, not opened",
     [] { Spoiled([](sim::LineDeviceConfig &d) { d.openResult = (LONG)LINEERR_ALLOCATED; }); },
     "  verdict:      a candidate: discovery opens its line", "",
     "the program tries device 0 first (--try-open tells whether it opens)", 0, -1},
    {"the error without dwNeededSize",
     [] { Spoiled([](sim::LineDeviceConfig &d) { d.tooSmall = sim::TOO_SMALL_UNTOUCHED; }); },
     "  verdict:      a candidate: discovery opens its line",
     "  capabilities: 268 bytes: LINEERR_STRUCTURETOOSMALL (0x8000004D), dwNeededSize 0; then 407 "
     "bytes (3 requests): 0",
     "the program tries device 0 first", 0, 0},
    {"a failed negotiation before a good modem",
     [] {
         Spoiled([](sim::LineDeviceConfig &d) { d.negotiateResult = (LONG)LINEERR_NODRIVER; });
         AddModem();
     },
     "  verdict:      discovery ends here with \"IVM 320\"; the program ends",
     "  verdict:      never examined by the program, which stops at device 0; on its own: a "
     "candidate",
     "no usable modem: discovery ends at device 0, and the program ends", 1, -2},
    {"two good modems",
     [] {
         AddModem();
         AddModem("LUCENT");
     },
     "  verdict:      a candidate: discovery opens its line",
     "  verdict:      never examined by the program, which stops at device 0; on its own: a "
     "candidate",
     "the program tries device 0 first", 0, 0},
};

class CheckTelephonyTest : public test::Machine {};

TEST_F(CheckTelephonyTest, ModemGivesDiscoverysVerdictForEachCase) {
    for (const DiscoveryCase &c : kCases) {
        test::BackToBoot();
        c.machine();
        test::CheckRun run = test::RunCheckTool({"modem"});
        std::vector<std::string> lines = run.Lines();
        ASSERT_GE(lines.size(), 3u) << c.what;
        EXPECT_EQ(lines[0], "ringward-check 1.0.0.1 modem: paste all of this into a report");
        EXPECT_EQ(lines[1], kSystemLine);
        EXPECT_NE(run.LineStarting(c.device), "") << c.what << "\n" << run.out;
        if (c.extra[0]) {
            EXPECT_NE(run.out.find(c.extra), std::string::npos) << c.what << "\n" << run.out;
        }
        EXPECT_EQ(lines.back().substr(0, strlen(c.last)), c.last) << c.what << "\n" << run.out;
        EXPECT_EQ(run.code, c.code) << c.what;
        // Read only: no line was opened, and the machine is as it was for the program.
        EXPECT_TRUE(sim::CallsTo("lineOpenA").empty()) << c.what;
        if (c.opened == -1)
            EXPECT_EXIT(InitVoiceModem(), ::testing::ExitedWithCode(0), "") << c.what;
        else
            EXPECT_EQ(DeviceTheProgramOpens(), c.opened) << c.what;
    }
}

TEST_F(CheckTelephonyTest, TryOpenTellsBusyFromOpenAndClosesAtOnce) {
    AddModem().openResult = (LONG)LINEERR_ALLOCATED;
    AddModem();
    test::CheckRun run = test::RunCheckTool({"modem", "--try-open"});
    EXPECT_EQ(run.code, 0);
    EXPECT_NE(run.out.find("  open:         LINEERR_ALLOCATED (0x80000001): busy: another "
                           "program holds it (the program reports \"IVM 560\" and tries the "
                           "next)\n  verdict:      passed over with \"IVM 560\": its line does "
                           "not open\n"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("  open:         opened as discovery opens it, and closed: 0\n"
                           "  verdict:      a candidate"),
              std::string::npos);
    EXPECT_EQ(run.Lines().back(), "the program opens device 1");
    std::vector<sim::ApiCall> opens = sim::CallsTo("lineOpenA");
    ASSERT_EQ(opens.size(), 2u);
    EXPECT_EQ(opens[1].args[5], (uint64_t)LINECALLPRIVILEGE_OWNER); // as discovery opens it
    EXPECT_EQ(sim::CallsTo("lineClose").size(), 1u);
    EXPECT_EQ(sim::TheLineService().OpenLine(), 0u);
}

// A blocked caller and an allowed one, a minute apart, on the default machine.
void WatchedCalls() {
    sim::LoadDefaultMachine();
    test::WriteFile("Accept Always.txt", "555-010\n");
    test::WriteFile("Block.txt", "// pests\n555-019-8811 @ Go Away.wav\n");
    test::WriteFile("Go Away.wav", "");
    test::program::CallAt(1000, "555-019-8811", "PEST, INC", 2);
    test::program::CallAt(60000, "1-555-010-4477", "MOM", 2);
}

// The lines a watch printed after its heading, times left out, and only those that name a
// message, a state, a decision or a release.
std::vector<std::string> Telling(const test::CheckRun &run) {
    std::vector<std::string> telling;
    for (const std::string &line : run.Lines()) {
        std::string text =
            line.size() > 27 && line[2] == '/' ? line.substr(line.find(' ', 20) + 1) : line;
        for (const char *start :
             {"LINE_", "    call 0x", "      verdict:", "    lineDealloc", "ended:", "released:"})
            if (text.compare(0, strlen(start), start) == 0)
                telling.push_back(text.substr(0, text.find(": hDevice")));
    }
    return telling;
}

const std::vector<std::string> kWatchedTwoCalls = {
    "LINE_APPNEWCALL (23)",
    "LINE_CALLSTATE (2)",
    "    call 0x00010001: 0x00000002 (OFFERING), mode 0x00000001 (ACTIVE), privilege "
    "0x00000002 (MONITOR)",
    "LINE_CALLINFO (1)",
    "    call 0x00010001: 0x00008000 (CALLERID)",
    "      verdict:  Blocked by Block.txt:2 (entry 5550198811)",
    "LINE_CALLSTATE (2)",
    "    call 0x00010001: 0x00000001 (IDLE)",
    "    lineDeallocateCall(0x00010001): 0",
    "LINE_APPNEWCALL (23)",
    "LINE_CALLSTATE (2)",
    "    call 0x00010002: 0x00000002 (OFFERING), mode 0x00000001 (ACTIVE), privilege "
    "0x00000002 (MONITOR)",
    "LINE_CALLINFO (1)",
    "    call 0x00010002: 0x00008000 (CALLERID)",
    "      verdict:  Allowed by Accept Always.txt:1 (entry 555010)",
    "LINE_CALLSTATE (2)",
    "    call 0x00010002: 0x00000001 (IDLE)",
    "    lineDeallocateCall(0x00010002): 0",
    "ended: 120 seconds, after 8 messages",
    "released: lineClose: 0",
    "released: lineShutdown: 0",
};

TEST_F(CheckTelephonyTest, WatchShowsEachCallAsTheProgramWouldDecideItAndNeverTouchesIt) {
    WatchedCalls();
    test::CheckRun run = test::RunCheckTool({"watch", "--seconds", "120"});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.Lines()[1], kSystemLine);
    EXPECT_EQ(Telling(run), kWatchedTwoCalls) << run.out;
    // The texts as delivered, then as the program reads them.
    EXPECT_NE(run.out.find("    number: 13 bytes at 344: \"555-019-8811\\x00\"\n"
                           "    name:   10 bytes at 357: \"PEST, INC\\x00\"\n"
                           "    as the program reads it:\n      number:   5550198811\n"
                           "      name:     \"PEST; INC\"\n"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("      message:  \"Go Away.wav\", which is not a WAVE file"),
              std::string::npos);

    // Monitor privilege only; nothing answered or dropped; every handle let go, then the line
    // and the usage.
    std::vector<sim::ApiCall> opens = sim::CallsTo("lineOpenA");
    ASSERT_EQ(opens.size(), 1u);
    EXPECT_EQ(opens[0].args[5], (uint64_t)LINECALLPRIVILEGE_MONITOR);
    EXPECT_TRUE(sim::CallsTo("lineAnswer").empty());
    EXPECT_TRUE(sim::CallsTo("lineDrop").empty());
    std::vector<std::string> releases;
    for (const sim::ApiCall &call : sim::Journal())
        if (call.function == "lineDeallocateCall" || call.function == "lineClose" ||
            call.function == "lineShutdown")
            releases.push_back(call.function + " " + std::to_string(call.result));
    EXPECT_EQ(releases, std::vector<std::string>({"lineDeallocateCall 0", "lineDeallocateCall 0",
                                                  "lineClose 0", "lineShutdown 0"}));
    EXPECT_EQ(sim::TheLineService().KeptCalls(), 0u);
}

TEST_F(CheckTelephonyTest, CtrlCEndsTheWatchAndReleasesTheRingingCallFirst) {
    WatchedCalls();
    sim::AddTimer(5000, [] { raise(SIGINT); }); // the first call still rings
    test::CheckRun run = test::RunCheckTool({"watch"});
    EXPECT_EQ(run.code, 0);
    std::vector<std::string> telling = Telling(run);
    std::vector<std::string> end(telling.end() - 4, telling.end());
    EXPECT_EQ(end,
              std::vector<std::string>({"ended: Ctrl-C, after 3 messages",
                                        "released: lineDeallocateCall(0x00010001): 0",
                                        "released: lineClose: 0", "released: lineShutdown: 0"}));
    EXPECT_EQ(sim::TheLineService().AppHandle(), 0u);
}

struct RefusalCase {
    std::vector<std::string> args;
    const char *failing; // a platform call made to fail, or ""
    int code;
    const char *said; // the first line of standard error, or a line of the output
};

TEST_F(CheckTelephonyTest, BadUsageAndNoTelephonyEndWithTwoAndNoModemWithOne) {
    const RefusalCase cases[] = {
        {{"modem", "--all"}, "", 2, "ringward-check: modem takes --try-open only"},
        {{"watch", "--line", "x"}, "", 2, "ringward-check: --line needs a line device's number"},
        {{"watch", "--seconds", "0"}, "", 2, "ringward-check: --seconds needs a number"},
        {{"watch", "--seconds", "2147484"}, "", 2, "ringward-check: --seconds needs a number"},
        {{"watch", "--tail"}, "", 2, "ringward-check: watch takes --line N and --seconds S"},
        {{"watch", "--line", "1"},
         "",
         2,
         "ringward-check: there is no line device 1 (the system has 1)"},
        {{"modem"},
         "lineInitializeExA",
         2,
         "telephony: lineInitializeExA: LINEERR_NODRIVER (0x80000043): the telephony system "
         "cannot be used"},
        {{"watch"}, "lineInitializeExA", 2, "telephony: lineInitializeExA: LINEERR_NODRIVER"},
        {{"watch"},
         "lineOpenA",
         1,
         "watching: device 0 cannot be opened to monitor: LINEERR_ALLOCATED (0x80000001)"},
        {{"watch", "--line", "0"},
         "lineNegotiateAPIVersion",
         1,
         "watching: device 0 agrees no version: LINEERR_INCOMPATIBLEAPIVERSION"},
    };
    for (const RefusalCase &c : cases) {
        test::BackToBoot();
        sim::LoadDefaultMachine();
        if (c.failing[0])
            sim::FailCall(c.failing, sim::TypicalError(c.failing));
        test::CheckRun run = test::RunCheckTool(c.args);
        EXPECT_EQ(run.code, c.code) << c.said;
        std::string said = run.err.empty() ? run.LineStarting(c.said) : run.err;
        EXPECT_EQ(said.substr(0, strlen(c.said)), c.said) << run.out << run.err;
        EXPECT_EQ(sim::TheLineService().AppHandle(), 0u) << c.said; // nothing left registered
    }
    test::BackToBoot();
    sim::TheLineService().Devices().push_back(sim::VoiceModemDevice("Enum\\x", 0));
    EXPECT_EQ(test::RunCheckTool({"watch"}).code, 1); // no device the program would use
}

TEST_F(CheckTelephonyTest, TheBuiltCheckerWatchesAScriptsCallsAndEndsOnSigint) {
    test::WriteFile("calls.txt", "at 1 call number=\"555-019-8811\" name=\"PEST, INC\" rings=2\n"
                                 "at 60 call number=\"1-555-010-4477\" name=\"MOM\" rings=2\n");
    WatchedCalls(); // the same calls and lists in this process
    test::CheckRun here = test::RunCheckTool({"watch", "--seconds", "120"});
    std::string command = std::string(RINGWARD_CHECK_BINARY) +
                          " --script calls.txt watch --seconds 120 >out.txt 2>err.txt";
    int status = system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << test::ReadFile("err.txt");
    EXPECT_EQ(test::ReadFile("out.txt"), here.out);

    // On the real clock it waits for Ctrl-C, which it takes once it says so.
    pid_t child = fork();
    if (child == 0) {
        freopen("watch.txt", "w", stdout);
        execl(RINGWARD_CHECK_BINARY, "ringward-check", "watch", (char *)NULL);
        _exit(127);
    }
    ASSERT_GT(child, 0);
    for (int waited = 0; test::ReadFile("watch.txt").find("until:    Ctrl-C") == std::string::npos;
         waited++) {
        ASSERT_LT(waited, kWaitLimitPolls) << test::ReadFile("watch.txt");
        usleep(kPollMicroseconds);
    }
    kill(child, SIGINT);
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    std::string watched = test::ReadFile("watch.txt");
    EXPECT_NE(watched.find("ended: Ctrl-C, after 0 messages\nreleased: lineClose: 0\n"
                           "released: lineShutdown: 0\n"),
              std::string::npos)
        << watched;
}

} // namespace
