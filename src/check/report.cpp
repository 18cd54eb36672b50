// ringward-check report [LOG] [--html FILE]: the calls of the log counted per day and per hour,
// the blocked share, and the most frequent numbers with their first and last call; with --html
// also one self-contained page of the same tables and a chart of calls per day (report_html.cpp).
#include "check/report.h"

#include <stdlib.h>
#include <string.h>

enum : int { kFirstCapacity = 64 };

// Makes room for one more item of size bytes in *items; 0 when there is no memory.
static int MakeRoom(void **items, int *capacity, int count, size_t size) {
    if (count < *capacity)
        return 1;
    int grown = *capacity ? 2 * *capacity : kFirstCapacity;
    void *more = realloc(*items, (size_t)grown * size);
    if (!more)
        return 0;
    *items = more;
    *capacity = grown;
    return 1;
}

// The day of date (YYYYMMDD), inserted in order when it is new; null without memory.
static DayTally *DayOf(Tally *tally, int date) {
    int low = 0, high = tally->dayCount;
    while (low < high) {
        int mid = (low + high) / 2;
        if (tally->days[mid].date < date)
            low = mid + 1;
        else
            high = mid;
    }
    if (low < tally->dayCount && tally->days[low].date == date)
        return &tally->days[low];
    if (!MakeRoom((void **)&tally->days, &tally->dayCapacity, tally->dayCount, sizeof(DayTally)))
        return NULL;
    memmove(&tally->days[low + 1], &tally->days[low],
            (size_t)(tally->dayCount - low) * sizeof(DayTally));
    tally->dayCount++;
    memset(&tally->days[low], 0, sizeof(DayTally));
    tally->days[low].date = date;
    return &tally->days[low];
}

// A caller's number as the report names it: the log's digits, or the label in full.
static void NumberName(const CallRecord *call, char *out) {
    const char *label = call->number[0] == 'P'   ? "Private"
                        : call->number[0] == 'O' ? "Out of area"
                        : call->number[0] == 'N' ? "No caller ID"
                                                 : call->shown;
    snprintf(out, kShownNumberSize, "%s", label);
}

// One call as the count of numbers needs it, kept until all are read.
struct CallKey {
    char name[kShownNumberSize];
    char blocked;
    long long when;
};

static void Seen(Tally *tally, const CallRecord *call) {
    if (tally->calls == 0 || call->when < tally->first) {
        tally->first = call->when;
        memcpy(tally->firstTime, call->time, kCallTimeSize);
    }
    if (tally->calls == 0 || call->when >= tally->last) {
        tally->last = call->when;
        memcpy(tally->lastTime, call->time, kCallTimeSize);
    }
}

// Counts one call everywhere; 0 without memory.
static int Count(Tally *tally, CallKey **keys, int *keyCapacity, const CallRecord *call) {
    DayTally *day = DayOf(tally, (call->year * 100 + call->month) * 100 + call->day);
    if (!day || !MakeRoom((void **)keys, keyCapacity, tally->calls, sizeof(CallKey)))
        return 0;
    CallKey *key = &(*keys)[tally->calls];
    NumberName(call, key->name);
    key->blocked = (char)call->blocked;
    key->when = call->when;
    Seen(tally, call);
    tally->calls++;
    tally->hours[call->hour].calls++;
    day->calls++;
    if (call->blocked) {
        tally->blocked++;
        tally->hours[call->hour].blocked++;
        day->blocked++;
    }
    return 1;
}

static int ByNameThenTime(const void *a, const void *b) {
    const CallKey *x = (const CallKey *)a, *y = (const CallKey *)b;
    int order = strcmp(x->name, y->name);
    if (order != 0)
        return order;
    return x->when < y->when ? -1 : x->when > y->when;
}

// "MM/DD/YYYY HH:MM:SS" of a YYYYMMDDhhmmss time.
static void TimeText(long long when, char *out) {
    snprintf(out, kCallTimeSize, "%02d/%02d/%04d %02d:%02d:%02d", (int)(when / 100000000 % 100),
             (int)(when / 1000000 % 100), (int)(when / 10000000000LL), (int)(when / 10000 % 100),
             (int)(when / 100 % 100), (int)(when % 100));
}

// The numbers of all calls, each once with its counts and its first and last call. 0 without
// memory.
static int TallyNumbers(Tally *tally, CallKey *keys) {
    if (tally->calls > 1)
        qsort(keys, tally->calls, sizeof(CallKey), ByNameThenTime);
    for (int i = 0; i < tally->calls; i++) {
        if (i == 0 || strcmp(keys[i].name, keys[i - 1].name) != 0) {
            if (!MakeRoom((void **)&tally->numbers, &tally->numberCapacity, tally->numberCount,
                          sizeof(NumberTally)))
                return 0;
            NumberTally *fresh = &tally->numbers[tally->numberCount++];
            memset(fresh, 0, sizeof *fresh);
            memcpy(fresh->name, keys[i].name, sizeof fresh->name);
            TimeText(keys[i].when, fresh->firstTime);
        }
        NumberTally *number = &tally->numbers[tally->numberCount - 1];
        number->calls++;
        number->blocked += keys[i].blocked;
        number->last = keys[i].when;
        if (i + 1 == tally->calls || strcmp(keys[i + 1].name, keys[i].name) != 0)
            TimeText(number->last, number->lastTime); // the number's last call
    }
    return 1;
}

