// ringward-check [DIR]: every finding on a folder that has it and on the same folder without
// the fault, the notes that are no findings, the exit codes, and the built program's output.
#include "check_run.h"
#include "support.h"
#include "wave_files.h"

#include <map>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>

#ifndef RINGWARD_CHECK_BINARY
#error "RINGWARD_CHECK_BINARY names the checker under test"
#endif

namespace {

using Files = std::map<std::string, std::string>; // name: content; "" with kRemove: no file

const char kRemove[] = "\x01remove";

std::string Wave(uint16_t channels = 1, uint32_t rate = 8000, uint16_t bits = 16) {
    return test::PcmWave(channels, rate, bits, test::Samples(800));
}

// The folder every case starts from: clean, with both standard messages.
Files BaseFolder() {
    return {{"Accept Always.txt", "// friends\n212-555-0100\n"},
            {"Block.txt", "// pests\n900\nP\n"},
            {"ZapMessage.wav", Wave()},
            {"AnonCallerMessage.wav", Wave()},
            {"Go Away.wav", Wave()}};
}

std::string Repeat(const std::string &text, int n) {
    std::string out;
    for (int i = 0; i < n; i++)
        out += text;
    return out;
}

// n entries 9100000, 9100001, ... one a line, after comments comment lines.
std::string Entries(int n, int comments = 0) {
    std::string text = Repeat("// note\n", comments);
    for (int i = 0; i < n; i++)
        text += std::to_string(9100000 + i) + "\n";
    return text;
}

std::string Utf16(const std::string &text, bool mark) {
    std::string out = mark ? "\xFF\xFE" : "";
    for (char c : text)
        out += std::string(1, c) + '\0';
    return out;
}

struct FindingCase {
    const char *what;
    Files faulty;     // over the base folder
    Files clean;      // the same folder without the fault
    std::string line; // the output line of the fault begins with it
    bool note;        // a note: worth knowing, no finding
};

const std::string kLongName = Repeat("a", 50) + ".wav";
const std::string kLongestName = Repeat("a", 43) + ".wav"; // 47 characters: kept whole

const FindingCase kCases[] = {
    {"a word gives no entry",
     {{"Accept Always.txt", "212-555-0100\nPRIVATE\n"}},
     {},
     "Accept Always.txt:2: \"PRIVATE\" gives no entry: it holds no digits",
     false},
    {"a lone n",
     {{"Block.txt", "900\nn\n"}},
     {{"Block.txt", "900\nN\n"}},
     "Block.txt:2: \"n\" gives no entry: a lone n is dropped",
     false},
    {"a single digit",
     {{"Block.txt", "7\n900\n"}},
     {{"Block.txt", "77\n900\n"}},
     "Block.txt:1: \"7\" gives no entry: a single digit is dropped",
     false},
    {"no number before the @",
     {{"Block.txt", "@ Go Away.wav\n900\n"}},
     {{"Block.txt", "555 @ Go Away.wav\n900\n"}},
     "Block.txt:1: \"@ Go Away.wav\" gives no entry: there is no number before",
     false},
    {"an eleven-digit number with its 1",
     {{"Accept Always.txt", "1-212-555-0100\n"}},
     {},
     "Accept Always.txt:1: note: \"1-212-555-0100\" is entry 2125550100: the leading 1",
     true},
    {"eleven digits without the 1",
     {{"Block.txt", "28005551234\n"}},
     {{"Block.txt", "8005551234\n"}},
     "Block.txt:1: \"28005551234\" is entry 28005551234: eleven digits",
     false},
    {"more than 30 digits",
     {{"Block.txt", Repeat("9", 34) + "\n"}},
     {{"Block.txt", Repeat("9", 30) + "\n"}},
     "Block.txt:1: \"" + Repeat("9", 34) + "\" is entry " + Repeat("9", 30) +
         ": only the first 30 digits count",
     false},
    {"a prefix with its 1",
     {{"Block.txt", "1-900\n"}},
     {{"Block.txt", "900\n"}},
     "Block.txt:1: \"1-900\" is entry 1900: callers' eleven-digit numbers lose",
     false},
    {"a comment after the number",
     {{"Accept Always.txt", "212-555-0100 // mom 2\n"}},
     {},
     "Accept Always.txt:1: \"212-555-0100 // mom 2\" is entry 21255501002: \"//\"",
     false},
    {"an @ in the accept list",
     {{"Accept Always.txt", "212-555-0100 @ x2.wav\n"}},
     {},
     "Accept Always.txt:1: \"212-555-0100 @ x2.wav\" is entry 21255501002: \"@\" means",
     false},
    {"letters",
     {{"Block.txt", "900-CALL-NOW\n"}},
     {{"Block.txt", "900-2255-669\n"}},
     "Block.txt:1: \"900-CALL-NOW\" is entry 900: letters are dropped",
     false},
    {"a line read in pieces",
     {{"Accept Always.txt", "212-555-0100" + Repeat(" ", 121) + "212-555-0199\n"}},
     {{"Accept Always.txt", "212-555-0100\n212-555-0199\n"}},
     "Accept Always.txt:1: is longer than 133 characters: the program reads 133 at a time, and "
     "reads \"212-555-0199\" as a line of its own",
     false},
    {"a message name cut at 47",
     {{"Block.txt", "900 @ " + kLongName + "\n"}},
     {{"Block.txt", "900 @ " + kLongestName + "\n"}, {kLongestName, Wave()}},
     "Block.txt:1: the message name is cut to its first 47 characters: the program looks for "
     "\"" +
         Repeat("a", 47) + "\"",
     false},
    {"accept entries past 200",
     {{"Accept Always.txt", Entries(250, 3)}},
     {{"Accept Always.txt", Entries(199, 3)}},
     "Accept Always.txt:204: never read: the program stops after 200 entries",
     false},
    {"exactly 200 accept entries",
     {{"Accept Always.txt", Entries(200)}},
     {{"Accept Always.txt", Entries(199)}},
     "Accept Always.txt:200: note: the 200th entry: the program shows \"Limit of 200",
     true},
    {"block entries past 200",
     {{"Block.txt", Entries(210)}},
     {{"Block.txt", Entries(200, 0)}},
     "Block.txt:201: never read: the program stops after 200 entries",
     false},
    {"block lines past 200",
     {{"Block.txt", Entries(250, 10)}},
     {{"Block.txt", Entries(190, 10)}},
     "Block.txt:201: never read: the program reads only 200 lines of Block.txt",
     false},
    {"UTF-16 with a mark",
     {{"Block.txt", Utf16("555-0188\r\n900\r\n", true)}},
     {{"Block.txt", "555-0188\r\n900\r\n"}},
     "Block.txt: saved as UTF-16 (little-endian); the program reads bytes and gets 1 entry from "
     "it: 5 (line 1), which blocks every number beginning with it",
     false},
    {"UTF-16 without a mark",
     {{"Block.txt", Utf16("// pests\r\n900\r\n", false)}},
     {{"Block.txt", "// pests\r\n900\r\n"}},
     "Block.txt: saved as UTF-16 (little-endian); the program reads bytes and gets no entries",
     false},
    {"a byte-order mark on a comment",
     {{"Block.txt", "\xEF\xBB\xBF// 555 0100 mom\n900\n"}},
     {{"Block.txt", "// 555 0100 mom\n900\n"}},
     "Block.txt:1: begins with a UTF-8 byte-order mark, which the program reads as three "
     "characters of this line, so this comment is read as entry 5550100",
     false},
    {"a harmless byte-order mark",
     {{"Block.txt", "\xEF\xBB\xBF// pests\n900\n"}},
     {},
     "Block.txt:1: note: begins with a UTF-8 byte-order mark",
     true},
    {"a NUL byte",
     {{"Block.txt", std::string("900\n55\0 55\n", 11)}},
     {{"Block.txt", "900\n55 55\n"}},
     "Block.txt:2: holds a NUL byte: the program reads the line only up to it, \"55\"",
     false},
    {"an accept duplicate",
     {{"Accept Always.txt", "212-555-0100\n2125550100\n"}},
     {},
     "Accept Always.txt:2: entry 2125550100 is a duplicate of line 1",
     false},
    {"an accept entry covered",
     {{"Accept Always.txt", "212555\n212-555-0100\n"}},
     {{"Accept Always.txt", "212556\n212-555-0100\n"}},
     "Accept Always.txt:2: entry 2125550100 changes nothing: line 1 (entry 212555)",
     false},
    {"a block duplicate",
     {{"Block.txt", "900\n900 @ Go Away.wav\n"}},
     {{"Block.txt", "900\n901 @ Go Away.wav\n"}},
     "Block.txt:2: entry 900 is a duplicate of line 1, which decides first, so its message "
     "\"Go Away.wav\" never plays",
     false},
    {"a block entry shadowed",
     {{"Block.txt", "900\n900555 @ Go Away.wav\n"}},
     {{"Block.txt", "900555 @ Go Away.wav\n900\n"}},
     "Block.txt:2: entry 900555 never decides: line 1 (entry 900) comes first",
     false},
    {"a block entry accepted anyway",
     {{"Accept Always.txt", "900\n"}, {"Block.txt", "900555\n"}},
     {{"Accept Always.txt", "900555\n"}, {"Block.txt", "900\n"}},
     "Block.txt:1: entry 900555 never blocks anyone: every caller it matches is let through by "
     "Accept Always.txt:1 (entry 900)",
     false},
    {"a missing message",
     {{"Block.txt", "900 @ sounds\\Gone.wav\n"}},
     {{"Block.txt", "900 @ sounds\\Gone.wav\n"}, {"sounds/Gone.wav", Wave()}},
     "Block.txt:1: message \"sounds\\\\Gone.wav\" is missing: a caller who should hear it ends "
     "the program",
     false},
    {"a message that is no WAVE file",
     {{"Go Away.wav", "just text\n"}, {"Block.txt", "900 @ Go Away.wav\n"}},
     {{"Block.txt", "900 @ Go Away.wav\n"}},
     "Block.txt:1: message \"Go Away.wav\" is not a WAVE file (no RIFF \"WAVE\" chunk)",
     false},
    {"a cut-short message",
     {{"Go Away.wav", Wave().substr(0, 200)}, {"Block.txt", "900 @ Go Away.wav\n"}},
     {{"Block.txt", "900 @ Go Away.wav\n"}},
     "Block.txt:1: message \"Go Away.wav\" is cut short",
     false},
    {"a message in another format",
     {{"Go Away.wav", Wave(2, 44100, 16)}, {"Block.txt", "900 @ Go Away.wav\n"}},
     {{"Go Away.wav", Wave(1, 8000, 8)}, {"Block.txt", "900 @ Go Away.wav\n"}},
     "Block.txt:1: message \"Go Away.wav\" is 44100 Hz stereo 16-bit PCM: voice modems",
     false},
    {"a message named after a device",
     {{"nul.wav", "not opened"}, {"Block.txt", "900 @ nul.wav\n"}},
     {{"null.wav", Wave()}, {"Block.txt", "900 @ null.wav\n"}},
     "Block.txt:1: message \"nul.wav\" is named after the Windows device NUL",
     false},
    {"a device name in other letters",
     {{"Block.txt", "900 @ sounds\\Com1 .WAV\n"}},
     {},
     "Block.txt:1: message \"sounds\\\\Com1 .WAV\" is named after the Windows device COM1",
     false},
    {"no ZapMessage.wav",
     {{"ZapMessage.wav", kRemove}},
     {},
     "ZapMessage.wav: is missing: a caller who should hear it ends the program",
     false},
    {"no AnonCallerMessage.wav",
     {{"AnonCallerMessage.wav", kRemove}},
     {},
     "AnonCallerMessage.wav: is missing: a caller who should hear it ends the program",
     false},
    {"no Block.txt",
     {{"Block.txt", kRemove}},
     {},
     "Block.txt: missing: the program reports \"F - Error opening Block.txt file.\"",
     false},
    {"no Accept Always.txt",
     {{"Accept Always.txt", kRemove}},
     {},
     "Accept Always.txt: note: missing: no caller is let through for sure",
     true},
};

class CheckFolderTest : public test::Machine {
  protected:
    // A fresh folder "case" from the base folder with changes, checked.
    test::CheckRun CheckWith(const Files &changes) {
        EXPECT_EQ(system("rm -rf case"), 0);
        mkdir("case", 0755);
        mkdir("case/sounds", 0755);
        Files files = BaseFolder();
        for (const auto &change : changes)
            files[change.first] = change.second;
        for (const auto &file : files)
            if (file.second != kRemove)
                test::WriteFile("case/" + file.first, file.second);
        return test::RunCheckTool({"case"});
    }
};

TEST_F(CheckFolderTest, EachFindingOnAFolderThatHasItAndOneThatHasNot) {
    for (const FindingCase &c : kCases) {
        test::CheckRun faulty = CheckWith(c.faulty);
        EXPECT_NE(faulty.LineStarting(c.line), "") << c.what << "\n" << faulty.out;
        EXPECT_EQ(faulty.code, c.note ? 0 : 1) << c.what << "\n" << faulty.out;

        test::CheckRun clean = CheckWith(c.clean);
        EXPECT_EQ(clean.code, 0) << c.what << " without the fault\n" << clean.out;
        std::string said = c.line.substr(c.line.find(": ") + 2);
        EXPECT_EQ(clean.out.find(said), std::string::npos) << c.what << "\n" << clean.out;
    }
}

TEST_F(CheckFolderTest, ACleanFolderSaysSoInItsSummary) {
    test::CheckRun run = CheckWith({{"Block.txt", "// pests\n900\n555-0188 @ Go Away.wav\nP\n"}});
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.out, "checked Accept Always.txt (1 entry), Block.txt (3 entries, 1 with a "
                       "message of its own) and 3 messages: no findings\n");
}

