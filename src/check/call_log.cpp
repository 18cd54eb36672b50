// Reading "Calls Received.txt" back: each line split at the fixed widths of its layout, and
// taken for a record only if LogCall's own formatting of what was read gives the line again.
// The log is opened read-only and shared, so the program may go on appending to it.
#include "check/check.h"

#include <string.h>

enum : int {
    kLogLineSize = 256, // longer lines are no records
    kTimeLength = 19,   // "MM/DD/YYYY HH:MM:SS"
    kNameStart = kTimeLength + 4,
    kFieldStart = kNameStart + 16 + 4,
    kDigitField = 12, // "800-555-1234"
    kLabelField = 10, // "Out of are"
    kDecisionLength = 7,
};

int OpenCallLog(CallLog *log, const char *path) {
    memset(log, 0, sizeof *log);
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return 0;                  // a folder would open here, but not on Windows
    log->file = fopen(path, "rb"); // the run-time shares it for reading and writing
    return log->file != NULL;
}

void CloseCallLog(CallLog *log) {
    if (log->file)
        fclose(log->file);
    log->file = NULL;
}

// The value of count digits at text, or -1 when they are not all digits.
static int DigitsAt(const char *text, int count) {
    int value = 0;
    for (int i = 0; i < count; i++) {
        if (text[i] < '0' || text[i] > '9')
            return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

static int DaysInMonth(int year, int month) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return kDays[month - 1] + (month == 2 && leap);
}

static int ParseTime(const char *line, CallRecord *record) {
    if (line[2] != '/' || line[5] != '/' || line[10] != ' ' || line[13] != ':' || line[16] != ':')
        return 0;
    int month = DigitsAt(line, 2), day = DigitsAt(line + 3, 2), year = DigitsAt(line + 6, 4);
    int hour = DigitsAt(line + 11, 2), minute = DigitsAt(line + 14, 2);
    int second = DigitsAt(line + 17, 2);
    if (month < 1 || month > 12 || year < 0 || day < 1 || day > DaysInMonth(year, month) ||
        hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 60)
        return 0;
    memcpy(record->time, line, kTimeLength);
    record->time[kTimeLength] = '\0';
    record->year = year;
    record->month = month;
    record->day = day;
    record->hour = hour;
    record->when =
        ((((year * 100LL + month) * 100 + day) * 100 + hour) * 100 + minute) * 100 + second;
    return 1;
}

// The number as the record shows it: three groups of digits, each filled with spaces on the
// left, or the label of a caller without one.
static int ParseNumber(const char *field, int width, CallRecord *record) {
    memcpy(record->shown, field, width);
    record->shown[width] = '\0';
    if (width == kLabelField) {
        static const char *const kLabels[][2] = {
            {"Private   ", "P"}, {"Out of are", "O"}, {"No CID num", "N"}};
        for (const auto &label : kLabels) {
            if (memcmp(field, label[0], kLabelField) == 0) {
                strcpy(record->number, label[1]);
                TrimWhitespace(record->shown);
                return 1;
            }
        }
        return 0;
    }
    size_t kept = 0;
    for (int i = 0; i < width; i++) {
        if (field[i] >= '0' && field[i] <= '9')
            record->number[kept++] = field[i];
    }
    record->number[kept] = '\0';
    TrimWhitespace(record->shown);
    return 1;
}

// Splits a line (without its line end) into *record; 1 when it is a record LogCall writes.
static int ParseRecord(const char *line, CallRecord *record) {
    size_t length = strlen(line);
    int width = (int)length - kFieldStart - 4 - kDecisionLength;
    if (width != kDigitField && width != kLabelField)
        return 0;
    const char *decision = line + kFieldStart + width + 4;
    record->blocked = strcmp(decision, "Blocked") == 0;
    if (!record->blocked && strcmp(decision, "Allowed") != 0)
        return 0;
    if (!ParseTime(line, record) || !ParseNumber(line + kFieldStart, width, record))
        return 0;
    memcpy(record->name, line + kNameStart, kLoggedNameSize - 1);
    record->name[kLoggedNameSize - 1] = '\0';
    char again[kCallRecordSize];
    FormatCallRecord(again, sizeof again, record->time, record->name, record->number, decision);
    return strncmp(again, line, length) == 0 && again[length] == '\n' && again[length + 1] == 0;
}

// Reads one line without its line end; 0 at the end. A line too long for the buffer is read
// to its end and comes back as *tooLong.
static int ReadLogLine(FILE *file, char *line, int *tooLong) {
    *tooLong = 0;
    if (!fgets(line, kLogLineSize, file))
        return 0;
    size_t length = strlen(line);
    if (length == (size_t)kLogLineSize - 1 && line[length - 1] != '\n') {
        char rest[kLogLineSize];
        while (fgets(rest, sizeof rest, file) && !strchr(rest, '\n')) {
        }
        *tooLong = 1;
    }
    while (length > 0 && (line[length - 1] == '\n' || line[length - 1] == '\r'))
        line[--length] = '\0';
    return 1;
}

int ReadCallRecord(CallLog *log, CallRecord *record) {
    char line[kLogLineSize];
    int tooLong;
    while (ReadLogLine(log->file, line, &tooLong)) {
        log->lineNumber++;
        if (line[0] == '\0' && !tooLong)
            continue; // a blank line is no record, and none is lost in it
        memset(record, 0, sizeof *record);
        record->line = log->lineNumber;
        if (!tooLong && ParseRecord(line, record))
            return 1;
        log->unreadable++;
    }
    return 0;
}
