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

// The tally of the number named name, inserted in order when it is new; null without memory.
static NumberTally *NumberOf(Tally *tally, const char *name) {
    int low = 0, high = tally->numberCount;
    while (low < high) {
        int mid = (low + high) / 2;
        if (strcmp(tally->numbers[mid].name, name) < 0)
            low = mid + 1;
        else
            high = mid;
    }
    if (low < tally->numberCount && strcmp(tally->numbers[low].name, name) == 0)
        return &tally->numbers[low];
    if (!MakeRoom((void **)&tally->numbers, &tally->numberCapacity, tally->numberCount,
                  sizeof(NumberTally)))
        return NULL;
    memmove(&tally->numbers[low + 1], &tally->numbers[low],
            (size_t)(tally->numberCount - low) * sizeof(NumberTally));
    tally->numberCount++;
    NumberTally *number = &tally->numbers[low];
    memset(number, 0, sizeof *number);
    snprintf(number->name, sizeof number->name, "%s", name);
    return number;
}

static void Seen(char *firstTime, long long *first, char *lastTime, long long *last,
                 const CallRecord *call, int isFirstCall) {
    if (isFirstCall || call->when < *first) {
        *first = call->when;
        memcpy(firstTime, call->time, kCallTimeSize);
    }
    if (isFirstCall || call->when >= *last) {
        *last = call->when;
        memcpy(lastTime, call->time, kCallTimeSize);
    }
}

// Counts one call everywhere; 0 without memory.
static int Count(Tally *tally, const CallRecord *call) {
    DayTally *day = DayOf(tally, (call->year * 100 + call->month) * 100 + call->day);
    char name[kShownNumberSize];
    NumberName(call, name);
    NumberTally *number = day ? NumberOf(tally, name) : NULL;
    if (!number)
        return 0;
    Seen(tally->firstTime, &tally->first, tally->lastTime, &tally->last, call, tally->calls == 0);
    Seen(number->firstTime, &number->first, number->lastTime, &number->last, call,
         number->calls == 0);
    tally->calls++;
    number->calls++;
    tally->hours[call->hour].calls++;
    day->calls++;
    if (call->blocked) {
        tally->blocked++;
        number->blocked++;
        tally->hours[call->hour].blocked++;
        day->blocked++;
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

// A page must not take the place of what the program reads or writes.
static int IsProgramFile(const char *path, const char *logPath) {
    static const char *const kNames[] = {"Accept Always.txt", "Block.txt", "Calls Received.txt",
                                         "EventLog.txt"};
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

int EqualNoCase(const char *a, const char *b) {
    for (; *a && *b; a++, b++) {
        char x = *a >= 'A' && *a <= 'Z' ? (char)(*a - 'A' + 'a') : *a;
        char y = *b >= 'A' && *b <= 'Z' ? (char)(*b - 'A' + 'a') : *b;
        if (x != y)
            return 0;
    }
    return *a == *b;
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
    CallRecord call;
    int counted = 1;
    while (counted && ReadCallRecord(&log, &call))
        counted = Count(&tally, &call);
    tally.unreadable = log.unreadable;
    CloseCallLog(&log);
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
