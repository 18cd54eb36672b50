// Journal of simulated platform calls, and the failures tests inject into them.
#include "platform/sim/journal.h"

#include "platform/sim/internal.h"
#include "platform/sim/records.h"
#include "platform/sim/sim.h"

#include <assert.h>
#include <map>
#include <sstream>

namespace sim {

namespace {
struct PendingFault {
    int countdown; // calls of the function still to pass before the fault
    int64_t result;
    std::string text; // only calls with this text argument count; empty: every call
};
struct JournalState {
    std::vector<ApiCall> calls;
    std::vector<bool> finished;
    std::multimap<std::string, PendingFault> faults;
    int failNth = 0;
    int callCount = 0;
    bool keep = true;
};
JournalState &J() {
    static JournalState state;
    return state;
}

// Every journalled function, with the error it usually gives (-1 where there is no one usual
// error: the window system's, whose failures the program does not judge, and a few others).
const std::map<std::string, int64_t> &Functions() {
    static const std::map<std::string, int64_t> functions = {
        {"lineInitializeExA", (int64_t)(LONG)LINEERR_NODRIVER},
        {"lineNegotiateAPIVersion", (int64_t)(LONG)LINEERR_INCOMPATIBLEAPIVERSION},
        {"lineGetDevCapsA", (int64_t)(LONG)LINEERR_OPERATIONFAILED},
        {"lineOpenA", (int64_t)(LONG)LINEERR_ALLOCATED},
        {"lineGetCallInfoA", (int64_t)(LONG)LINEERR_OPERATIONFAILED},
        {"lineAnswer", (int64_t)(LONG)LINEERR_INVALCALLSTATE},
        {"lineGetIDA", (int64_t)(LONG)LINEERR_OPERATIONFAILED},
        {"lineDrop", (int64_t)(LONG)LINEERR_INVALCALLHANDLE},
        {"lineDeallocateCall", (int64_t)(LONG)LINEERR_INVALCALLSTATE},
        {"lineClose", (int64_t)(LONG)LINEERR_INVALLINEHANDLE},
        {"lineShutdown", (int64_t)(LONG)LINEERR_INVALAPPHANDLE},
        {"RegOpenKeyExA", ERROR_FILE_NOT_FOUND},
        {"RegQueryValueExA", ERROR_MORE_DATA},
        {"RegCloseKey", ERROR_INVALID_HANDLE},
        {"mmioOpenA", MMIOERR_FILENOTFOUND},
        {"mmioDescend", MMIOERR_CHUNKNOTFOUND},
        {"mmioRead", -1},
        {"mmioAscend", MMIOERR_CANNOTSEEK},
        {"mmioClose", MMIOERR_CANNOTCLOSE},
        {"waveOutGetNumDevs", -1},
        {"waveOutOpen", MMSYSERR_ALLOCATED},
        {"waveOutPrepareHeader", MMSYSERR_NOMEM},
        {"waveOutWrite", MMSYSERR_INVALHANDLE},
        {"waveOutUnprepareHeader", WAVERR_STILLPLAYING},
        {"waveOutReset", MMSYSERR_INVALHANDLE},
        {"waveOutClose", WAVERR_STILLPLAYING},
        {"calloc", 0},
        {"realloc", 0},
        {"free", -1},
        // The run-time's streams: the result is the system error the failure leaves.
        {"_read", ERROR_READ_FAULT},
        {"_write", ERROR_DISK_FULL},
        {"_commit", ERROR_IO_DEVICE},
        {"fflush", ERROR_DISK_FULL},
        {"GetModuleHandleA", -1},
        {"LoadStringA", -1},
        {"LoadIconA", -1},
        {"LoadIconW", -1},
        {"InitCommonControls", -1},
        {"DialogBoxParamA", -1},
        {"EndDialog", -1},
        {"GetDlgItem", -1},
        {"GetDlgCtrlID", -1},
        {"IsWindow", -1},
        {"GetWindowTextA", -1},
        {"SetWindowTextA", -1},
        {"SendMessageA", -1},
        {"PostMessageA", -1},
        {"DefWindowProcA", -1},
        {"IsIconic", -1},
        {"GetClientRect", -1},
        {"GetSystemMetrics", -1},
        {"GetSystemMenu", -1},
        {"AppendMenuA", -1},
        {"BeginPaint", -1},
        {"EndPaint", -1},
        {"DrawIcon", -1},
        // A console program's thread and the system's version: the error left to GetLastError.
        {"PostThreadMessageA", ERROR_INVALID_THREAD_ID},
        {"SetTimer", ERROR_NOT_ENOUGH_MEMORY},
        {"KillTimer", ERROR_INVALID_PARAMETER},
        {"SetConsoleCtrlHandler", ERROR_INVALID_PARAMETER},
        {"GetProcAddress", ERROR_PROC_NOT_FOUND},
    };
    return functions;
}
} // namespace

int64_t TypicalError(const std::string &function) {
    auto it = Functions().find(function);
    return it == Functions().end() ? -1 : it->second;
}

bool IsJournalled(const std::string &function) {
    return Functions().count(function) == 1;
}

bool Enter(const char *function, std::initializer_list<uint64_t> args, const char *text,
           int64_t *result) {
    assert(IsJournalled(function)); // scripts may name it in a "fail" line: list it above
    JournalState &j = J();
    if (j.keep) {
        j.calls.push_back(
            ApiCall{function, std::vector<uint64_t>(args), text ? text : "", 0, NowMs()});
        j.finished.push_back(false);
    }
    j.callCount++;

    if (j.failNth > 0 && j.callCount == j.failNth) {
        *result = TypicalError(function);
        return true;
    }
    auto range = j.faults.equal_range(function);
    for (auto it = range.first; it != range.second; ++it) {
        if (!it->second.text.empty() && it->second.text != (text ? text : ""))
            continue;
        if (--it->second.countdown == 0) {
            *result = it->second.result;
            j.faults.erase(it);
            return true;
        }
    }
    return false;
}

int64_t Finish(int64_t result) {
    JournalState &j = J();
    for (size_t i = j.calls.size(); i-- > 0;) {
        if (!j.finished[i]) {
            j.calls[i].result = result;
            j.finished[i] = true;
            break;
        }
    }
    return result;
}

const std::vector<ApiCall> &Journal() {
    return J().calls;
}

std::vector<ApiCall> CallsTo(const std::string &function) {
    std::vector<ApiCall> found;
    for (const ApiCall &call : J().calls)
        if (call.function == function)
            found.push_back(call);
    return found;
}

void ClearJournal() {
    J().calls.clear();
    J().finished.clear();
}

std::string JournalText() {
    std::ostringstream out;
    for (const ApiCall &call : J().calls) {
        out << "[" << call.timeMs << "] " << call.function << "(";
        for (size_t i = 0; i < call.args.size(); i++)
            out << (i ? ", " : "") << call.args[i];
        if (!call.text.empty())
            out << (call.args.empty() ? "" : ", ") << '"' << call.text << '"';
        out << ") = " << call.result << "\n";
    }
    return out.str();
}

void FailCall(const std::string &function, int64_t result, int nth, const std::string &text) {
    J().faults.insert({function, PendingFault{nth, result, text}});
}

void FailNthCall(int nth) {
    J().failNth = nth;
    J().callCount = 0;
}

int CallCount() {
    return J().callCount;
}

void KeepJournal(bool keep) {
    J().keep = keep;
}

bool JournalKept() {
    return J().keep;
}

void ResetJournal() {
    ClearJournal();
    ClearFaults();
    J().keep = true;
}

void ClearFaults() {
    J().faults.clear();
    J().failNth = 0;
    J().callCount = 0;
}

} // namespace sim
