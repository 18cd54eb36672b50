// The call report as one self-contained page: inline style, an inline SVG chart of the calls per
// day (allowed and blocked stacked), and the tables of the text report. Well-formed XML as well
// as HTML, so that anything can read it; every text from the log is escaped.
#include "check/report.h"

#include <string.h>

enum : int {
    kChartWidth = 800,
    kChartHeight = 280,
    kLeft = 44, // room for the counts
    kRight = 12,
    kTop = 28, // room for the legend
    kBottom = 36,
    kWidestBar = 40,
    kChartDays = 400, // a longer log shows its last 400 days
    kDateLabels = 8,  // at most, under the chart
    kGridLines = 5,   // at most
};

static const char kStyle[] =
    "body{font-family:system-ui,-apple-system,'Segoe UI',sans-serif;margin:2em auto;"
    "max-width:840px;color:#222;background:#fff;padding:0 1em}"
    "h1{font-size:1.5em;margin-bottom:.2em}h2{font-size:1.15em;margin-top:1.6em}"
    "p.summary{font-size:1.1em;margin-top:0}"
    "table{border-collapse:collapse;margin:.4em 0}"
    "th,td{padding:.25em .8em;border-bottom:1px solid #ddd;text-align:right}"
    "th{background:#f2f2f2}td.text,th.text{text-align:left}"
    "svg{display:block;margin:.5em 0}"
    ".allowed{fill:#3a8f5c}.blocked{fill:#c8463d}"
    ".axis{stroke:#888;stroke-width:1}.grid{stroke:#e4e4e4;stroke-width:1}"
    ".label{font-size:11px;fill:#555}"
    "p.note{color:#666;font-size:.9em;margin-top:2em}";

// Text of the log into the page: markup characters as entities, bytes above ASCII as the
// characters of the Windows code page the program writes, control bytes as a replacement.
static void PutText(FILE *page, const char *text) {
    for (const unsigned char *p = (const unsigned char *)text; *p; p++) {
        if (*p == '&')
            fputs("&amp;", page);
        else if (*p == '<')
            fputs("&lt;", page);
        else if (*p == '>')
            fputs("&gt;", page);
        else if (*p == '"')
            fputs("&quot;", page);
        else if (*p < 0x20 || *p == 0x7F)
            fputs("&#xFFFD;", page);
        else if (*p >= 0x80)
            fprintf(page, "&#x%02X;", *p); // 0x80-0x9F read as the code page's, as browsers do
        else
            fputc(*p, page);
    }
}