TEST_F(CheckFolderTest, FindingsComeInTheOrderOfFilesAndLines) {
    test::CheckRun run = CheckWith({{"Accept Always.txt", "7\n900\n"},
                                    {"Block.txt", "n\n900\n"},
                                    {"ZapMessage.wav", kRemove}});
    std::vector<std::string> lines = run.Lines();
    ASSERT_EQ(lines.size(), 5u) << run.out;
    EXPECT_EQ(lines[0].substr(0, 20), "Accept Always.txt:1:");
    EXPECT_EQ(lines[1].substr(0, 12), "Block.txt:1:");
    EXPECT_EQ(lines[2].substr(0, 12), "Block.txt:2:");
    EXPECT_EQ(lines[3].substr(0, 15), "ZapMessage.wav:");
    EXPECT_EQ(lines[4], "checked Accept Always.txt (1 entry), Block.txt (1 entry, 0 with a "
                        "message of its own) and 2 messages: 4 findings");
}

struct UsageCase {
    std::vector<std::string> args;
    const char *err; // the first line on standard error
};

TEST_F(CheckFolderTest, BadUsageAndUnreadableInputEndWithTwo) {
    test::WriteFile("a-file", "x");
    const UsageCase cases[] = {
        {{"no-such-folder"}, "ringward-check: cannot read the folder no-such-folder"},
        {{"a-file"}, "ringward-check: cannot read the folder a-file"},
        {{"one", "two"}, "ringward-check: the check takes one folder"},
        {{"--verbose"}, "ringward-check: unknown option"},
        {{"number"}, "ringward-check: number needs the caller's number as TEXT"},
        {{"number", "555", "--name"}, "ringward-check: number takes one TEXT and --name NAME"},
        {{"replay", "no-such-log"}, "ringward-check: cannot read no-such-log"},
        {{"report", "."}, "ringward-check: cannot read ."},
        {{"report", "a", "b"}, "ringward-check: report takes one LOG and --html FILE"},
        {{"report", "a-file", "--html", "Block.txt"},
         "ringward-check: Block.txt is one of the program's files; the page goes elsewhere"},
    };
    for (const UsageCase &c : cases) {
        test::CheckRun run = test::RunCheckTool(c.args);
        EXPECT_EQ(run.code, 2) << c.err;
        EXPECT_EQ(run.err.substr(0, run.err.find('\n')), c.err);
    }
    EXPECT_FALSE(test::FileExists("Block.txt")); // the refused page was not written
}

TEST_F(CheckFolderTest, TheBuiltProgramPrintsWhatTheCheckFinds) {
    CheckWith({{"Block.txt", "900\nn\n"}});
    std::string command = std::string(RINGWARD_CHECK_BINARY) + " case >out.txt 2>err.txt";
    int status = system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_EQ(test::ReadFile("out.txt"), test::RunCheckTool({"case"}).out);
    EXPECT_EQ(test::ReadFile("err.txt"), "");
}

} // namespace
