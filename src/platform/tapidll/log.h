// The telephony DLL's log: what its line devices do, and every telephony call the program made
// with its result, appended to the file that RINGWARD_TAPI_LOG names, so that a test can read
// what happened on the line. Without that variable the lines go to the debugger's output only.
#ifndef RINGWARD_TAPIDLL_LOG_H
#define RINGWARD_TAPIDLL_LOG_H

#include <string>

namespace tapidll {

void OpenLog();
// One line, "[ms] text", stamped with the service's clock.
void LogLine(const std::string &text);
// Writes the journal's calls that are not in the log yet.
void LogNewCalls();

} // namespace tapidll

#endif
