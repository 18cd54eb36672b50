// Multimedia file I/O of the simulated machine: regular files opened for reading, and the RIFF
// chunk navigation (descend, read, ascend) that WAVE files are read with.
#include "platform/sim/internal.h"
#include "platform/sim/journal.h"
#include "platform/sim/multimedia.h"
#include "platform/sim/sim.h"

#include <errno.h>
#include <fcntl.h>
#include <map>
#include <unistd.h>

namespace {

const uintptr_t kFirstFileHandle = 0x1001;
const uint64_t kChunkHeaderSize = 8; // ckid and cksize
const uint64_t kFourccSize = 4;
const DWORD kAccessMask = MMIO_WRITE | MMIO_READWRITE;

struct OpenFile {
    int fd;
    uint64_t position;
};
struct MmioState {
    std::map<uintptr_t, OpenFile> files;
    uintptr_t nextHandle = kFirstFileHandle;
    std::string lastOpened;
};
MmioState &M() {
    static MmioState state;
    return state;
}

OpenFile *Find(HMMIO hmmio) {
    auto it = M().files.find((uintptr_t)hmmio);
    return it == M().files.end() ? nullptr : &it->second;
}

// The platform's error for a file that would not open, from the system error it leaves.
UINT OpenErrorFor(DWORD systemError) {
    switch (systemError) {
    case ERROR_FILE_NOT_FOUND:
        return MMIOERR_FILENOTFOUND;
    case ERROR_PATH_NOT_FOUND:
        return MMIOERR_PATHNOTFOUND;
    case ERROR_ACCESS_DENIED:
        return MMIOERR_ACCESSDENIED;
    case ERROR_TOO_MANY_OPEN_FILES:
        return MMIOERR_TOOMANYOPENFILES;
    case ERROR_NOT_ENOUGH_MEMORY:
        return MMIOERR_OUTOFMEMORY;
    default:
        return MMIOERR_CANNOTOPEN;
    }
}

// Opens path for reading, a regular file only: a folder, a device or a FIFO is refused as
// Windows refuses a folder. 0 or the error.
UINT OpenForReading(const std::string &path, int *fd, DWORD *systemError) {
    *fd = sim::OpenRegularFile(path, O_RDONLY);
    if (*fd >= 0)
        return 0;
    *systemError = sim::SystemErrorFor(errno, path);
    return OpenErrorFor(*systemError);
}

// Reads up to size bytes at the file's position and moves past them; -1 on an error.
int64_t ReadAt(OpenFile *file, void *buffer, uint64_t size) {
    uint64_t done = 0;
    while (done < size) {
        ssize_t got =
            pread(file->fd, (char *)buffer + done, size - done, (off_t)(file->position + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return -1;
        if (got == 0)
            break;
        done += (uint64_t)got;
    }
    file->position += done;
    return (int64_t)done;
}

DWORD ReadLittleEndian(const unsigned char *bytes) {
    return (DWORD)bytes[0] | (DWORD)bytes[1] << 8 | (DWORD)bytes[2] << 16 | (DWORD)bytes[3] << 24;
}

std::string FourccText(FOURCC code) {
    return std::string{(char)(code & 0xFF), (char)(code >> 8 & 0xFF), (char)(code >> 16 & 0xFF),
                       (char)(code >> 24 & 0xFF)};
}

// What a descent looks for: a chunk id (0: any) and, for RIFF and LIST, a form type (0: any).
struct Search {
    FOURCC ckid;
    FOURCC fccType;
};

Search SearchFor(const MMCKINFO *ck, UINT flags) {
    if (flags & MMIO_FINDRIFF)
        return Search{FOURCC_RIFF, ck->fccType};
    if (flags & MMIO_FINDLIST)
        return Search{FOURCC_LIST, ck->fccType};
    if (flags & MMIO_FINDCHUNK)
        return Search{ck->ckid, 0};
    return Search{0, 0};
}

// Reads the chunk header at the file's position into *found (and the form type of a RIFF or
// LIST chunk), leaving the file at the start of the chunk's data. False when no whole header
// lies before end.
bool ReadChunkHeader(OpenFile *file, uint64_t end, MMCKINFO *found) {
    unsigned char header[kChunkHeaderSize + kFourccSize];
    uint64_t start = file->position;
    if (start + kChunkHeaderSize > end || ReadAt(file, header, kChunkHeaderSize) != 8)
        return false;
    found->ckid = ReadLittleEndian(header);
    found->cksize = ReadLittleEndian(header + 4);
    found->fccType = 0;
    found->dwDataOffset = (DWORD)(start + kChunkHeaderSize);
    found->dwFlags = 0;
    if (found->ckid == FOURCC_RIFF || found->ckid == FOURCC_LIST) {
        if (ReadAt(file, header + kChunkHeaderSize, kFourccSize) != 4)
            return false;
        found->fccType = ReadLittleEndian(header + kChunkHeaderSize);
    }
    return true;
}

bool Matches(const Search &search, const MMCKINFO *found) {
    return (search.ckid == 0 || search.ckid == found->ckid) &&
           (search.fccType == 0 || search.fccType == found->fccType);
}

// Where the chunk ends, its pad byte after an odd size included.
uint64_t ChunkEnd(const MMCKINFO *ck) {
    return (uint64_t)ck->dwDataOffset + ck->cksize + (ck->cksize & 1);
}

MMRESULT Descend(OpenFile *file, MMCKINFO *ck, const MMCKINFO *parent, UINT flags) {
    uint64_t start = file->position;
    uint64_t end = parent ? (uint64_t)parent->dwDataOffset + parent->cksize : UINT64_MAX;
    if (parent && (start < parent->dwDataOffset || start >= end))
        return MMIOERR_CHUNKNOTFOUND;
    Search search = SearchFor(ck, flags);
    MMCKINFO found;
    while (ReadChunkHeader(file, end, &found)) {
        if (Matches(search, &found)) {
            *ck = found;
            return MMSYSERR_NOERROR;
        }
        file->position = ChunkEnd(&found);
    }
    file->position = start;
    return MMIOERR_CHUNKNOTFOUND;
}

} // namespace

namespace sim {

size_t OpenMultimediaFiles() {
    return M().files.size();
}

const std::string &LastMultimediaFileOpened() {
    return M().lastOpened;
}

void ResetMmio() {
    for (auto &entry : M().files)
        close(entry.second.fd);
    M().files.clear();
    M().nextHandle = kFirstFileHandle;
    M().lastOpened.clear();
}

} // namespace sim

// ---- The platform functions -----------------------------------------------------------------

HMMIO WINAPI mmioOpenA(LPSTR pszFileName, LPMMIOINFO pmmioinfo, DWORD fdwOpen) {
    int64_t result;
    if (sim::Enter("mmioOpenA", {sim::Ptr(pmmioinfo), fdwOpen}, pszFileName, &result)) {
        if (pmmioinfo)
            pmmioinfo->wErrorRet = (UINT)result;
        sim::Finish(0);
        return NULL;
    }
    UINT error = MMIOERR_CANNOTOPEN; // only reading is offered here
    DWORD systemError = ERROR_ACCESS_DENIED;
    int fd = -1;
    std::string path = sim::LocalPath(pszFileName);
    if ((fdwOpen & kAccessMask) == MMIO_READ)
        error = OpenForReading(path, &fd, &systemError);
    if (error != 0) {
        SetLastError(systemError);
        if (pmmioinfo)
            pmmioinfo->wErrorRet = error;
        sim::Finish(0);
        return NULL;
    }
    uintptr_t handle = M().nextHandle++;
    M().files[handle] = OpenFile{fd, 0};
    M().lastOpened = path;
    if (pmmioinfo) {
        pmmioinfo->wErrorRet = 0;
        pmmioinfo->dwFlags = fdwOpen;
        pmmioinfo->hmmio = (HMMIO)handle;
    }
    sim::Finish((int64_t)handle);
    return (HMMIO)handle;
}

MMRESULT WINAPI mmioClose(HMMIO hmmio, UINT fuClose) {
    int64_t result;
    if (sim::Enter("mmioClose", {(uintptr_t)hmmio, fuClose}, NULL, &result))
        return (MMRESULT)sim::Finish(result);
    OpenFile *file = Find(hmmio);
    if (!file)
        return (MMRESULT)sim::Finish(MMSYSERR_INVALHANDLE);
    int closed = close(file->fd);
    M().files.erase((uintptr_t)hmmio);
    return (MMRESULT)sim::Finish(closed == 0 ? MMSYSERR_NOERROR : MMIOERR_CANNOTCLOSE);
}

LONG WINAPI mmioRead(HMMIO hmmio, HPSTR pch, LONG cch) {
    int64_t result;
    if (sim::Enter("mmioRead", {(uintptr_t)hmmio, sim::Ptr(pch), (uint64_t)(int64_t)cch}, NULL,
                   &result))
        return (LONG)sim::Finish(result);
    OpenFile *file = Find(hmmio);
    if (!file || cch < 0 || (!pch && cch > 0))
        return (LONG)sim::Finish(-1);
    return (LONG)sim::Finish(ReadAt(file, pch, (uint64_t)cch));
}

MMRESULT WINAPI mmioDescend(HMMIO hmmio, LPMMCKINFO pmmcki, const MMCKINFO *pmmckiParent,
                            UINT fuDescend) {
    std::string sought;
    if (pmmcki)
        sought = FourccText(fuDescend & (MMIO_FINDRIFF | MMIO_FINDLIST) ? pmmcki->fccType
                                                                        : pmmcki->ckid);
    int64_t result;
    if (sim::Enter("mmioDescend",
                   {(uintptr_t)hmmio, sim::Ptr(pmmcki), sim::Ptr(pmmckiParent), fuDescend},
                   sought.c_str(), &result))
        return (MMRESULT)sim::Finish(result);
    OpenFile *file = Find(hmmio);
    if (!file)
        return (MMRESULT)sim::Finish(MMSYSERR_INVALHANDLE);
    if (!pmmcki)
        return (MMRESULT)sim::Finish(MMSYSERR_INVALPARAM);
    return (MMRESULT)sim::Finish(Descend(file, pmmcki, pmmckiParent, fuDescend));
}

MMRESULT WINAPI mmioAscend(HMMIO hmmio, LPMMCKINFO pmmcki, UINT fuAscend) {
    int64_t result;
    if (sim::Enter("mmioAscend", {(uintptr_t)hmmio, sim::Ptr(pmmcki), fuAscend}, NULL, &result))
        return (MMRESULT)sim::Finish(result);
    OpenFile *file = Find(hmmio);
    if (!file)
        return (MMRESULT)sim::Finish(MMSYSERR_INVALHANDLE);
    if (!pmmcki)
        return (MMRESULT)sim::Finish(MMSYSERR_INVALPARAM);
    file->position = ChunkEnd(pmmcki);
    return (MMRESULT)sim::Finish(MMSYSERR_NOERROR);
}
