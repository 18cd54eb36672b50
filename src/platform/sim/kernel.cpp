// Kernel services of the simulated machine: the thread's last error, the unhandled-exception
// filter, fed by the fatal signals that stand for hardware exceptions here, and the system's
// version as ntdll's RtlGetVersion reports it.
#include "platform/sim/internal.h"
#include "platform/sim/journal.h"
#include "platform/sim/sim.h"

#include <signal.h>
#include <stddef.h>
#include <string.h>
#include <strings.h>
#include <ucontext.h>

namespace {
DWORD lastError = 0;
LPTOP_LEVEL_EXCEPTION_FILTER filter = NULL;
void (*fatalHook)() = NULL; // last words before the process dies of the signal
const int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE};

DWORD ExceptionCodeFor(int signo, int code) {
    switch (signo) {
    case SIGILL:
        return EXCEPTION_ILLEGAL_INSTRUCTION;
    case SIGFPE:
        if (code == FPE_INTOVF)
            return EXCEPTION_INT_OVERFLOW;
        if (code == FPE_FLTDIV)
            return EXCEPTION_FLT_DIVIDE_BY_ZERO;
        if (code == FPE_FLTINV)
            return EXCEPTION_FLT_INVALID_OPERATION;
        return EXCEPTION_INT_DIVIDE_BY_ZERO;
    case SIGBUS:
        return EXCEPTION_IN_PAGE_ERROR;
    default:
        return EXCEPTION_ACCESS_VIOLATION;
    }
}

// The address of the instruction that faulted, as Windows reports it.
void *FaultingInstruction(const siginfo_t *info, void *context) {
#if defined(__x86_64__)
    if (context)
        return (void *)((ucontext_t *)context)->uc_mcontext.gregs[REG_RIP];
#elif defined(__i386__)
    if (context)
        return (void *)((ucontext_t *)context)->uc_mcontext.gregs[REG_EIP];
#else
    (void)context;
#endif
    return info->si_addr;
}

void OnFatalSignal(int signo, siginfo_t *info, void *context) {
    EXCEPTION_RECORD record = {};
    record.ExceptionCode = ExceptionCodeFor(signo, info->si_code);
    record.ExceptionAddress = FaultingInstruction(info, context);
    if (signo == SIGSEGV || signo == SIGBUS) {
        record.NumberParameters = 2;
        record.ExceptionInformation[1] = (ULONG_PTR)info->si_addr;
    }
    EXCEPTION_POINTERS pointers = {&record, NULL};
    if (filter)
        filter(&pointers);
    if (fatalHook)
        fatalHook();
    // The handler was reset on entry: the default action (a core dump) follows.
    raise(signo);
}
} // namespace

DWORD WINAPI GetLastError(void) {
    return lastError;
}

void WINAPI SetLastError(DWORD dwErrCode) {
    lastError = dwErrCode;
}

void sim::SetLastErrorValue(DWORD value) {
    lastError = value;
}

void sim::SetFatalSignalHook(void (*hook)()) {
    fatalHook = hook;
}

void sim::ResetKernel() {
    lastError = 0;
    SetUnhandledExceptionFilter(NULL);
}

LPTOP_LEVEL_EXCEPTION_FILTER WINAPI
SetUnhandledExceptionFilter(LPTOP_LEVEL_EXCEPTION_FILTER lpTopLevelExceptionFilter) {
    LPTOP_LEVEL_EXCEPTION_FILTER previous = filter;
    filter = lpTopLevelExceptionFilter;
    struct sigaction action = {};
    if (filter) {
        action.sa_sigaction = OnFatalSignal;
        action.sa_flags = SA_SIGINFO | SA_RESETHAND | SA_NODEFER;
    } else {
        action.sa_handler = SIG_DFL;
    }
    sigemptyset(&action.sa_mask);
    for (int signo : kFatalSignals)
        sigaction(signo, &action, NULL);
    return previous;
}

// ---- The system's version -------------------------------------------------------------------

namespace {

const uintptr_t kNtdllHandle = 0x7C900000; // where Windows XP maps ntdll.dll
const LONG kStatusInvalidParameter = (LONG)0xC000000D;
// The Windows the simulated machine stands for, and what its version record says it is.
const DWORD kSimulatedMajor = 10, kSimulatedMinor = 0, kSimulatedBuild = 19045;
const char kSimulatedNote[] = "simulated machine";

LONG WINAPI SimulatedRtlGetVersion(PRTL_OSVERSIONINFOEXW info) {
    const DWORD basicSize = (DWORD)offsetof(OSVERSIONINFOEXW, wServicePackMajor);
    if (!info ||
        (info->dwOSVersionInfoSize != basicSize && info->dwOSVersionInfoSize != sizeof *info))
        return kStatusInvalidParameter;
    DWORD size = info->dwOSVersionInfoSize;
    memset(info, 0, size);
    info->dwOSVersionInfoSize = size;
    info->dwMajorVersion = kSimulatedMajor;
    info->dwMinorVersion = kSimulatedMinor;
    info->dwBuildNumber = kSimulatedBuild;
    info->dwPlatformId = VER_PLATFORM_WIN32_NT;
    for (size_t i = 0; kSimulatedNote[i]; i++)
        info->szCSDVersion[i] = (WCHAR)kSimulatedNote[i];
    if (size == sizeof *info)
        info->wProductType = VER_NT_WORKSTATION;
    return 0;
}

} // namespace

uintptr_t sim::SystemModuleHandle(const char *name) {
    return strcasecmp(name, "ntdll.dll") == 0 || strcasecmp(name, "ntdll") == 0 ? kNtdllHandle : 0;
}

FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
    int64_t r;
    if (sim::Enter("GetProcAddress", {(uint64_t)(uintptr_t)hModule}, lpProcName, &r))
        return sim::FailWith<FARPROC>(r);
    if ((uintptr_t)hModule == kNtdllHandle && lpProcName &&
        strcmp(lpProcName, "RtlGetVersion") == 0) {
        sim::Finish(1);
        return (FARPROC)(void (*)(void))SimulatedRtlGetVersion;
    }
    SetLastError(hModule ? ERROR_PROC_NOT_FOUND : ERROR_INVALID_HANDLE);
    sim::Finish(0);
    return NULL;
}
