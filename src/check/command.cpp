// The command line of ringward-check: which command, its arguments, and the usage text.
#include "check/check.h"

#include <stdlib.h>
#include <string.h>

static const char kUsage[] =
    "usage: ringward-check [DIR]\n"
    "         checks \"Accept Always.txt\", \"Block.txt\" and the messages in DIR (default: the\n"
    "         current folder): one line per finding, then a summary\n"
    "       ringward-check number TEXT [--name NAME]\n"
    "         the caller TEXT as the program would see it, decided on the lists here\n"
    "       ringward-check replay [LOG]\n"
    "         the calls of LOG (default \"Calls Received.txt\") that the lists here would now\n"
    "         decide otherwise\n"
    "       ringward-check report [LOG] [--html FILE]\n"
    "         calls per day and per hour, the blocked share, the most frequent numbers;\n"
    "         --html also writes them as one page with a chart\n"
    "       ringward-check modem [--try-open]\n"
    "         every line device as the program's modem discovery judges it, and the one it\n"
    "         would use; --try-open also opens each candidate for a moment\n"
    "       ringward-check watch [--line N] [--seconds S]\n"
    "         every message of the line the program would use (or line device N) until\n"
    "         Ctrl-C or for S seconds, with each caller as the program would decide it\n"
    "exit code: 0 nothing found, 1 findings (or changed calls, or no usable modem), 2 bad usage,\n"
    "unreadable input or no telephony system\n";

int JoinPath(char *out, const char *dir, const char *name) {
    int written = dir[0] == '\0' || strcmp(dir, ".") == 0
                      ? snprintf(out, kPathSize, "%s", name)
                      : snprintf(out, kPathSize, "%s/%s", dir, name);
    return written >= 0 && written < kPathSize;
}

static int Usage(FILE *err, const char *problem) {
    if (problem)
        fprintf(err, "ringward-check: %s\n", problem);
    fputs(kUsage, err);
    return kExitUsage;
}

static int RunFolderCheck(const char *dir, FILE *out, FILE *err) {
    DWORD attributes = GetFileAttributesA(dir[0] ? dir : ".");
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        fprintf(err, "ringward-check: cannot read the folder %s\n", dir);
        return kExitUsage;
    }
    return CheckFolder(dir, out);
}

static int RunNumber(int argc, char **argv, FILE *out, FILE *err) {
    const char *text = NULL, *name = NULL;
    for (int i = 2; i < argc; i++) {
        if (strcmp(argv[i], "--name") == 0 && i + 1 < argc)
            name = argv[++i];
        else if (strcmp(argv[i], "--name") == 0 || text)
            return Usage(err, "number takes one TEXT and --name NAME");
        else
            text = argv[i];
    }
    if (!text)
        return Usage(err, "number needs the caller's number as TEXT");
    return CheckNumber(text, name, out);
}

// replay [LOG] and report [LOG] [--html FILE].
static int RunLogCommand(int argc, char **argv, FILE *out, FILE *err, int report) {
    const char *log = NULL, *html = NULL;
    for (int i = 2; i < argc; i++) {
        if (report && strcmp(argv[i], "--html") == 0 && i + 1 < argc)
            html = argv[++i];
        else if ((report && strcmp(argv[i], "--html") == 0) || log)
            return Usage(err,
                         report ? "report takes one LOG and --html FILE" : "replay takes one LOG");
        else
            log = argv[i];
    }
    if (!log)
        log = kCallsLogName;
    return report ? ReportLog(log, html, out, err) : ReplayLog(log, out, err);
}

static int RunModem(int argc, char **argv, FILE *out, FILE *err) {
    int tryOpen = 0;
    for (int i = 2; i < argc; i++) {
        if (strcmp(argv[i], "--try-open") != 0)
            return Usage(err, "modem takes --try-open only");
        tryOpen = 1;
    }
    return CheckModem(tryOpen, out);
}

// A whole number from 0 to most, digits only.
static int ParseCount(const char *text, unsigned long most, DWORD *value) {
    if (!*text || strspn(text, "0123456789") != strlen(text) || strlen(text) > 10)
        return 0;
    unsigned long parsed = strtoul(text, NULL, 10);
    if (parsed > most)
        return 0;
    *value = (DWORD)parsed;
    return 1;
}

static int RunWatch(int argc, char **argv, FILE *out, FILE *err) {
    DWORD line = kNoLine, seconds = 0;
    for (int i = 2; i < argc; i++) {
        const char *value = i + 1 < argc ? argv[i + 1] : "";
        if (strcmp(argv[i], "--line") == 0) {
            if (!ParseCount(value, kNoLine - 1, &line))
                return Usage(err, "--line needs a line device's number");
        } else if (strcmp(argv[i], "--seconds") == 0) {
            if (!ParseCount(value, kMaxWatchSeconds, &seconds) || seconds == 0) {
                char problem[kFindingSize];
                snprintf(problem, sizeof problem,
                         "--seconds needs a number of seconds from 1 to %lu",
                         (unsigned long)kMaxWatchSeconds);
                return Usage(err, problem);
            }
        } else {
            return Usage(err, "watch takes --line N and --seconds S");
        }
        i++;
    }
    return WatchLine(line, seconds, out, err);
}

int RunCheck(int argc, char **argv, FILE *out, FILE *err) {
    if (argc < 2)
        return RunFolderCheck("", out, err);
    const char *command = argv[1];
    if (strcmp(command, "--help") == 0 || strcmp(command, "-h") == 0) {
        fputs(kUsage, out);
        return kExitClean;
    }
    if (strcmp(command, "number") == 0)
        return RunNumber(argc, argv, out, err);
    if (strcmp(command, "modem") == 0)
        return RunModem(argc, argv, out, err);
    if (strcmp(command, "watch") == 0)
        return RunWatch(argc, argv, out, err);
    if (strcmp(command, "replay") == 0 || strcmp(command, "report") == 0)
        return RunLogCommand(argc, argv, out, err, strcmp(command, "report") == 0);
    if (command[0] == '-')
        return Usage(err, "unknown option");
    if (argc > 2)
        return Usage(err, "the check takes one folder");
    return RunFolderCheck(command, out, err);
}
