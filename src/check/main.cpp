// ringward-check on Windows: a console program on the real system.
#include "check/check.h"

int main(int argc, char **argv) {
    return RunCheck(argc, argv, stdout, stderr);
}
