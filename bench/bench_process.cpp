// The program as a child process: spawned in its own folder, its standard output read line by
// line, its peak resident set taken from the kernel's account when it ends.
#include "bench_process.h"

#include "bench_support.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdio.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace bench {

namespace {

enum : size_t { kReadSize = 4096 };
enum : int { kPipeSize = 4096 }; // a short pipe keeps the program close behind its reader

bool Spawn(const std::string &dir, const std::vector<std::string> &args, int outFd, pid_t *pid) {
    std::vector<std::string> argv = {RINGWARD_PROGRAM};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char *> pointers;
    for (std::string &arg : argv)
        pointers.push_back(&arg[0]);
    pointers.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
    posix_spawn_file_actions_adddup2(&actions, outFd, STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "stderr.txt",
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    int failed = posix_spawn(pid, pointers[0], &actions, nullptr, pointers.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return failed == 0;
}

// Reads the program's output until it closes it, handing every whole line to watch.
void Watch(int fd, pid_t pid, const LineWatcher &watch) {
    std::string pending;
    char buffer[kReadSize];
    bool signalled = false;
    ssize_t got;
    while ((got = read(fd, buffer, sizeof buffer)) > 0) {
        pending.append(buffer, (size_t)got);
        size_t start = 0, end;
        while ((end = pending.find('\n', start)) != std::string::npos) {
            if (!signalled && watch && watch(pending.substr(start, end - start))) {
                kill(pid, SIGTERM);
                signalled = true;
            }
            start = end + 1;
        }
        pending.erase(0, start);
    }
}

} // namespace

ProgramRun RunProgram(const std::string &dir, const std::vector<std::string> &args,
                      const LineWatcher &watch) {
    ProgramRun run;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return run;
    fcntl(fds[0], F_SETPIPE_SZ, kPipeSize);
    Clock::time_point start = Clock::now();
    pid_t pid;
    run.started = Spawn(dir, args, fds[1], &pid);
    close(fds[1]);
    if (!run.started) {
        close(fds[0]);
        return run;
    }
    Watch(fds[0], pid, watch);
    close(fds[0]);
    int status = 0;
    struct rusage usage;
    if (wait4(pid, &status, 0, &usage) != pid)
        return run;
    run.seconds = Seconds(start, Clock::now());
    run.peakRssKb = usage.ru_maxrss;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

} // namespace bench
