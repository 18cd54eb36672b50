// The number list loaders: the line format through both files, the 200-entry limits and the
// 200-line limit of "Block.txt", lines read in 133-character pieces, the "@" message names, the
// missing files, and the limit boxes owned by the main dialog.
#include "lists/lists.h"
#include "screening/screening.h"
#include "support.h"

#include <stdlib.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

const char kAcceptFile[] = "Accept Always.txt";
const char kBlockFile[] = "Block.txt";
const HWND kMainWindow = (HWND)(uintptr_t)0x5A0C;
const UINT kBoxStyle = 0x10010;
const char kAcceptLimitText[] = "Limit of 200 numbers to accept reached.  Continuing.";
const char kBlockLimitText[] = "Limit of 200 numbers to block reached.  Continuing.";

using BlockEntry = std::pair<std::string, std::string>; // number, message name

class ListsTest : public test::Machine {
  protected:
    void SetUp() override {
        test::Machine::SetUp();
        g_state.mainWindow = kMainWindow;
    }

    static std::vector<std::string> AcceptEntries() {
        return std::vector<std::string>(g_state.acceptList,
                                        g_state.acceptList + g_state.acceptCount);
    }
    static std::vector<BlockEntry> BlockEntries() {
        std::vector<BlockEntry> entries;
        for (int i = 0; i < g_state.blockCount; i++)
            entries.emplace_back(g_state.blockList[i], g_state.blockMessages[i]);
        return entries;
    }
    static std::vector<std::string> LoadAccept(const std::string &content) {
        test::WriteFile(kAcceptFile, content);
        LoadAcceptList();
        EXPECT_EQ(g_state.acceptFile, nullptr);
        return AcceptEntries();
    }
    static std::vector<BlockEntry> LoadBlock(const std::string &content) {
        test::WriteFile(kBlockFile, content);
        EXPECT_EQ(LoadBlockList(), 0);
        EXPECT_EQ(g_state.blockFile, nullptr);
        return BlockEntries();
    }
    static void ExpectOnlyLimitBox(const char *text) {
        ASSERT_EQ(sim::MessageBoxes().size(), 1u);
        const sim::MessageBoxRecord &box = sim::MessageBoxes()[0];
        EXPECT_EQ(box.text, text);
        EXPECT_EQ(box.owner, kMainWindow);
        EXPECT_EQ(box.caption, "Ringward");
        EXPECT_EQ(box.style, kBoxStyle);
    }
};

// n numbers 5550000, 5550001, ... one a line.
std::string Numbers(int first, int n) {
    std::string text;
    for (int i = first; i < first + n; i++)
        text += std::to_string(5550000 + i) + "\n";
    return text;
}

std::string Comments(int n) {
    std::string text;
    for (int i = 0; i < n; i++)
        text += "// note " + std::to_string(i) + "\n";
    return text;
}

struct LineCase {
    const char *line;
    const char *accept;  // entry from "Accept Always.txt"; null: none
    const char *block;   // entry from "Block.txt"; null: none
    const char *message; // its message name
};

const LineCase kLineCases[] = {
    {"// friends and family", nullptr, nullptr, ""},
    {"", nullptr, nullptr, ""},
    {"(555) 010-4477", "5550104477", "5550104477", ""},
    {"1-800-555-0199", "8005550199", "8005550199", ""},
    {"1800", "1800", "1800", ""},
    {"555", "555", "555", ""},
    {"p", "P", "P", ""},
    {"o", "O", "O", ""},
    {"N", "N", "N", ""},
    {"7", nullptr, nullptr, ""},
    {"n", nullptr, nullptr, ""},
    {"555-0188 @ Go Away.wav", "5550188", "5550188", "Go Away.wav"},
    {"555-0188@", "5550188", "5550188", ""},
    {"@ Go Away.wav", nullptr, nullptr, ""},
    {"555-0188 @ msg2.wav", "55501882", "5550188", "msg2.wav"},
    {"555-0123 // cousin 2", "55501232", "55501232", ""},
    {"p @ anon.wav", nullptr, "P", "anon.wav"},
    {"  \t// 555 0100", nullptr, nullptr, ""},
    {"/ / 555", "555", "555", ""},
    {"1234567890123456789012345678901234567890", "123456789012345678901234567890",
     "123456789012345678901234567890", ""},
};

