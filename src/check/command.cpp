// The command line of ringward-check: which command, its arguments, and the usage text.
#include "check/check.h"

#include <string.h>

static const char kDefaultLog[] = "Calls Received.txt";

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
    "exit code: 0 nothing found, 1 findings (or changed calls), 2 bad usage or unreadable input\n";

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
        log = kDefaultLog;
    return report ? ReportLog(log, html, out, err) : ReplayLog(log, out, err);
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
    if (strcmp(command, "replay") == 0 || strcmp(command, "report") == 0)
        return RunLogCommand(argc, argv, out, err, strcmp(command, "report") == 0);
    if (command[0] == '-')
        return Usage(err, "unknown option");
    if (argc > 2)
        return Usage(err, "the check takes one folder");
    return RunFolderCheck(command, out, err);
}
