// Runs a command and prints its peak resident memory, as the last line on standard error:
//   bench-peak-memory COMMAND [ARGUMENTS...]   ->   peak-rss-kib N
// The command is started from this small process rather than from the harness: a process's recorded
// peak includes the memory of the process it was forked from up to its exec, which for a Python parent
// would hide the command's own peak. Exits with the command's exit code.
#include <cstdio>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argumentCount, char** arguments) {
    if (argumentCount < 2) {
        std::fputs("usage: bench-peak-memory COMMAND [ARGUMENTS...]\n", stderr);
        return 2;
    }
    pid_t child = fork();
    if (child < 0) return 127;
    if (child == 0) {
        execvp(arguments[1], arguments + 1);
        std::perror(arguments[1]);
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) < 0) return 127;
    std::fprintf(stderr, "peak-rss-kib %ld\n", usage.ru_maxrss);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
