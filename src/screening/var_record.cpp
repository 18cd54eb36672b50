// Variable-size telephony records (capabilities, call information, device ids): the one way
// they are obtained, growing the block to exactly the size the platform asks for, or once to
// the negotiated version's fixed part when it asks for no more.
#include "screening/screening.h"

#include <stdlib.h>
#include <string.h>

// dwTotalSize and dwNeededSize open every such record.
struct RecordHead {
    DWORD dwTotalSize;
    DWORD dwNeededSize;
};

// Both records grew at 3.0; every 2.x version the program negotiates has the 2.2 sizes' room.
enum : DWORD {
    kVersion30 = 0x00030000,
    kLineCallInfoSize30 = 344,
    kLineDevCapsSize30 = 292,
};

DWORD CallInfoFixedSize(DWORD version) {
    return version >= kVersion30 ? (DWORD)kLineCallInfoSize30 : (DWORD)kLineCallInfoFixedSize;
}

DWORD DevCapsFixedSize(DWORD version) {
    return version >= kVersion30 ? (DWORD)kLineDevCapsSize30 : (DWORD)kLineDevCapsFixedSize;
}

LONG FetchRecord(DWORD firstSize, DWORD versionSize, RecordFiller fill, void *context, void **block,
                 DWORD *blockSize) {
    DWORD size = firstSize;
    void *record = NULL;
    for (;;) {
        void *grown = realloc(record, size);
        if (!grown) {
            free(record);
            *block = NULL;
            *blockSize = 0;
            return 0;
        }
        record = grown;
        memset(record, 0, size);
        RecordHead *head = (RecordHead *)record;
        head->dwTotalSize = size;
        LONG result = fill(record, context);
        DWORD needed = head->dwNeededSize;
        bool tooSmall = result == (LONG)LINEERR_STRUCTURETOOSMALL || (result == 0 && needed > size);
        // The error is promised, a dwNeededSize is not: the negotiated version's fixed part is
        // the one size still worth a try.
        // The size only grows, so this is tried at most once.
        if (tooSmall && needed <= size && versionSize > size)
            needed = versionSize;
        // A platform that asks again for no more than it had would keep this loop going forever.
        if (!tooSmall || needed <= size) {
            *block = record;
            *blockSize = size;
            return tooSmall ? (LONG)LINEERR_STRUCTURETOOSMALL : result;
        }
        size = needed;
    }
}