TEST_F(ListsTest, EachLineGivesItsEntryInBothFiles) {
    for (const LineCase &c : kLineCases) {
        std::vector<std::string> accept = LoadAccept(std::string(c.line) + "\n");
        std::vector<std::string> expectedAccept;
        if (c.accept)
            expectedAccept.push_back(c.accept);
        EXPECT_EQ(accept, expectedAccept) << c.line;

        std::vector<BlockEntry> block = LoadBlock(std::string(c.line) + "\n");
        std::vector<BlockEntry> expectedBlock;
        if (c.block)
            expectedBlock.emplace_back(c.block, c.message);
        EXPECT_EQ(block, expectedBlock) << c.line;
    }
    EXPECT_TRUE(sim::MessageBoxes().empty());
}

TEST_F(ListsTest, AllLinesOfOneFileKeepFileOrder) {
    std::string content;
    std::vector<std::string> expectedAccept;
    std::vector<BlockEntry> expectedBlock;
    for (const LineCase &c : kLineCases) {
        content += std::string(c.line) + "\n";
        if (c.accept)
            expectedAccept.push_back(c.accept);
        if (c.block)
            expectedBlock.emplace_back(c.block, c.message);
    }
    EXPECT_EQ(LoadAccept(content), expectedAccept);
    EXPECT_EQ(LoadBlock(content), expectedBlock);
}

TEST_F(ListsTest, CrLfLinesGiveTheSameEntriesAsLf) {
    const std::string lf = "// list\n555-0188 @ Go Away.wav\n\n  1-800-555-0199  \np\n";
    std::string crlf;
    for (char c : lf)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);

    std::vector<std::string> acceptLf = LoadAccept(lf);
    EXPECT_EQ(acceptLf, (std::vector<std::string>{"5550188", "8005550199", "P"}));
    EXPECT_EQ(LoadAccept(crlf), acceptLf);

    std::vector<BlockEntry> blockLf = LoadBlock(lf);
    EXPECT_EQ(blockLf,
              (std::vector<BlockEntry>{{"5550188", "Go Away.wav"}, {"8005550199", ""}, {"P", ""}}));
    EXPECT_EQ(LoadBlock(crlf), blockLf);
}

TEST_F(ListsTest, LastLineWithoutLineFeedCounts) {
    EXPECT_EQ(LoadAccept("555\n800"), (std::vector<std::string>{"555", "800"}));
    EXPECT_EQ(LoadBlock("555\n800 @ x.wav"),
              (std::vector<BlockEntry>{{"555", ""}, {"800", "x.wav"}}));
}

struct ParseCase {
    const char *line;
    const char *number;
    const char *message;
};

TEST(ParseBlockEntry, SplitsAtTheFirstAt) {
    const ParseCase cases[] = {
        {"  555-0188 @  Go Away.wav \r\n", "5550188", "Go Away.wav"},
        {"555-0188 @ first.wav @ second.wav", "5550188", "first.wav @ second.wav"},
        {"555@@", "555", "@"},
        {"@", "", ""},
        {"555", "555", ""},
        {"x @ y.wav", "", "y.wav"},
        {"(800) 555-0100@ msg 2.wav", "8005550100", "msg 2.wav"},
        {"", "", ""},
    };
    for (const ParseCase &c : cases) {
        char line[134];
        snprintf(line, sizeof line, "%s", c.line);
        char message[kMessageNameSize];
        snprintf(message, sizeof message, "stale");
        ParseBlockEntry(line, message);
        EXPECT_STREQ(line, c.number) << c.line;
        EXPECT_STREQ(message, c.message) << c.line;
    }
}

TEST(ParseBlockEntry, KeepsTheFirst47CharactersOfTheMessage) {
    const std::string name(60, 'm');
    char line[134];
    snprintf(line, sizeof line, "555 @  %s.wav  ", name.c_str());
    char message[kMessageNameSize];
    memset(message, 'x', sizeof message);
    ParseBlockEntry(line, message);
    EXPECT_STREQ(line, "555");
    EXPECT_EQ(std::string(message), std::string(47, 'm'));
}

TEST_F(ListsTest, LongMessageNamesAreCutAndNumbersStayWithin31) {
    const std::string name = std::string(50, 'a') + ".wav";
    std::vector<BlockEntry> block =
        LoadBlock("555 @ " + name + "\n" + std::string(60, '9') + " @ b.wav\n");
    ASSERT_EQ(block.size(), 2u);
    EXPECT_EQ(block[0], BlockEntry("555", std::string(47, 'a')));
    EXPECT_EQ(block[1], BlockEntry(std::string(30, '9'), "b.wav"));
    for (int i = 0; i < g_state.blockCount; i++)
        EXPECT_LE(strlen(g_state.blockList[i]), 31u);
}

