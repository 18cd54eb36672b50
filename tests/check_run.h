// Running ringward-check in the test process: its command line, what it printed, its exit code.
#ifndef RINGWARD_TEST_CHECK_RUN_H
#define RINGWARD_TEST_CHECK_RUN_H

#include "check/check.h"

#include <sstream>
#include <stdio.h>
#include <stdlib.h>
#include <string>
#include <vector>

namespace test {

struct CheckRun {
    int code;
    std::string out, err;

    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        std::istringstream in(out);
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }
    // The line that begins with start, or "" when there is none.
    std::string LineStarting(const std::string &start) const {
        for (const std::string &line : Lines())
            if (line.compare(0, start.size(), start) == 0)
                return line;
        return "";
    }
};

inline CheckRun RunCheckTool(const std::vector<std::string> &args) {
    std::vector<char *> argv{(char *)"ringward-check"};
    for (const std::string &arg : args)
        argv.push_back((char *)arg.c_str());
    char *outText = nullptr, *errText = nullptr;
    size_t outSize = 0, errSize = 0;
    FILE *out = open_memstream(&outText, &outSize);
    FILE *err = open_memstream(&errText, &errSize);
    CheckRun run;
    run.code = RunCheck((int)argv.size(), argv.data(), out, err);
    fclose(out);
    fclose(err);
    run.out.assign(outText, outSize);
    run.err.assign(errText, errSize);
    free(outText); // the platform passes a library's blocks on to the library
    free(errText);
    return run;
}

} // namespace test

#endif
