// Shared test fixture: a fresh simulated machine, a fresh working directory and a zeroed state
// record for every test, and small helpers to read what the program wrote.
#ifndef RINGWARD_TEST_SUPPORT_H
#define RINGWARD_TEST_SUPPORT_H

#include "common/state.h"
#include "platform/sim/sim.h"

#include <functional>
#include <gtest/gtest.h>
#include <string>

namespace test {

// Runs each test in its own empty directory on a freshly booted simulated machine.
class Machine : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    std::string dir;

  private:
    std::string previousDir;
};

// Closes the logs, zeroes the state record and boots the simulated machine again, for a test
// that runs several rounds.
void BackToBoot();

// The run-time's stream calls that every log entry makes ("_read", "_write", "_commit",
// "fflush"), for checks of the other platform calls in order.
bool IsStreamCall(const std::string &function);

std::string ReadFile(const std::string &path);
void WriteFile(const std::string &path, const std::string &content);
bool FileExists(const std::string &path);

// Opens both logs the way the program does at start-up.
void OpenLogs();

// Registers with the simulated telephony service, with callback, and opens the line of a
// voice modem on device 0, the way modem discovery does. Clears the journal afterwards.
struct OpenedLine {
    HLINEAPP app;
    HLINE line;
};
OpenedLine OpenModemLine(LINECALLBACK callback);

// Lets a call ring in on the open line now and returns its handle; its messages are discarded.
HCALL RingInCall();

// For death tests: registers an exit hook that writes the journal of platform calls (without
// the stream calls) to "journal.txt" and the message boxes to "boxes.txt", so the parent can
// read them afterwards.
void DumpOnExit();
std::string BoxesText();

// What a child process left behind once it ended: its journal, its boxes and the event log.
struct Aftermath {
    std::string journal, boxes, eventLog;
};
// Runs body in a child process that must end with exit code 0 (the program's orderly end), and
// reads what it left behind.
Aftermath RunToExitZero(const std::function<void()> &body);

// Writes to an unmapped address: an access violation for the exception filter to report.
void WriteToUnmappedAddress();

} // namespace test

#endif
