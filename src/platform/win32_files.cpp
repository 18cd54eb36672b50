// The Windows side of the platform's log entries: the run-time's own streams, cut back with
// _chsize when an entry did not reach the file whole. The simulated side is sim/files.cpp.
#ifdef _WIN32
#include "platform/platform.h"

#include <errno.h>
#include <io.h>

// The run-time does not always leave a system error behind (a write that a full disk cuts
// short fails on its count alone): then its errno says what happened.
static DWORD SystemErrorOfWrite(void) {
    switch (errno) {
    case ENOSPC:
        return ERROR_DISK_FULL;
    case EACCES:
        return ERROR_ACCESS_DENIED;
    case EBADF:
        return ERROR_INVALID_HANDLE;
    default:
        return ERROR_WRITE_FAULT;
    }
}

int PlatformAppendEntry(FILE *log, const char *text) {
    // Nothing may wait in the buffer: the length before is the file's own, in bytes, whatever
    // the text mode's CR LF makes of the line feeds.
    fflush(log);
    int fd = _fileno(log);
    long before = _filelength(fd);
    DWORD lastError = GetLastError(); // a write that succeeds leaves it as it was
    SetLastError(0);
    errno = 0;

    bool written = fputs(text, log) >= 0;
    // The run-time commits a stream opened with "c" in every flush: a failed commit fails it.
    written = fflush(log) == 0 && written;
    if (written && !ferror(log)) {
        SetLastError(lastError);
        return 0;
    }

    // Take it back: no later entry may be glued to a fragment of this one. The run-time's
    // flush has already emptied the buffer, written or not.
    DWORD error = GetLastError();
    if (error == 0)
        error = SystemErrorOfWrite();
    clearerr(log);
    if (before >= 0)
        _chsize(fd, before);
    SetLastError(error);
    return -1;
}
#endif
