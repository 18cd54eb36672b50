// The telephony DLL's log, written with plain file calls so that it also works while the
// process is ending (the last calls are written from DllMain).
#include "platform/tapidll/log.h"

#include "platform/sim/sim.h"

#include <windows.h>

namespace tapidll {

namespace {

enum : DWORD { kPathSize = MAX_PATH };

char logPath[kPathSize] = "";
size_t callsLogged = 0;

void Append(const std::string &line) {
    OutputDebugStringA(line.c_str());
    if (!logPath[0])
        return;
    HANDLE file = CreateFileA(logPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, line.data(), (DWORD)line.size(), &written, nullptr);
    CloseHandle(file);
}

std::string Stamp(uint64_t ms) {
    return "[" + std::to_string(ms) + "] ";
}

std::string Describe(const sim::ApiCall &call) {
    std::string text = "call " + call.function + "(";
    for (size_t i = 0; i < call.args.size(); i++)
        text += (i ? ", " : "") + std::to_string(call.args[i]);
    if (!call.text.empty())
        text += std::string(call.args.empty() ? "" : ", ") + "\"" + call.text + "\"";
    return text + ") = " + std::to_string(call.result);
}

} // namespace

void OpenLog() {
    DWORD length = GetEnvironmentVariableA("RINGWARD_TAPI_LOG", logPath, kPathSize);
    if (length == 0 || length >= kPathSize)
        logPath[0] = '\0';
}

void LogLine(const std::string &text) {
    Append(Stamp(sim::NowMs()) + text + "\n");
}

void LogNewCalls() {
    const std::vector<sim::ApiCall> &calls = sim::Journal();
    for (; callsLogged < calls.size(); callsLogged++)
        Append(Stamp(calls[callsLogged].timeMs) + Describe(calls[callsLogged]) + "\n");
}

} // namespace tapidll
