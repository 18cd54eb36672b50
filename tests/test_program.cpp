// The built Linux program, run headless with scripts: start-up order and its failures, the
// Start/Stop switch, Exit, About, whole calls, and the exit code, as a tester would run it.
#include "support.h"
#include "wave_files.h"

#include <string.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <sys/wait.h>

#ifndef RINGWARD_BINARY
#error "RINGWARD_BINARY names the program under test"
#endif

namespace {

const char kStartLine[] = "\nStarting screening calls at Mon Dec 07 14:47:29 2026\n";

class ProgramTest : public test::Machine {
  protected:
    void SetUp() override {
        Machine::SetUp();
        WriteWorkingFiles();
    }

    // The lists and messages of a working directory, in the current directory.
    void WriteWorkingFiles() {
        test::WriteFile("Accept Always.txt", "// friends\n555-010-4477\n");
        test::WriteFile("Block.txt", "555-019-8811 @ Go Away.wav\n900\nP\n");
        zap = test::Samples(4000, 1);
        goAway = test::Samples(8000, 3);
        test::WriteFile("ZapMessage.wav", test::PcmWave(1, 8000, 16, zap));
        test::WriteFile("AnonCallerMessage.wav", test::PcmWave(1, 8000, 16, test::Samples(800)));
        test::WriteFile("Go Away.wav", test::PcmWave(1, 8000, 16, goAway));
    }

