// Call-information records: the input's bytes are the record, its sizes and offsets included.
// The block is exactly as large as its dwTotalSize says, so that a read past the record is an
// error the sanitizer sees. The caller's number must come out normalised, the name terminated
// and free of commas and control bytes, and the call record one line.
#include "common/state.h"
#include "fuzz_support.h"
#include "platform/sim/sim.h"
#include "screening/screening.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

const size_t kLargestRecord = 1 << 16;

void CheckName(const char *name) {
    size_t length = strnlen(name, kCallerTextSize);
    fuzz::Require(length < (size_t)kCallerTextSize, "the name is terminated");
    for (size_t i = 0; i < length; i++) {
        unsigned char c = (unsigned char)name[i];
        fuzz::Require(c != ',' && c >= 0x20 && c != 0x7F, "the name is safe to log");
    }
}

void CheckRecordLine() {
    char *text = nullptr;
    size_t length = 0;
    FILE *log = open_memstream(&text, &length);
    fuzz::Require(log != nullptr, "a call log");
    g_state.callsLog = log;
    LogCall(g_state.callerName, g_state.callerNumber, "Blocked");
    fclose(log);
    g_state.callsLog = nullptr;
    fuzz::Require(length > 0 && text[length - 1] == '\n', "the record ends its line");
    fuzz::Require(memchr(text, '\n', length) == text + length - 1, "one line per record");
    free(text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < sizeof(DWORD))
        return 0;
    DWORD announced;
    memcpy(&announced, data, sizeof announced);
    // The platform fills at least the fixed part; the total is the fuzzer's, within reason.
    size_t total = kLineCallInfoFixedSize + announced % kLargestRecord;
    uint8_t *record = (uint8_t *)::malloc(total);
    memset(record, 0, total);
    memcpy(record, data, size < total ? size : total);
    DWORD totalField = (DWORD)total;
    memcpy(record, &totalField, sizeof totalField);

    fuzz::BootWithSmallLists();

    ReadCallerId((const LINECALLINFO *)record);
    ::free(record);

    fuzz::Require(fuzz::IsNormalizedNumber(g_state.callerNumber), "the number is normalised");
    CheckName(g_state.callerName);
    if (ScreenCaller() == VERDICT_BLOCKED)
        fuzz::Require(strncmp(g_state.callerNumber, "800", 3) == 0 ||
                          strcmp(g_state.callerNumber, "P") == 0,
                      "only listed callers are blocked");
    CheckRecordLine();
    return 0;
}
