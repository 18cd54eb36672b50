// Files of the simulated machine are the real ones. fopen with the Windows run-time's mode
// letters: "c" makes every flush commit the stream's data to disk. glibc reads "c" as something
// else, so such a stream is a cookie stream whose writes go to the file and are synced at once.
// And GetFileAttributesA, from the file's status.
#include "platform/platform.h"

#include <errno.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#undef fopen

namespace {

ssize_t CommitWrite(void *cookie, const char *buf, size_t size) {
    FILE *file = (FILE *)cookie;
    size_t written = fwrite(buf, 1, size, file);
    if (fflush(file) != 0)
        return -1;
    fdatasync(fileno(file));
    return written == 0 && size > 0 ? -1 : (ssize_t)written;
}

ssize_t CommitRead(void *cookie, char *buf, size_t size) {
    FILE *file = (FILE *)cookie;
    size_t got = fread(buf, 1, size, file);
    return got == 0 && ferror(file) ? -1 : (ssize_t)got;
}

int CommitSeek(void *cookie, off64_t *offset, int whence) {
    FILE *file = (FILE *)cookie;
    if (fseeko(file, (off_t)*offset, whence) != 0)
        return -1;
    *offset = (off64_t)ftello(file);
    return 0;
}

int CommitClose(void *cookie) {
    return fclose((FILE *)cookie);
}

} // namespace

FILE *PlatformFopen(const char *path, const char *mode) {
    std::string plain;
    bool commit = false;
    for (const char *m = mode; *m; m++) {
        if (*m == 'c')
            commit = true;
        else if (*m != 'n') // "n", no commit, is the run-time's default
            plain += *m;
    }
    FILE *file = fopen(path, plain.c_str());
    if (!file || !commit)
        return file;
    cookie_io_functions_t io = {CommitRead, CommitWrite, CommitSeek, CommitClose};
    FILE *stream = fopencookie(file, plain.c_str(), io);
    if (!stream) {
        int saved = errno;
        fclose(file);
        errno = saved;
    }
    return stream;
}

DWORD WINAPI GetFileAttributesA(LPCSTR lpFileName) {
    std::string path = lpFileName ? lpFileName : "";
    for (char &c : path) // Windows names may use backslashes between folders
        if (c == '\\')
            c = '/';
    struct stat st;
    if (path.empty() || stat(path.c_str(), &st) != 0) {
        SetLastError(errno == ENOTDIR ? ERROR_PATH_NOT_FOUND : ERROR_FILE_NOT_FOUND);
        return INVALID_FILE_ATTRIBUTES;
    }
    return S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
}