static int ByFrequency(const void *a, const void *b) {
    const NumberTally *x = (const NumberTally *)a, *y = (const NumberTally *)b;
    if (x->calls != y->calls)
        return x->calls > y->calls ? -1 : 1;
    if (x->last != y->last)
        return x->last > y->last ? -1 : 1;
    return strcmp(x->name, y->name);
}

int DatePart(int date, int part) {
    return part == 0 ? date / 10000 : part == 1 ? date / 100 % 100 : date % 100;
}

int Percent(int part, int whole) {
    return whole > 0 ? (int)((200LL * part + whole) / (2LL * whole)) : 0;
}

static void PrintText(const Tally *tally, const char *logPath, FILE *out) {
    if (tally->calls == 0) {
        fprintf(out, "%s: no calls\n", logPath);
    } else {
        fprintf(out, "%s: %d call%s from %s to %s, %d blocked (%d%%)\n", logPath, tally->calls,
                tally->calls == 1 ? "" : "s", tally->firstTime, tally->lastTime, tally->blocked,
                Percent(tally->blocked, tally->calls));
        fprintf(out, "\nCalls per day\n  %-10s  %6s  %7s  %7s\n", "Day", "Calls", "Allowed",
                "Blocked");
        for (int i = 0; i < tally->dayCount; i++) {
            const DayTally *day = &tally->days[i];
            fprintf(out, "  %02d/%02d/%04d  %6d  %7d  %7d\n", DatePart(day->date, 1),
                    DatePart(day->date, 2), DatePart(day->date, 0), day->calls,
                    day->calls - day->blocked, day->blocked);
        }
        fprintf(out, "\nCalls per hour\n  %-10s  %6s  %7s  %7s\n", "Hour", "Calls", "Allowed",
                "Blocked");
        for (int hour = 0; hour < kHoursPerDay; hour++) {
            const HourTally *h = &tally->hours[hour];
            if (h->calls > 0)
                fprintf(out, "  %02d:00       %6d  %7d  %7d\n", hour, h->calls,
                        h->calls - h->blocked, h->blocked);
        }
        fprintf(out, "\nMost frequent numbers\n  %-12s  %6s  %7s  %-19s  %s\n", "Number", "Calls",
                "Blocked", "First call", "Last call");
        for (int i = 0; i < tally->numberCount && i < kTopNumbers; i++) {
            const NumberTally *n = &tally->numbers[i];
            fprintf(out, "  %-12s  %6d  %7d  %-19s  %s\n", n->name, n->calls, n->blocked,
                    n->firstTime, n->lastTime);
        }
    }
    if (tally->unreadable > 0)
        fprintf(out, "%d line%s could not be read as records\n", tally->unreadable,
                tally->unreadable == 1 ? "" : "s");
}

// Letters A to Z alike in either case.
static int EqualNoCase(const char *a, const char *b) {
    for (; *a && *b; a++, b++) {
        char x = *a >= 'A' && *a <= 'Z' ? (char)(*a - 'A' + 'a') : *a;
        char y = *b >= 'A' && *b <= 'Z' ? (char)(*b - 'A' + 'a') : *b;
        if (x != y)
            return 0;
    }
    return *a == *b;
}

// A page must not take the place of what the program reads or writes.
static int IsProgramFile(const char *path, const char *logPath) {
    const char *const kNames[] = {kAcceptFileName, kBlockFileName, kCallsLogName, kEventLogName};
    const char *base = path;
    for (const char *p = path; *p; p++)
        if (*p == '/' || *p == '\\')
            base = p + 1;
    size_t length = strlen(base);
    if (strcmp(path, logPath) == 0 || (length >= 4 && EqualNoCase(base + length - 4, ".wav")))
        return 1;
    for (const char *name : kNames)
        if (EqualNoCase(base, name))
            return 1;
    return 0;
}

int ReportLog(const char *logPath, const char *htmlPath, FILE *out, FILE *err) {
    if (htmlPath && IsProgramFile(htmlPath, logPath)) {
        fprintf(err, "ringward-check: %s is one of the program's files; the page goes elsewhere\n",
                htmlPath);
        return kExitUsage;
    }
    CallLog log;
    if (!OpenCallLog(&log, logPath)) {
        fprintf(err, "ringward-check: cannot read %s\n", logPath);
        return kExitUsage;
    }
    Tally tally;
    memset(&tally, 0, sizeof tally);
    CallKey *keys = NULL;
    int keyCapacity = 0;
    CallRecord call;
    int counted = 1;
    while (counted && ReadCallRecord(&log, &call))
        counted = Count(&tally, &keys, &keyCapacity, &call);
    tally.unreadable = log.unreadable;
    CloseCallLog(&log);
    counted = counted && TallyNumbers(&tally, keys);
    free(keys);
    int result = kExitClean;
    if (!counted) {
        fprintf(err, "ringward-check: out of memory\n");
        result = kExitUsage;
    } else {
        if (tally.numberCount > 1)
            qsort(tally.numbers, tally.numberCount, sizeof(NumberTally), ByFrequency);
        PrintText(&tally, logPath, out);
        if (htmlPath && !WriteHtmlReport(&tally, logPath, htmlPath)) {
            fprintf(err, "ringward-check: cannot write %s\n", htmlPath);
            result = kExitUsage;
        }
    }
    free(tally.days);
    free(tally.numbers);
    return result;
}