TEST_F(ListsTest, LongLinesAreReadIn133CharacterPieces) {
    // 133 ones, 133 twos, then "34": three pieces, three entries.
    const std::string three = std::string(133, '1') + std::string(133, '2') + "34\n";
    EXPECT_EQ(LoadAccept(three),
              (std::vector<std::string>{std::string(30, '1'), std::string(30, '2'), "34"}));
    // One character past a piece is a line of its own: "p" alone is private.
    EXPECT_EQ(LoadAccept(std::string(133, '5') + "p\n"),
              (std::vector<std::string>{std::string(30, '5'), "P"}));
    // A number part cut off from its "@" keeps no message; the rest is a line of its own.
    EXPECT_EQ(LoadBlock(std::string(140, '7') + " @ a.wav\n"),
              (std::vector<BlockEntry>{{std::string(30, '7'), ""}, {"7777777", "a.wav"}}));
    EXPECT_TRUE(sim::MessageBoxes().empty());
}

TEST_F(ListsTest, EachPieceOfALongBlockLineCountsAsALineRead) {
    // 1 comment + 3 pieces + 196 entries make the 200 lines read: 199 entries, no box. Were the
    // long line counted once, 198 further entries would reach the 200-entry limit.
    const std::string three = std::string(133, '1') + std::string(133, '2') + "34\n";
    std::vector<BlockEntry> block = LoadBlock("// header\n" + three + Numbers(0, 250));
    ASSERT_EQ(block.size(), 199u);
    EXPECT_EQ(block[2].first, "34");
    EXPECT_EQ(block.back().first, "5550195");
    EXPECT_TRUE(sim::MessageBoxes().empty());
}

TEST_F(ListsTest, AcceptLimitWithExactly200EntriesStillShowsTheBox) {
    std::vector<std::string> accept = LoadAccept(Numbers(0, 200));
    ASSERT_EQ(accept.size(), 200u);
    EXPECT_EQ(accept.front(), "5550000");
    EXPECT_EQ(accept.back(), "5550199");
    ExpectOnlyLimitBox(kAcceptLimitText);
}

TEST_F(ListsTest, Accept199EntriesShowNoBox) {
    EXPECT_EQ(LoadAccept(Numbers(0, 199)).size(), 199u);
    EXPECT_TRUE(sim::MessageBoxes().empty());
}

TEST_F(ListsTest, Accept250EntriesAmongCommentsKeepTheFirst200) {
    // Comments and blank lines do not count against the accept list: it has no line limit.
    std::string content = Comments(300);
    for (int i = 0; i < 250; i++)
        content += "\n// entry " + std::to_string(i) + "\n" + Numbers(i, 1);
    std::vector<std::string> accept = LoadAccept(content);
    ASSERT_EQ(accept.size(), 200u);
    for (int i = 0; i < 200; i++)
        EXPECT_EQ(accept[i], std::to_string(5550000 + i));
    ExpectOnlyLimitBox(kAcceptLimitText);
}

TEST_F(ListsTest, BlockFileOf200EntryLinesFillsTheTableAndShowsTheBox) {
    std::vector<BlockEntry> block = LoadBlock(Numbers(0, 250));
    ASSERT_EQ(block.size(), 200u);
    EXPECT_EQ(block.back().first, "5550199");
    ExpectOnlyLimitBox(kBlockLimitText);
}

TEST_F(ListsTest, BlockFileReadsOnly200Lines) {
    std::vector<BlockEntry> block = LoadBlock(Comments(10) + Numbers(0, 250));
    ASSERT_EQ(block.size(), 190u);
    EXPECT_EQ(block.front().first, "5550000");
    EXPECT_EQ(block.back().first, "5550189");
    EXPECT_TRUE(sim::MessageBoxes().empty());

    // Blank lines and lines that give no number count as well.
    EXPECT_EQ(LoadBlock(std::string("\n\n7\n@ a.wav\n") + Numbers(0, 250)).size(), 196u);
    EXPECT_TRUE(sim::MessageBoxes().empty());
}