// Days since 1970-01-01 of a civil date, and back (H. Hinnant's algorithms).
static long DaysFromCivil(int year, int month, int day) {
    year -= month <= 2;
    long era = (year >= 0 ? year : year - 399) / 400;
    long yoe = year - era * 400;
    long doy = (153L * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

static int CivilFromDays(long days) {
    days += 719468;
    long era = (days >= 0 ? days : days - 146096) / 146097;
    long doe = days - era * 146097;
    long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    long mp = (5 * doy + 2) / 153;
    int day = (int)(doy - (153 * mp + 2) / 5 + 1);
    int month = (int)(mp < 10 ? mp + 3 : mp - 9);
    int year = (int)(yoe + era * 400 + (month <= 2));
    return (year * 100 + month) * 100 + day;
}

static long DaysOf(int date) {
    return DaysFromCivil(DatePart(date, 0), DatePart(date, 1), DatePart(date, 2));
}

// A step of 1, 2 or 5 times a power of ten that divides 0..most into at most kGridLines.
static int GridStep(int most) {
    static const int kFactors[] = {1, 2, 5};
    for (int scale = 1;; scale *= 10) {
        for (int factor : kFactors) {
            if (most <= factor * scale * kGridLines)
                return factor * scale;
        }
    }
}

static void PutGrid(FILE *page, int most, int step, int plotHeight) {
    for (int value = 0; value <= most; value += step) {
        int y = kTop + plotHeight - (int)((long long)value * plotHeight / most);
        fprintf(page,
                "<line class=\"%s\" x1=\"%d\" y1=\"%d\" x2=\"%d\" y2=\"%d\"/>"
                "<text class=\"label\" x=\"%d\" y=\"%d\" text-anchor=\"end\">%d</text>\n",
                value == 0 ? "axis" : "grid", kLeft, y, kChartWidth - kRight, y, kLeft - 6, y + 4,
                value);
    }
}

static void PutLegend(FILE *page) {
    fprintf(page,
            "<rect class=\"allowed\" x=\"%d\" y=\"6\" width=\"12\" height=\"12\"/>"
            "<text class=\"label\" x=\"%d\" y=\"16\">allowed</text>"
            "<rect class=\"blocked\" x=\"%d\" y=\"6\" width=\"12\" height=\"12\"/>"
            "<text class=\"label\" x=\"%d\" y=\"16\">blocked</text>\n",
            kLeft, kLeft + 16, kLeft + 80, kLeft + 96);
}

// The calls per day, every day from the first to the last (or the last kChartDays of them).
static void PutChart(FILE *page, const Tally *tally) {
    long last = DaysOf(tally->days[tally->dayCount - 1].date);
    long first = DaysOf(tally->days[0].date);
    if (last - first + 1 > kChartDays)
        first = last - kChartDays + 1;
    int days = (int)(last - first + 1);
    int most = 1;
    for (int i = 0; i < tally->dayCount; i++)
        if (DaysOf(tally->days[i].date) >= first && tally->days[i].calls > most)
            most = tally->days[i].calls;
    int step = GridStep(most);
    most = (most + step - 1) / step * step;
    int plotWidth = kChartWidth - kLeft - kRight, plotHeight = kChartHeight - kTop - kBottom;
    double slot = (double)plotWidth / days;
    double bar = slot * 0.8 > kWidestBar ? (double)kWidestBar : slot * 0.8;

    fprintf(page,
            "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\" "
            "viewBox=\"0 0 %d %d\" role=\"img\" aria-label=\"Calls per day\">\n",
            kChartWidth, kChartHeight, kChartWidth, kChartHeight);
    PutLegend(page);
    PutGrid(page, most, step, plotHeight);
    int labelEvery = (days + kDateLabels - 1) / kDateLabels;
    int next = 0; // the next of tally->days to meet
    while (next < tally->dayCount && DaysOf(tally->days[next].date) < first)
        next++;
    for (int d = 0; d < days; d++) {
        int date = CivilFromDays(first + d);
        int calls = 0, blocked = 0;
        if (next < tally->dayCount && tally->days[next].date == date) {
            calls = tally->days[next].calls;
            blocked = tally->days[next].blocked;
            next++;
        }
        double x = kLeft + d * slot + (slot - bar) / 2;
        double allowedHeight = (double)(calls - blocked) * plotHeight / most;
        double blockedHeight = (double)blocked * plotHeight / most;
        double base = kTop + plotHeight;
        fprintf(page,
                "<g class=\"day\" data-date=\"%04d-%02d-%02d\" data-allowed=\"%d\" "
                "data-blocked=\"%d\"><title>%02d/%02d/%04d: %d allowed, %d blocked</title>"
                "<rect class=\"allowed\" x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\"/>"
                "<rect class=\"blocked\" x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\"/>"
                "</g>\n",
                DatePart(date, 0), DatePart(date, 1), DatePart(date, 2), calls - blocked, blocked,
                DatePart(date, 1), DatePart(date, 2), DatePart(date, 0), calls - blocked, blocked,
                x, base - allowedHeight, bar, allowedHeight, x,
                base - allowedHeight - blockedHeight, bar, blockedHeight);
        if (d % labelEvery == 0)
            fprintf(page,
                    "<text class=\"label\" x=\"%.1f\" y=\"%d\" text-anchor=\"middle\">"
                    "%02d/%02d</text>\n",
                    kLeft + d * slot + slot / 2, kTop + plotHeight + 16, DatePart(date, 1),
                    DatePart(date, 2));
    }
    fputs("</svg>\n", page);
}

static void PutCountCells(FILE *page, int calls, int blocked) {
    fprintf(page, "<td>%d</td><td>%d</td><td>%d</td><td>%d%%</td></tr>\n", calls, calls - blocked,
            blocked, Percent(blocked, calls));
}

static const char kCountHeads[] = "<th>Calls</th><th>Allowed</th><th>Blocked</th>"
                                  "<th>Blocked share</th></tr>\n";

static void PutTables(FILE *page, const Tally *tally) {
    fprintf(page,
            "<h2>Calls per day</h2>\n<table class=\"days\">\n<tr><th class=\"text\">Day</th>%s",
            kCountHeads);
    for (int i = 0; i < tally->dayCount; i++) {
        const DayTally *day = &tally->days[i];
        fprintf(page, "<tr><td class=\"text\">%02d/%02d/%04d</td>", DatePart(day->date, 1),
                DatePart(day->date, 2), DatePart(day->date, 0));
        PutCountCells(page, day->calls, day->blocked);
    }
    fprintf(page,
            "</table>\n<h2>Calls per hour</h2>\n<table class=\"hours\">\n"
            "<tr><th class=\"text\">Hour</th>%s",
            kCountHeads);
    for (int hour = 0; hour < kHoursPerDay; hour++) {
        if (tally->hours[hour].calls == 0)
            continue;
        fprintf(page, "<tr><td class=\"text\">%02d:00</td>", hour);
        PutCountCells(page, tally->hours[hour].calls, tally->hours[hour].blocked);
    }
    fputs("</table>\n<h2>Most frequent numbers</h2>\n<table class=\"numbers\">\n"
          "<tr><th class=\"text\">Number</th><th>Calls</th><th>Blocked</th>"
          "<th class=\"text\">First call</th><th class=\"text\">Last call</th></tr>\n",
          page);
    for (int i = 0; i < tally->numberCount && i < kTopNumbers; i++) {
        const NumberTally *n = &tally->numbers[i];
        fputs("<tr><td class=\"text\">", page);
        PutText(page, n->name);
        fprintf(page,
                "</td><td>%d</td><td>%d</td><td class=\"text\">%s</td>"
                "<td class=\"text\">%s</td></tr>\n",
                n->calls, n->blocked, n->firstTime, n->lastTime);
    }
    fputs("</table>\n", page);
}

int WriteHtmlReport(const Tally *tally, const char *logPath, const char *htmlPath) {
    FILE *page = fopen(htmlPath, "wb");
    if (!page)
        return 0;
    fprintf(page,
            "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\"/>\n"
            "<title>Calls received</title>\n<style>%s</style>\n</head>\n<body>\n"
            "<h1>Calls received</h1>\n<p class=\"summary\">",
            kStyle);
    if (tally->calls == 0)
        fputs("No calls.", page);
    else
        fprintf(page, "%d call%s from %s to %s, %d blocked (%d%%).", tally->calls,
                tally->calls == 1 ? "" : "s", tally->firstTime, tally->lastTime, tally->blocked,
                Percent(tally->blocked, tally->calls));
    fputs("</p>\n", page);
    if (tally->calls > 0) {
        PutChart(page, tally);
        PutTables(page, tally);
    }
    fputs("<p class=\"note\">From ", page);
    PutText(page, logPath);
    fputs(", read by ringward-check. The log keeps the first ten digits of a number and 16 "
          "characters of a name.",
          page);
    if (tally->unreadable > 0)
        fprintf(page, " %d line%s could not be read as records.", tally->unreadable,
                tally->unreadable == 1 ? "" : "s");
    fputs("</p>\n</body>\n</html>\n", page);
    int written = !ferror(page);
    return fclose(page) == 0 && written;
}
