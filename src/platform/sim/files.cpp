// The run-time's files on the simulated machine. fopen takes the Windows run-time's mode letters
// ("c": every flush commits the stream's data to disk) and opens only regular files, as a
// Windows path names one: a folder, a device or a FIFO is refused at once, without waiting on
// it, and the last error says why, as Windows says it. Every stream's reads, writes and commits
// are journalled platform calls ("_read", "_write", "_commit"), so tests can make them fail; a
// failed write leaves the fragment a full disk leaves. PlatformAppendEntry writes a log entry
// whole or takes it back. And GetFileAttributesA, from the file's status.
#include "platform/sim/internal.h"
#include "platform/sim/journal.h"
#include "platform/sim/sim.h"

#include <errno.h>
#include <fcntl.h>
#include <map>
#include <stdio_ext.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#undef fopen

namespace {

// The cookie of a stream: its file, whether a flush commits, and its name for the journal.
struct Stream {
    int fd;
    bool commit;
    std::string name;
    FILE *file = nullptr; // the stream the run-time hands out for it
};

// Never destroyed: a stream may still be open while the process ends.
std::map<FILE *, Stream *> &Streams() {
    static std::map<FILE *, Stream *> *streams = new std::map<FILE *, Stream *>;
    return *streams;
}

// The mode letters of the Windows run-time, as open(2) flags and the mode stdio is given.
struct OpenMode {
    int flags;
    bool commit;
    std::string stdio;
};

bool ParseMode(const char *mode, OpenMode *parsed) {
    if (mode[0] == '\0')
        return false;
    bool update = false;
    parsed->commit = false;
    for (const char *m = mode + 1; *m; m++) {
        if (*m == '+')
            update = true;
        else if (*m == 'c')
            parsed->commit = true;
        else if (*m == 'n') // no commit, the run-time's default
            parsed->commit = false;
    }
    int access = update ? O_RDWR : O_WRONLY;
    switch (mode[0]) {
    case 'r':
        parsed->flags = update ? O_RDWR : O_RDONLY;
        break;
    case 'w':
        parsed->flags = access | O_CREAT | O_TRUNC;
        break;
    case 'a':
        parsed->flags = access | O_CREAT | O_APPEND;
        break;
    default:
        return false;
    }
    parsed->stdio = std::string(1, mode[0]) + (update ? "+" : "");
    return true;
}

ssize_t WriteAll(int fd, const char *buf, size_t size) {
    size_t done = 0;
    while (done < size) {
        ssize_t wrote = write(fd, buf + done, size - done);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            return (ssize_t)done;
        done += (size_t)wrote;
    }
    return (ssize_t)done;
}

// A failed call leaves its system error as the last error; the journal records -1.
ssize_t FailedWith(DWORD systemError) {
    SetLastError(systemError);
    errno = EIO;
    return (ssize_t)sim::Finish(-1);
}

ssize_t StreamRead(void *cookie, char *buf, size_t size) {
    Stream *stream = (Stream *)cookie;
    int64_t injected;
    if (sim::Enter("_read", {(uint64_t)size}, stream->name.c_str(), &injected))
        return FailedWith((DWORD)injected);
    ssize_t got;
    do
        got = read(stream->fd, buf, size);
    while (got < 0 && errno == EINTR);
    if (got < 0)
        return FailedWith(sim::SystemErrorFor(errno, stream->name));
    return (ssize_t)sim::Finish(got);
}

// The commit that mode "c" promises; false when it failed.
bool Commit(Stream *stream) {
    int64_t injected;
    if (sim::Enter("_commit", {}, stream->name.c_str(), &injected)) {
        FailedWith((DWORD)injected);
        return false;
    }
    if (fdatasync(stream->fd) != 0) {
        FailedWith(sim::SystemErrorFor(errno, stream->name));
        return false;
    }
    sim::Finish(0);
    return true;
}

ssize_t StreamWrite(void *cookie, const char *buf, size_t size) {
    Stream *stream = (Stream *)cookie;
    int64_t injected;
    if (sim::Enter("_write", {(uint64_t)size}, stream->name.c_str(), &injected)) {
        // The disk filled part of the way through: a fragment reaches the file.
        WriteAll(stream->fd, buf, size / 2);
        return FailedWith((DWORD)injected);
    }
    ssize_t written = WriteAll(stream->fd, buf, size);
    if (written < (ssize_t)size)
        return FailedWith(sim::SystemErrorFor(errno, stream->name));
    sim::Finish(written);
    if (stream->commit && !Commit(stream))
        return -1;
    return written;
}

int StreamSeek(void *cookie, off64_t *offset, int whence) {
    off_t moved = lseek(((Stream *)cookie)->fd, (off_t)*offset, whence);
    if (moved < 0)
        return -1;
    *offset = (off64_t)moved;
    return 0;
}

int StreamClose(void *cookie) {
    Stream *stream = (Stream *)cookie;
    Streams().erase(stream->file);
    int closed = close(stream->fd);
    delete stream;
    return closed;
}

} // namespace