TEST_F(ListsTest, MissingAcceptFileLeavesTheListEmptySilently) {
    test::OpenLogs();
    LoadAcceptList();
    EXPECT_EQ(g_state.acceptCount, 0);
    EXPECT_EQ(g_state.acceptFile, nullptr);
    // A device in its place is no file either: refused at once, not read for ever.
    ASSERT_EQ(symlink("/dev/zero", kAcceptFile), 0);
    LoadAcceptList();
    EXPECT_EQ(g_state.acceptCount, 0);
    EXPECT_TRUE(sim::MessageBoxes().empty());
    fflush(g_state.eventLog);
    EXPECT_EQ(test::ReadFile("EventLog.txt"), "");
}

TEST_F(ListsTest, BlockFileThatIsNoFileIsReportedAndFails) {
    // As on Windows: the last error tells a missing file from a folder; a device or a FIFO is
    // refused like a folder, at once.
    const struct {
        const char *what;
        const char *make; // a shell command, or null for no file at all
        const char *gle;
    } cases[] = {
        {"missing", nullptr, "2"},
        {"folder", "mkdir 'Block.txt'", "5"},
        {"device", "ln -s /dev/zero 'Block.txt'", "5"},
        {"fifo", "mkfifo 'Block.txt'", "5"},
    };
    test::OpenLogs();
    std::string log;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(system("rm -rf 'Block.txt'"), 0);
        if (c.make) {
            ASSERT_EQ(system(c.make), 0);
        }
        sim::ClearMessageBoxes();
        sim::SetLastErrorValue(0);
        EXPECT_EQ(LoadBlockList(), -1);
        EXPECT_EQ(g_state.blockCount, 0);
        EXPECT_EQ(g_state.blockFile, nullptr);
        const std::string report = "Mon Dec 07 14:47:28 2026\nRingward: 0, OID 300: F - Error "
                                   "opening Block.txt file.\nGLE = " +
                                   std::string(c.gle);
        log += report + "\n\n";
        ASSERT_EQ(sim::MessageBoxes().size(), 1u);
        EXPECT_EQ(sim::MessageBoxes()[0].text, report);
        EXPECT_EQ(sim::MessageBoxes()[0].owner, nullptr); // a failure report, not the dialog's
        EXPECT_EQ(sim::MessageBoxes()[0].caption, "Ringward");
        EXPECT_EQ(sim::MessageBoxes()[0].style, kBoxStyle);
    }
    EXPECT_EQ(test::ReadFile("EventLog.txt"), log);
}

TEST_F(ListsTest, EmptyBlockFileGivesNoEntries) {
    EXPECT_TRUE(LoadBlock("").empty());
    EXPECT_TRUE(LoadBlock("// nothing yet\r\n\r\n").empty());
    EXPECT_TRUE(sim::MessageBoxes().empty());
    snprintf(g_state.callerNumber, sizeof g_state.callerNumber, "8005551234");
    EXPECT_EQ(ScreenCaller(), VERDICT_ALLOWED);
}

TEST_F(ListsTest, ReadErrorEndsTheFileLikeItsEnd) {
    // Longer than one buffer of the stream, so that the second read of the file fails.
    std::string content = "800555\n";
    for (int i = 0; i < 150; i++)
        content += "// " + std::string(126, 'x') + "\n";
    content += "900\n";
    test::WriteFile(kBlockFile, content);
    sim::FailCall("_read", ERROR_READ_FAULT, 2, kBlockFile);
    g_state.blockCount = 7;
    EXPECT_EQ(LoadBlockList(), 0);
    EXPECT_EQ(BlockEntries(), (std::vector<BlockEntry>{{"800555", ""}}));
    EXPECT_EQ(g_state.blockFile, nullptr);
    EXPECT_EQ(sim::CallsTo("_read").size(), 2u);
    EXPECT_TRUE(sim::MessageBoxes().empty());
}

TEST_F(ListsTest, DuplicatesAreKeptAndTheFirstMatchDecides) {
    LoadAccept("800 555 0100\n");
    std::vector<BlockEntry> block = LoadBlock("555 @ a.wav\n555 @ b.wav\n800-555-0100 @ c.wav\n");
    EXPECT_EQ(block, (std::vector<BlockEntry>{
                         {"555", "a.wav"}, {"555", "b.wav"}, {"8005550100", "c.wav"}}));

    snprintf(g_state.callerNumber, sizeof g_state.callerNumber, "5551234");
    EXPECT_EQ(ScreenCaller(), VERDICT_BLOCKED);
    EXPECT_STREQ(g_state.messageFile, "a.wav");
    // In both files: the accept list is consulted first.
    snprintf(g_state.callerNumber, sizeof g_state.callerNumber, "8005550100");
    EXPECT_EQ(ScreenCaller(), VERDICT_ALLOWED);
}

} // namespace
