// The sweep: a whole blocked call, from start-up to the user's exit, run once for every
// platform call it makes, with that one call failing (the 1st, the 2nd, ... the last). No run
// may crash, hang, leak or end with a code other than 0, every run must release call, line and
// telephony usage, and each must make the report that names the failed place; the places the
// program does not judge are listed below with what follows their failure instead.
#include "program_run.h"
#include "support.h"

#include <map>
#include <string>
#include <vector>

namespace {

namespace run = test::program;
using run::ProgramRun;

// What a failure of one call (the kth call of that function in the run, from 0) must lead to:
// the reports, by tag, in order; the player's or the dialog's own box, if any; and what the
// simulated machine may still hold afterwards because the failed call was a release itself.
struct Outcome {
    std::vector<std::string> tags;
    std::string box = "";
    std::string stillHeld = "";
};

// Discovery of the one modem: a failure that passes over it exhausts the devices.
const std::vector<std::string> kPassedOver = {"IVM 520", "IVM 580"};

Outcome Expected(const std::string &function, int k, const std::string &nextLineCall) {
    // Telephony: every result is judged.
    if (function == "lineInitializeExA")
        return {{"IVM 300", "OID 320"}};
    if (function == "lineNegotiateAPIVersion")
        return {{"IVM 320", "OID 320"}};
    if (function == "lineGetDevCapsA")
        return {{"IVM 360", "OID 320"}};
    if (function == "lineOpenA")
        return {{"IVM 560", "IVM 580"}};
    if (function == "lineGetCallInfoA")
        return {{"MLC 560"}};
    if (function == "lineAnswer")
        return {{"MLC 580"}};
    if (function == "lineGetIDA")
        return {{"MLC 740"}};
    if (function == "lineDrop")
        return {{"MLC 780"}};
    if (function == "lineDeallocateCall")
        return {{"MLC 340"}};
    if (function == "lineClose")
        return {{"SHU 340"}};
    if (function == "lineShutdown")
        return {{"SHU 360"}, "", "app"}; // the service keeps the registration it was refused
    // The modem's registry key: its report, then the device is passed over.
    if (function == "RegOpenKeyExA")
        return {{"SBD 300", "IVM 520", "IVM 580"}};
    if (function == "RegQueryValueExA")
        return {{"SBD 320", "IVM 520", "IVM 580"}};
    if (function == "RegCloseKey")
        return {{"SBD 340", "IVM 520", "IVM 580"}, "", "regkeys"};
    // The heap: which record the block was for is told by the telephony call it serves.
    if (function == "realloc") {
        if (nextLineCall == "lineGetDevCapsA")
            return {{"IVM 340", "OID 320"}};
        if (nextLineCall == "lineGetCallInfoA")
            return {{"MLC 540"}};
        return {{"MLC 720"}};
    }
    // The player: the open is reported; the later reading steps and allocations fail silently,
    // and the line event handler reports the failed playback.
    if (function == "mmioOpenA")
        return {{"PLA 300", "MLC 760"}};
    if (function == "mmioDescend" || function == "mmioRead" || function == "calloc")
        return {{"MLC 760"}};
    // Not judged: the ascent out of "fmt " and the close of the file. The message plays on.
    if (function == "mmioAscend")
        return {{}};
    if (function == "mmioClose")
        return {{}, "", "mmio"};
    if (function == "waveOutOpen")
        return {{"MLC 760"}, k == 0 ? "Unsupported wave format." : "Error opening wave device."};
    if (function == "waveOutPrepareHeader")
        return {{"MLC 760"}, "Error preparing message header."};
    if (function == "waveOutWrite")
        return {{"MLC 760"}, "Error writing wave message."};
    if (function == "waveOutUnprepareHeader")
        return {{"MLC 760"}, "Error unpreparing message header."};
    if (function == "waveOutClose")
        return {{"MLC 760"}, "Error closing wave device.", "waveout"};
    // Releasing a block cannot fail.
    if (function == "free")
        return {{}};
    // A list that cannot be read ends there, unreported: here the caller is then let through.
    if (function == "_read")
        return {{}};
    // The window system and the dialog framework: the program judges none of their results.
    // Without its module, icon, template or dialog the program never shows and ends through
    // the dialog's destruction; without its system menu, icon or button it runs without them
    // (without the button screening never starts); a caption that cannot be read stops
    // screening at once.
    for (const char *silent :
         {"GetModuleHandleA", "InitCommonControls", "LoadIconW", "DialogBoxParamA", "GetSystemMenu",
          "LoadStringA", "AppendMenuA", "SendMessageA", "GetDlgItem", "IsIconic", "DefWindowProcA",
          "GetWindowTextA"})
        if (function == silent)
            return {{}};
    // A caption that cannot be set: screening starts behind a button that still reads "Start
    // screening calls", so the exit is refused once, until the user presses the button again.
    if (function == "SetWindowTextA")
        return {{}, k == 0 ? "Please stop screening calls first." : ""};
    return {{"no expectation for " + function}};
}

const char *const kHoldings[] = {"blocks", "mmio",  "waveout", "regkeys",  "app",      "line",
                                 "calls",  "hCall", "hLine",   "hLineApp", "eventLog", "callsLog"};

// The boxes that are not failure reports.
std::vector<std::string> OtherBoxes(const ProgramRun &run) {
    std::vector<std::string> texts;
    for (const run::BoxSeen &box : run.boxes)
        if (!(box.caption == "Ringward" && !box.owned && box.style == 0x10010))
            texts.push_back(box.text);
    return texts;
}

// A log entry that could not be written, flushed or committed: the call log's record, the start
// line (written once the button says "Stop screening calls") or a line message's line. Reported
// once screening goes on, which the user's exit then ends.
bool IsLogWrite(const std::string &function) {
    return function == "fflush" || function == "_write" || function == "_commit";
}

Outcome LogWriteOutcome(const ProgramRun &clean, size_t n) {
    std::vector<std::string> calls = clean.JournalFunctions(), texts = clean.JournalTexts();
    if (texts[n - 1] == "Calls Received.txt")
        return {{"LGC 300"}};
    size_t entry = n - 1; // each entry is a flush, its write and its commit
    while (entry > 0 && calls[entry] != "fflush")
        entry--;
    return {{entry > 0 && calls[entry - 1] == "SetWindowTextA" ? "OSS 300" : "MLC 800"}};
}

// The first telephony call after the nth, which tells what an allocation was for.
std::string NextLineCall(const std::vector<std::string> &calls, size_t n) {
    for (size_t i = n; i < calls.size(); i++)
        if (calls[i].compare(0, 4, "line") == 0)
            return calls[i];
    return "";
}

// What differs in a scenario from the outcomes above, by "function#k".
using Overrides = std::map<std::string, Outcome>;

// Runs scenario once cleanly, then once for each platform call of the clean run with that call
// failing; checks every run and returns how many there were.
size_t Sweep(void (*scenario)(), const Overrides &overrides) {
    ProgramRun clean = run::RunProgram(scenario);
    EXPECT_TRUE(clean.ExitedWithCodeZero()) << clean.Describe();
    EXPECT_TRUE(clean.Reports().empty()) << clean.Describe();
    std::vector<std::string> calls = clean.JournalFunctions();
    EXPECT_GT(calls.size(), 30u);
    if (::testing::Test::HasFailure())
        return 0;

    std::map<std::string, int> seen;
    for (size_t n = 1; n <= calls.size(); n++) {
        const std::string &function = calls[n - 1];
        int k = seen[function]++;
        std::string name = function + "#" + std::to_string(k);
        SCOPED_TRACE("call " + std::to_string(n) + ": " + name);
        ProgramRun faulty = run::RunProgram([scenario, n] {
            scenario();
            sim::FailNthCall((int)n);
        });
        EXPECT_FALSE(faulty.Crashed());
        EXPECT_FALSE(faulty.Hung());
        EXPECT_TRUE(faulty.ExitedWithCodeZero());
        // The same run up to the failed call: it is the one failed.
        std::vector<std::string> made = faulty.JournalFunctions();
        EXPECT_TRUE(made.size() >= n && made[n - 1] == function);

        auto special = overrides.find(name);
        Outcome expected;
        if (special != overrides.end())
            expected = special->second;
        else if (IsLogWrite(function))
            expected = LogWriteOutcome(clean, n);
        else
            expected = Expected(function, k, NextLineCall(calls, n));
        EXPECT_EQ(faulty.ReportTags(), expected.tags);
        std::vector<std::string> expectedBoxes;
        if (!expected.box.empty())
            expectedBoxes.push_back(expected.box);
        EXPECT_EQ(OtherBoxes(faulty), expectedBoxes);
        for (const run::BoxSeen &box : faulty.boxes) {
            if (box.caption == "Ringward" && !box.owned) {
                EXPECT_TRUE(box.reportInLogFirst) << box.text;
            }
        }
        for (const char *what : kHoldings)
            EXPECT_EQ(faulty.Left(what), expected.stillHeld == what ? 1 : 0) << what;
        if (::testing::Test::HasFailure()) {
            ADD_FAILURE() << faulty.Describe();
            return n;
        }
    }
    return calls.size();
}

// Calls that are let through: one rings out after its caller ID, one rings once without any,
// and one still rings when the user ends the program, so that the shutdown has a call to drop.
void AllowedCallsScenario() {
    run::AddModem();
    run::WriteStandardFiles();
    run::PressStartAt(1000);
    run::CallAt(2000, "212-555-0100", "FRIEND", 2);    // idle at 13 s
    run::CallAt(14000, nullptr, nullptr, 1, false);    // idle at 19 s
    run::CallAt(20000, "3125550000", "NEIGHBOUR", 10); // still ringing at the exit
    run::UserExitsAt(26000);
}

class FaultSweepTest : public test::Machine {};

TEST_F(FaultSweepTest, EveryPlatformCallOfABlockedCallFailsInTurn) {
    // The call goes idle before the reply to the drop after its message, so the handler drops it
    // once more; when that drop fails, the shutdown's own drop of the idle call is refused.
    const Overrides overrides = {{"lineDrop#1", {{"MLC 700", "SHU 300"}}}};
    size_t runs = Sweep(run::BlockedCallScenario, overrides);
    RecordProperty("sweepRuns", (int)runs);
    printf("sweep of a blocked call: %zu runs, each failing one platform call\n", runs);
}

TEST_F(FaultSweepTest, EveryPlatformCallOfAllowedCallsAndAShutdownWithACallFailsInTurn) {
    // Drops and deallocations: after each call went idle, then the shutdown's. An idle drop
    // that fails leaves the idle call to the shutdown, whose drop the line refuses; a drop the
    // shutdown could not make leaves the call ringing, and its handle goes all the same.
    const Overrides overrides = {
        {"lineDrop#0", {{"MLC 700", "SHU 300"}}},
        {"lineDrop#1", {{"MLC 700", "SHU 300"}}},
        {"lineDrop#2", {{"SHU 300"}}},
        {"lineDeallocateCall#2", {{"SHU 320"}}},
    };
    size_t runs = Sweep(AllowedCallsScenario, overrides);
    RecordProperty("sweepRuns", (int)runs);
    printf("sweep of allowed calls: %zu runs, each failing one platform call\n", runs);
}

} // namespace
