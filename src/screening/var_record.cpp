// Variable-size telephony records (capabilities, call information, device ids): the one way
// they are obtained, growing the block to exactly the size the platform asks for.
#include "screening/screening.h"

#include <stdlib.h>
#include <string.h>

// dwTotalSize and dwNeededSize open every such record.
struct RecordHead {
    DWORD dwTotalSize;
    DWORD dwNeededSize;
};

LONG FetchRecord(DWORD firstSize, RecordFiller fill, void *context, void **block,
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
        // A platform that asks again for no more than it had would keep this loop going forever.
        if (!tooSmall || needed <= size) {
            *block = record;
            *blockSize = size;
            return tooSmall ? (LONG)LINEERR_STRUCTURETOOSMALL : result;
        }
        size = needed;
    }
}
