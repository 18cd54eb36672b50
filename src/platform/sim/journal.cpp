// Journal of simulated platform calls, and the failures tests inject into them.
#include "platform/sim/journal.h"

#include "platform/sim/internal.h"
#include "platform/sim/records.h"
#include "platform/sim/sim.h"

#include <map>
#include <sstream>

namespace sim {

namespace {
struct PendingFault {
    int countdown; // calls of the function still to pass before the fault
    int64_t result;
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
} // namespace

int64_t TypicalError(const std::string &function) {
    static const std::map<std::string, int64_t> errors = {
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
        {"waveOutOpen", MMSYSERR_ALLOCATED},
        {"waveOutPrepareHeader", MMSYSERR_NOMEM},
        {"waveOutWrite", MMSYSERR_INVALHANDLE},
        {"waveOutUnprepareHeader", WAVERR_STILLPLAYING},
        {"waveOutReset", MMSYSERR_INVALHANDLE},
        {"waveOutClose", WAVERR_STILLPLAYING},
        {"calloc", 0},
        {"realloc", 0},
    };
    auto it = errors.find(function);
    return it == errors.end() ? -1 : it->second;
}

bool Enter(const char *function, std::initializer_list<uint64_t> args, const char *text,
           int64_t *result) {
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

void FailCall(const std::string &function, int64_t result, int nth) {
    J().faults.insert({function, PendingFault{nth, result}});
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
