/* The bench's stopwatch: runs PROGRAM once with its output on /dev/null
 * and prints the time from fork to its exit in milliseconds, its peak
 * resident set in KiB (from wait4's rusage) and its wait status.
 *   stopwatch PROGRAM [ARGS...] */
#include <fcntl.h>
#include <stdio.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

int main(int argc, char **argv) {
    if (argc < 2) {
        fputs("usage: stopwatch PROGRAM [ARGS...]\n", stderr);
        return 2;
    }
    struct timespec start, end;
    clock_gettime(CLOCK_MONOTONIC, &start);
    const pid_t child = fork();
    if (child == 0) {
        const int null = open("/dev/null", O_RDWR);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        execv(argv[1], argv + 1);
        _exit(127);
    }
    int status = -1;
    struct rusage usage = {0};
    if (child < 0 || wait4(child, &status, 0, &usage) < 0)
        return 1;
    clock_gettime(CLOCK_MONOTONIC, &end);
    const double ms = (end.tv_sec - start.tv_sec) * 1e3 + (end.tv_nsec - start.tv_nsec) / 1e6;
    printf("%.3f %ld %d\n", ms, usage.ru_maxrss, status);
    return 0;
}