    // Runs the program on script; fills out, err and returns the exit code.
    int Run(const std::string &script, const std::string &options = "") {
        test::WriteFile("script.txt", script);
        std::string command = std::string("timeout 30 ") + RINGWARD_BINARY +
                              " --script script.txt " + options + " >out.txt 2>err.txt";
        int status = system(command.c_str());
        out = test::ReadFile("out.txt");
        err = test::ReadFile("err.txt");
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    std::string out, err, zap, goAway;
};

TEST_F(ProgramTest, StartStopStartWritesTwoStartLinesAndExitEndsWithZero) {
    EXPECT_EQ(Run("at 1 press start\nat 2 press stop\nat 3 press start\nat 4 press stop\n"
                  "at 5 press exit\n"),
              0)
        << err;
    EXPECT_EQ(test::ReadFile("EventLog.txt"),
              std::string(kStartLine) + "\nStarting screening calls at Mon Dec 07 14:47:31 2026\n");
    EXPECT_EQ(err, "");
    EXPECT_TRUE(test::FileExists("Calls Received.txt"));
}

TEST_F(ProgramTest, ExitIsRefusedWhileScreening) {
    EXPECT_EQ(Run("at 1 press start\nat 2 press exit\nat 3 ok\nat 4 escape\nat 5 ok\n"
                  "at 6 close\nat 7 ok\nat 8 press stop\nat 9 escape\n"),
              0)
        << err;
    const std::string refusal = "box owner=\"Ringward\" caption=\"Ringward\" style=0x10010 "
                                "text=\"Please stop screening calls first.\"\n";
    EXPECT_EQ(err,
              "[      2.000] " + refusal + "[      4.000] " + refusal + "[      6.000] " + refusal);
}

TEST_F(ProgramTest, IdokAndAboutLeaveTheProgramRunning) {
    EXPECT_EQ(Run("at 1 command 1\nat 3 about\nat 4 escape\nat 5 syscommand 0x1F\n"
                  "at 6 enter\nat 7 press exit\n"),
              0)
        << err;
    EXPECT_EQ(err, "");
}

TEST_F(ProgramTest, BlockedAndAllowedCallsEndToEnd) {
    mkdir("played", 0755);
    EXPECT_EQ(Run("at 1 press start\n"
                  "at 2 call number=\"555-019-8811\" name=\"PEST, INC\"\n"
                  "at 30 call number=\"555-010-4477\" name=\"MOM\" rings=2\n"
                  "at 60 press stop\nat 61 press exit\n",
                  "--played played"),
              0)
        << err;
    EXPECT_EQ(test::ReadFile("Calls Received.txt"),
              "12/07/2026 14:47:32,   PEST; INC       ,   555-019-8811,   Blocked\n"
              "12/07/2026 14:48:00,   MOM             ,   555-010-4477,   Allowed\n");
    std::string played = test::ReadFile("played/1-Go Away.wav");
    EXPECT_EQ(played, test::PcmWave(1, 8000, 16, goAway));
    EXPECT_NE(out.find("Call 1 answered"), std::string::npos) << out;
}

struct StartupFailure {
    const char *name;
    void (*arrange)();
    const char *script;
    const char *box;
};

TEST_F(ProgramTest, StartupFailuresShowTheirMessageAndEndWithZero) {
    const StartupFailure cases[] = {
        {"unwritable event log", [] { mkdir("EventLog.txt", 0755); }, "",
         "box owner=\"Ringward\" caption=\"Ringward\" style=0x10010 "
         "text=\"Error opening event log file.  Shutting down.\""},
        {"unwritable calls log", [] { mkdir("Calls Received.txt", 0755); }, "",
         "box owner=\"Ringward\" caption=\"Ringward\" style=0x10010 "
         "text=\"Error opening calls received file.  Shutting down.\""},
        {"missing block list", [] { remove("Block.txt"); }, "",
         "box owner=none caption=\"Ringward\" style=0x10010 text=\"Mon Dec 07 14:47:28 "
         "2026\\nRingward: 0, OID 300: F - Error opening Block.txt file.\\nGLE = 2\""},
        {"no modem", [] {}, "machine none\n",
         "box owner=none caption=\"Ringward\" style=0x10010 text=\"Mon Dec 07 14:47:28 "
         "2026\\nRingward: 0, IVM 580: F - No Agere voice modem found or voice modem "
         "busy.\\nGLE = 0\""},
    };
    for (const StartupFailure &c : cases) {
        ASSERT_EQ(mkdir(c.name, 0755), 0);
        ASSERT_EQ(chdir(c.name), 0);
        WriteWorkingFiles();
        c.arrange();
        EXPECT_EQ(Run(std::string("boxes auto\n") + c.script), 0) << c.name << "\n" << err;
        EXPECT_NE(err.find(c.box), std::string::npos) << c.name << "\n" << err;
        ASSERT_EQ(chdir(".."), 0);
    }
}

TEST_F(ProgramTest, EventLogFailureTouchesNothingElse) {
    mkdir("EventLog.txt", 0755);
    EXPECT_EQ(Run("boxes auto\n"), 0) << err;
    EXPECT_FALSE(test::FileExists("Calls Received.txt"));
    EXPECT_EQ(out.find("opened"), std::string::npos) << out; // the line was never opened
}

TEST_F(ProgramTest, TerminationSignalEndsInOrder) {
    EXPECT_EQ(Run("at 1 press start\nat 2 signal TERM\n"), 0) << err;
    EXPECT_NE(out.find("] Line 0 closed"), std::string::npos) << out;
}

struct BadRun {
    const char *name;
    const char *script;
    const char *options;
    const char *error;
};

TEST_F(ProgramTest, BadScriptsAndOptionsAreRefusedWithCode2) {
    const BadRun cases[] = {
        {"bad line", "at x press start\n", "",
         "ringward: script.txt:1: a time is needed: \"at SECONDS\" or \"+SECONDS\"\n"},
        {"unknown action", "at 1 dance\n", "",
         "ringward: script.txt:1: unknown action \"dance\"\n"},
        {"mistyped fail", "at 1 fail lineAnwser 0\n", "",
         "ringward: script.txt:1: fail: lineAnwser is not a platform function that can fail\n"},
        {"no time at all", "at nan press start\n", "",
         "ringward: script.txt:1: a time is needed: \"at SECONDS\" or \"+SECONDS\"\n"},
        {"endless script", "", "--script /dev/zero", "ringward: /dev/zero is not a regular file\n"},
        {"script that waits", "", "--script fifo", "ringward: fifo is not a regular file\n"},
        {"folder for a script", "", "--script .", "ringward: . is a folder, not a file\n"},
        {"endless machine", "", "--machine /dev/zero",
         "ringward: --machine /dev/zero is not a regular file\n"},
        {"script ends early", "at 1 press start\n", "",
         "ringward: the script has ended, but the program is still running\n"},
        {"unknown option", "", "--colour", "ringward: unknown option --colour\n"},
    };
    ASSERT_EQ(mkfifo("fifo", 0644), 0);
    for (const BadRun &c : cases) {
        EXPECT_EQ(Run(c.script, c.options), 2) << c.name;
        EXPECT_EQ(err.substr(0, strlen(c.error)), c.error) << c.name << "\n" << err;
    }
}

// A caller's name is one line of standard output however it is made, and a reader of that output
// who goes away (a pipe into head) does not end the run.
TEST_F(ProgramTest, NotesAreOneLineEachAndAClosedOutputDoesNotEndTheRun) {
    test::WriteFile("script.txt", "boxes auto\nat 1 press start\n"
                                  "at 2 call number=\"555-019-8811\" "
                                  "name=\"PEST\\n[      9.000] Call 9 answered\\x1b[2J\"\n"
                                  "at 60 press stop\nat 61 press exit\n");
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    close(pipeEnds[0]); // nobody reads: every note is written into a broken pipe
    pid_t child = fork();
    if (child == 0) {
        dup2(pipeEnds[1], 1);
        execl(RINGWARD_BINARY, RINGWARD_BINARY, "--script", "script.txt", (char *)nullptr);
        _exit(127);
    }
    close(pipeEnds[1]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_NE(test::ReadFile("Calls Received.txt").find("Blocked"), std::string::npos);

    EXPECT_EQ(Run(test::ReadFile("script.txt")), 0) << err;
    EXPECT_NE(out.find("PEST\\n[      9.000] Call 9 answered\\x1B[2J"), std::string::npos) << out;
    EXPECT_EQ(out.find("\n[      9.000]"), std::string::npos) << out;
}

} // namespace
