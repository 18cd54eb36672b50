// The call report's counts, shared by its text (report.cpp) and its page (report_html.cpp).
#ifndef RINGWARD_CHECK_REPORT_H
#define RINGWARD_CHECK_REPORT_H

#include "check/check.h"

enum : int {
    kHoursPerDay = 24,
    kTopNumbers = 10, // the most frequent numbers shown
};

struct DayTally {
    int date; // YYYYMMDD
    int calls;
    int blocked;
};

struct HourTally {
    int calls;
    int blocked;
};

struct NumberTally {
    char name[kShownNumberSize]; // the number as the log shows it, or its label
    int calls;
    int blocked;
    long long last; // YYYYMMDDhhmmss
    char firstTime[kCallTimeSize];
    char lastTime[kCallTimeSize];
};

struct Tally {
    int calls;
    int blocked;
    int unreadable;
    long long first, last;
    char firstTime[kCallTimeSize];
    char lastTime[kCallTimeSize];
    HourTally hours[kHoursPerDay];
    DayTally *days; // in date order
    int dayCount, dayCapacity;
    NumberTally *numbers; // most frequent first
    int numberCount, numberCapacity;
};

// The year (part 0), month (1) or day (2) of a YYYYMMDD date.
int DatePart(int date, int part);
// part of whole in whole per cent, rounded; 0 of nothing.
int Percent(int part, int whole);

// Writes the page of tally to htmlPath; 0 when it cannot be written.
int WriteHtmlReport(const Tally *tally, const char *logPath, const char *htmlPath);

#endif