namespace sim {

std::string LocalPath(const char *name) {
    std::string path = name ? name : "";
    for (char &c : path)
        if (c == '\\')
            c = '/';
    return path;
}

static bool FolderOfExists(const std::string &path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return true;
    struct stat st;
    std::string folder = path.substr(0, slash == 0 ? 1 : slash);
    return stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

DWORD SystemErrorFor(int error, const std::string &path) {
    switch (error) {
    case ENOENT:
        return FolderOfExists(path) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
    case ENODEV:
    case ENXIO:
    case EROFS:
        return ERROR_ACCESS_DENIED;
    case EMFILE:
    case ENFILE:
        return ERROR_TOO_MANY_OPEN_FILES;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return ERROR_DISK_FULL;
    case EIO:
        return ERROR_IO_DEVICE;
    default:
        return ERROR_INVALID_PARAMETER;
    }
}

int OpenRegularFile(const std::string &path, int flags) {
    if (path.empty()) {
        errno = ENOENT;
        return -1;
    }
    // Without blocking: a FIFO would wait here for its other end.
    int fd = open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0)
        return -1;
    struct stat st;
    bool statted = fstat(fd, &st) == 0;
    if (!statted || !S_ISREG(st.st_mode)) {
        int error = statted && S_ISDIR(st.st_mode) ? EISDIR : ENODEV;
        close(fd);
        errno = error;
        return -1;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

} // namespace sim

FILE *PlatformFopen(const char *path, const char *mode) {
    OpenMode parsed;
    if (!path || !mode || !ParseMode(mode, &parsed)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        errno = EINVAL;
        return NULL;
    }
    std::string local = sim::LocalPath(path);
    int fd = sim::OpenRegularFile(local, parsed.flags);
    if (fd < 0) {
        int error = errno;
        SetLastError(sim::SystemErrorFor(error, local));
        errno = error;
        return NULL;
    }
    Stream *stream = new Stream{fd, parsed.commit, path};
    cookie_io_functions_t io = {StreamRead, StreamWrite, StreamSeek, StreamClose};
    FILE *file = fopencookie(stream, parsed.stdio.c_str(), io);
    if (!file) {
        close(fd);
        delete stream;
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        errno = ENOMEM;
        return NULL;
    }
    stream->file = file;
    Streams()[file] = stream;
    return file;
}

int PlatformAppendEntry(FILE *log, const char *text) {
    auto found = Streams().find(log);
    int fd = found != Streams().end() ? found->second->fd : fileno(log);
    const char *name = found != Streams().end() ? found->second->name.c_str() : "";
    // Nothing may wait in the buffer: the length before is the file's own.
    fflush(log);
    struct stat st;
    off_t before = fd >= 0 && fstat(fd, &st) == 0 ? st.st_size : -1;

    bool written = fputs(text, log) >= 0;
    int64_t injected;
    if (written && sim::Enter("fflush", {}, name, &injected)) {
        FailedWith((DWORD)injected);
        written = false;
    } else if (written) {
        written = sim::Finish(fflush(log)) == 0;
    }
    if (written && !ferror(log))
        return 0;

    // Take it back: no later entry may be glued to a fragment of this one.
    DWORD error = GetLastError();
    __fpurge(log);
    clearerr(log);
    if (before >= 0 && ftruncate(fd, before) != 0) {
        // The fragment stays; the failure of the entry is reported all the same.
    }
    SetLastError(error);
    return -1;
}

DWORD WINAPI GetFileAttributesA(LPCSTR lpFileName) {
    std::string path = sim::LocalPath(lpFileName);
    struct stat st;
    if (path.empty() || stat(path.c_str(), &st) != 0) {
        SetLastError(sim::SystemErrorFor(path.empty() ? ENOENT : errno, path));
        return INVALID_FILE_ATTRIBUTES;
    }
    return S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
}
