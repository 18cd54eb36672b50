// ringward-check number, replay and report: the checker's answer for a few hundred callers
// against the program's own loaders and decision, replay of a log written by a scripted run of
// the built program, held against a second run on the edited lists, and the report's counts
// against the script's calls.
#include "check_run.h"
#include "lists/lists.h"
#include "support.h"
#include "wave_files.h"

#include <random>
#include <string.h>
#include <string>
#include <sys/wait.h>
#include <vector>

#ifndef RINGWARD_BINARY
#error "RINGWARD_BINARY names the program under test"
#endif

namespace {

const int kCallers = 300;

// Lists that reach the limits: the block list has 10 comments, then 250 lines of entries, one
// of them read in two pieces, so that only 190 entries are read (the piece "555" among them);
// some entries name messages, and the special letters are there.
void WriteBusyLists(std::mt19937 &random) {
    test::WriteFile("Accept Always.txt", "// family\n(555) 010-4477\n1-800-555-0199\n555-014\n"
                                         "555-0123 // cousin 2\no\n");
    std::string block = "// pests\n";
    for (int i = 0; i < 9; i++)
        block += "// note " + std::to_string(i) + "\n";
    block += "P @ private.wav\nN\n" + std::string(130, ' ') + "555-019-8811 @ Go Away.wav\n";
    for (int i = 0; i < 247; i++) {
        std::string entry = std::to_string(200 + random() % 800);
        entry += std::string(random() % 5, '0' + random() % 10);
        block += entry + (i % 7 == 0 ? " @ msg" + std::to_string(i) + ".wav" : "") + "\n";
    }
    test::WriteFile("Block.txt", block);
    test::WriteFile("ZapMessage.wav", test::PcmWave(1, 8000, 16, test::Samples(80)));
}

struct Caller {
    std::string number;
    const char *name; // null: none delivered
};

std::vector<Caller> MakeCallers(std::mt19937 &random) {
    const char *const special[] = {"P", "p", "O", "o", "N", "n", "7", "", "PRIVATE", "x"};
    const char *const names[] = {nullptr, "P", "O", "SHOP, MAIN ST", "MOM"};
    std::vector<Caller> callers;
    for (int i = 0; i < kCallers; i++) {
        std::string number;
        if (i % 10 == 0) {
            number = special[random() % 10];
        } else {
            for (int digits = 7 + random() % 6; digits > 0; digits--)
                number += (char)('0' + (i % 3 == 0 && digits > 7 ? 5 : random() % 10));
            if (i % 4 == 0)
                number = "1-" + number.substr(0, 3) + "-" + number.substr(3);
        }
        callers.push_back({number, names[random() % 5]});
    }
    return callers;
}

// The call-information record of a caller, as the modem's driver delivers the texts.
std::vector<char> CallRecordOf(const Caller &caller) {
    std::vector<char> bytes(kLineCallInfoFixedSize, 0);
    LINECALLINFO *info = (LINECALLINFO *)bytes.data();
    info->dwCallerIDOffset = (DWORD)bytes.size();
    info->dwCallerIDSize = (DWORD)caller.number.size() + 1;
    bytes.insert(bytes.end(), caller.number.c_str(),
                 caller.number.c_str() + caller.number.size() + 1);
    if (caller.name) {
        info = (LINECALLINFO *)bytes.data();
        info->dwCallerIDNameOffset = (DWORD)bytes.size();
        info->dwCallerIDNameSize = (DWORD)strlen(caller.name) + 1;
        bytes.insert(bytes.end(), caller.name, caller.name + strlen(caller.name) + 1);
    }
    ((LINECALLINFO *)bytes.data())->dwTotalSize = (DWORD)bytes.size();
    return bytes;
}

class CheckCallsTest : public test::Machine {};

TEST_F(CheckCallsTest, NumberAnswersAsTheProgramDecides) {
    std::mt19937 random(13);
    WriteBusyLists(random);
    std::vector<Caller> callers = MakeCallers(random);

    // The program: its loaders, the caller-ID reading, the decision, the message and the record.
    test::OpenLogs();
    LoadAcceptList();
    ASSERT_EQ(LoadBlockList(), 0);
    ASSERT_EQ(g_state.blockCount, 190);
    std::vector<std::string> numbers, verdicts, messages;
    for (const Caller &caller : callers) {
        std::vector<char> record = CallRecordOf(caller);
        ReadCallerId((const LINECALLINFO *)record.data());
        Verdict verdict = ScreenCaller();
        numbers.push_back(g_state.callerNumber);
        verdicts.push_back(verdict == VERDICT_BLOCKED ? "Blocked" : "Allowed");
        messages.push_back(verdict == VERDICT_BLOCKED ? MessageForBlockedCaller() : "");
        LogCall(g_state.callerName, g_state.callerNumber, verdicts.back().c_str());
    }
    fflush(g_state.callsLog);
    std::vector<std::string> records =
        test::CheckRun{0, test::ReadFile("Calls Received.txt"), ""}.Lines();
    ASSERT_EQ(records.size(), callers.size());

    int blocked = 0;
    for (size_t i = 0; i < callers.size(); i++) {
        std::vector<std::string> args = {"number", callers[i].number};
        if (callers[i].name)
            args.insert(args.end(), {"--name", callers[i].name});
        test::CheckRun run = test::RunCheckTool(args);
        const std::string who = "caller \"" + callers[i].number + "\"\n" + run.out;
        ASSERT_EQ(run.code, 0) << who;
        std::string number = numbers[i].empty() ? "none: nothing usable was delivered" : numbers[i];
        EXPECT_EQ(run.LineStarting("number:"), "number:   " + number) << who;
        EXPECT_EQ(run.LineStarting("verdict:").substr(10, 7), verdicts[i]) << who;
        std::string message = run.LineStarting("message:");
        if (messages[i].empty())
            EXPECT_EQ(message, "message:  none: the call rings through") << who;
        else
            EXPECT_EQ(message.substr(10, messages[i].size() + 2), "\"" + messages[i] + "\"") << who;
        EXPECT_EQ(run.LineStarting("record:"), "record:   " + records[i]) << who;
        blocked += verdicts[i] == "Blocked";
    }
    // The callers meet both verdicts, the special letters and entries' own messages.
    EXPECT_GT(blocked, kCallers / 5);
    EXPECT_LT(blocked, kCallers * 4 / 5);
}

TEST_F(CheckCallsTest, NumberNamesTheDecidingEntryWithItsFileAndLine) {
    test::WriteFile("Accept Always.txt", "// friends\n555-010\n");
    test::WriteFile("Block.txt", "900\n\n555-010-4477\n1-555-019-8811 @ Go Away.wav\n");
    EXPECT_EQ(test::RunCheckTool({"number", "555 019 8811", "--name", "PEST, INC"}).out,
              "number:   5550198811\nname:     \"PEST; INC\"\n"
              "verdict:  Blocked by Block.txt:4 (entry 5550198811)\n"
              "message:  \"Go Away.wav\", which is missing: a caller who should hear it ends the "
              "program (\"F - Error playing zap message.\")\n"
              "record:   12/07/2026 14:47:28,   PEST; INC       ,   555-019-8811,   Blocked\n");
    EXPECT_EQ(test::RunCheckTool({"number", "5550104477"}).LineStarting("verdict:"),
              "verdict:  Allowed by Accept Always.txt:2 (entry 555010)");
    EXPECT_EQ(test::RunCheckTool({"number", "212 555 0100"}).LineStarting("verdict:"),
              "verdict:  Allowed: no entry matches");
}

// ---- A log written by the program ---------------------------------------------------------

struct ScriptedCall {
    const char *directive; // the script's words after "at T call"
    const char *shown;     // the number as the log shows it
    bool blockedBefore;    // on the first lists
    bool blockedAfter;     // on the edited ones
};

// Calls a minute apart, the last one the next day.
const ScriptedCall kScriptedCalls[] = {
    {"number=\"555-010-4477\" name=\"MOM\" rings=2", "555-010-4477", false, false},
    {"number=\"555-019-8811\" name=\"PEST, INC\"", "555-019-8811", true, false},
    {"number=\"P\" name=\"PRIVATE\"", "Private", true, false},
    {"number=\"1-900-555-0142\" name=\"PRIZE LINE\"", "900-555-0142", true, true},
    {"number=\"555-012-3456\" name=\"NEIGHBOUR\" rings=2", "555-012-3456", false, false},
    {"number=none name=\"O\" rings=2", "Out of area", false, true},
    {"number=\"555-017-0001\" name=\"SALES\" rings=2", "555-017-0001", false, true},
    {"number=\"555-019-8811\" name=\"PEST, INC\"", "555-019-8811", true, false},
};
const int kNextDayCall = 7;

const char kFirstAccept[] = "555-010-4477\n";
const char kFirstBlock[] = "555-019\n900 @ Go Away.wav\nP\n";
const char kEditedAccept[] = "555-010-4477\n555-019-8811\n";
const char kEditedBlock[] = "555-019\n900 @ Go Away.wav\n555-017\nO\n";

class CallLogTest : public test::Machine {
  protected:
    // Runs the built program on the calls with the lists given; returns the log it wrote.
    std::string RunProgram(const char *accept, const char *block) {
        test::WriteFile("Accept Always.txt", accept);
        test::WriteFile("Block.txt", block);
        for (const char *name : {"ZapMessage.wav", "AnonCallerMessage.wav", "Go Away.wav"})
            test::WriteFile(name, test::PcmWave(1, 8000, 16, test::Samples(400)));
        std::string script = "boxes auto\nat 1 press start\n";
        int at = 10;
        for (int i = 0; i < (int)(sizeof kScriptedCalls / sizeof *kScriptedCalls); i++) {
            at = i == kNextDayCall ? 86400 : at + 60;
            script += "at " + std::to_string(at) + " call " + kScriptedCalls[i].directive + "\n";
        }
        script += "at 90000 press stop\nat 90001 press exit\n";
        test::WriteFile("script.txt", script);
        remove("Calls Received.txt");
        std::string command = std::string("timeout 30 ") + RINGWARD_BINARY +
                              " --script script.txt >out.txt 2>err.txt";
        int status = system(command.c_str());
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << test::ReadFile("err.txt");
        return test::ReadFile("Calls Received.txt");
    }
};

TEST_F(CallLogTest, ReplayListsTheCallsTheEditedListsDecideOtherwise) {
    std::string before = RunProgram(kFirstAccept, kFirstBlock);
    std::string after = RunProgram(kEditedAccept, kEditedBlock); // the lists stay edited
    test::WriteFile("before.txt", before + "not a record\n");
    test::CheckRun run = test::RunCheckTool({"replay", "before.txt"});

    std::vector<std::string> changed, beforeLines = test::CheckRun{0, before, ""}.Lines(),
                                      afterLines = test::CheckRun{0, after, ""}.Lines();
    ASSERT_EQ(beforeLines.size(), sizeof kScriptedCalls / sizeof *kScriptedCalls);
    ASSERT_EQ(afterLines.size(), beforeLines.size());
    int nowAllowed = 0, nowBlocked = 0;
    for (size_t i = 0; i < beforeLines.size(); i++) {
        const std::string decision = afterLines[i].substr(afterLines[i].size() - 7);
        EXPECT_EQ(decision == "Blocked", kScriptedCalls[i].blockedAfter) << afterLines[i];
        if (beforeLines[i].substr(beforeLines[i].size() - 7) == decision)
            continue;
        changed.push_back("before.txt:" + std::to_string(i + 1) + ": " +
                          beforeLines[i].substr(0, 19));
        (decision == "Blocked" ? nowBlocked : nowAllowed)++;
    }
    std::vector<std::string> lines = run.Lines();
    ASSERT_EQ(lines.size(), changed.size() + 2) << run.out;
    for (size_t i = 0; i < changed.size(); i++)
        EXPECT_EQ(lines[i].substr(0, changed[i].size()), changed[i]);
    EXPECT_EQ(lines[0], "before.txt:2: " + beforeLines[1].substr(0, 19) +
                            "  555-019-8811  \"PEST; INC\"  Blocked, now Allowed by Accept "
                            "Always.txt:2 (entry 5550198811)");
    EXPECT_EQ(lines[changed.size()],
              "replayed 8 calls of before.txt against the lists as they are now: " +
                  std::to_string(changed.size()) + " would be decided otherwise (" +
                  std::to_string(nowAllowed) + " now allowed, " + std::to_string(nowBlocked) +
                  " now blocked); 1 line could not be read as records");
    EXPECT_EQ(run.code, 1);

    // The log of the edited lists holds nothing to change.
    test::CheckRun again = test::RunCheckTool({"replay"});
    EXPECT_EQ(again.code, 0) << again.out;
    EXPECT_EQ(again.Lines().size(), 2u);
}

TEST_F(CallLogTest, ReportCountsTheScriptsCalls) {
    std::vector<std::string> log =
        test::CheckRun{0, RunProgram(kFirstAccept, kFirstBlock), ""}.Lines();
    ASSERT_EQ(log.size(), sizeof kScriptedCalls / sizeof *kScriptedCalls);
    test::CheckRun run = test::RunCheckTool({"report"});
    EXPECT_EQ(run.code, 0);
    int blocked = 0, firstDayBlocked = 0;
    for (int i = 0; i < (int)log.size(); i++) {
        blocked += kScriptedCalls[i].blockedBefore;
        firstDayBlocked += kScriptedCalls[i].blockedBefore && i < kNextDayCall;
    }
    char line[128];
    snprintf(line, sizeof line, "Calls Received.txt: 8 calls from %s to %s, %d blocked (%d%%)",
             log.front().substr(0, 19).c_str(), log.back().substr(0, 19).c_str(), blocked,
             blocked * 100 / 8);
    EXPECT_EQ(run.LineStarting("Calls Received.txt:"), line);
    snprintf(line, sizeof line, "  12/07/2026  %6d  %7d  %7d", kNextDayCall,
             kNextDayCall - firstDayBlocked, firstDayBlocked);
    EXPECT_EQ(run.LineStarting("  12/07/2026"), line);
    EXPECT_EQ(run.LineStarting("  12/08/2026"), "  12/08/2026       1        0        1");
    EXPECT_EQ(run.LineStarting("  555-019-8811"), "  555-019-8811       2        2  " +
                                                      log[1].substr(0, 19) + "  " +
                                                      log.back().substr(0, 19));
}

struct LogLine {
    const char *line;
    bool record; // a record the program writes
};

TEST_F(CheckCallsTest, ReplayReadsOnlyTheRecordsTheProgramWrites) {
    const LogLine lines[] = {
        {"12/07/2026 14:48:10,   PEST; INC       ,   555-019-8811,   Blocked\r", true},
        {"02/29/2028 08:00:00,   No CID Name     ,   Private   ,   Allowed", true},
        {"12/07/2026 14:48:10,   SHORT           ,   555-123-   4,   Allowed", true},
        {"12/07/2026 14:48:10,   LONG ENTRY      ,   212-555-0100,   Allowed", true},
        {"02/30/2026 08:00:00,   BAD DAY         ,   555-019-8811,   Blocked", false},
        {"12/07/2026 24:00:00,   BAD HOUR        ,   555-019-8811,   Blocked", false},
        {"12/07/2026 14:48:10,   PEST; INC       ,   555-019-8811,   Maybe  ", false},
        {"12/07/2026 14:48:10,   PEST; INC       ,   555-01-98811,   Blocked", false},
        {"12/07/2026 14:48:10,   NAME            ,   Out of area,   Allowed", false},
        {"12/07/2026 14:48:10,PEST; INC,555-019-8811,Blocked", false},
        {"", false}, // a blank line is passed over without a count
    };
    std::string log;
    int unreadable = 0;
    for (const LogLine &l : lines) {
        log += std::string(l.line) + "\n";
        unreadable += !l.record && l.line[0] != '\0';
    }
    log += std::string(300, 'x') + "\n";
    unreadable++;
    test::WriteFile("Calls Received.txt", log);
    test::WriteFile("Accept Always.txt", "555-019\n2125550100123\n");
    test::WriteFile("Block.txt", "555-123\nP\n");
    test::CheckRun run = test::RunCheckTool({"replay"});
    EXPECT_EQ(run.out,
              "Calls Received.txt:1: 12/07/2026 14:48:10  555-019-8811  \"PEST; INC\"  Blocked, "
              "now Allowed by Accept Always.txt:1 (entry 555019)\n"
              "Calls Received.txt:2: 02/29/2028 08:00:00  Private       \"No CID Name\"  "
              "Allowed, now Blocked by Block.txt:2 (entry P)\n"
              "Calls Received.txt:3: 12/07/2026 14:48:10  555-123-   4  \"SHORT\"  Allowed, now "
              "Blocked by Block.txt:1 (entry 555123)\n"
              "replayed 4 calls of Calls Received.txt against the lists as they are now: 3 would "
              "be decided otherwise (1 now allowed, 2 now blocked); " +
                  std::to_string(unreadable) +
                  " lines could not be read as records\n"
                  "The log keeps only the first ten digits of a number, 16 characters of a name "
                  "and not which entry decided: each call is decided again on what it keeps.\n");

    // A change that an entry longer than the logged ten digits may undo is marked.
    test::WriteFile("Accept Always.txt", "");
    test::WriteFile("Block.txt", "2125550100999\n");
    test::WriteFile("Calls Received.txt",
                    "12/07/2026 14:48:10,   LONG NUMBER     ,   212-555-0100,   Blocked\n");
    EXPECT_EQ(test::RunCheckTool({"replay"}).LineStarting("Calls Received.txt:1:"),
              "Calls Received.txt:1: 12/07/2026 14:48:10  212-555-0100  \"LONG NUMBER\"  Blocked, "
              "now Allowed: no entry matches (uncertain: an entry longer than the ten digits the "
              "log keeps may match)");
}

} // namespace
