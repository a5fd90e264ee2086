/* measure.c - runs one command and reports what it cost as a whole process: wall time, user +
 * system CPU time and peak resident set size (ru_maxrss from wait4), so that our programs and
 * the peers (C programs, orcus-xlsx, python) are measured the same way.
 *
 * usage: measure [-o FILE] [-l LABEL] -- COMMAND [ARG...]
 *
 * The command keeps the standard streams it is given. The result is one line
 *     LABEL wall=1.234 cpu=1.100 user=1.000 sys=0.100 rss_kib=123456 status=0
 * appended to FILE (standard error without -o). status is the exit code, or 128 + the signal
 * number; measure exits with the same value. */
#include <errno.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

static double now(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

static double seconds(struct timeval tv) { return tv.tv_sec + tv.tv_usec / 1e6; }

static void usage(void) {
    fprintf(stderr, "usage: measure [-o FILE] [-l LABEL] -- COMMAND [ARG...]\n");
    exit(2);
}

int main(int argc, char **argv) {
    const char *output = NULL, *label = "run";
    int i = 1;
    for (; i < argc; ++i) {
        if (strcmp(argv[i], "--") == 0) {
            ++i;
            break;
        }
        if (strcmp(argv[i], "-o") == 0 && i + 1 < argc) output = argv[++i];
        else if (strcmp(argv[i], "-l") == 0 && i + 1 < argc) label = argv[++i];
        else if (argv[i][0] == '-') usage();
        else break;
    }
    if (i >= argc) usage();
    char **command = argv + i;

    double start = now();
    pid_t child = fork();
    if (child < 0) {
        perror("measure: fork");
        return 2;
    }
    if (child == 0) {
        execvp(command[0], command);
        fprintf(stderr, "measure: %s: %s\n", command[0], strerror(errno));
        _exit(127);
    }
    int status = 0;
    struct rusage usage;
    memset(&usage, 0, sizeof usage);
    while (wait4(child, &status, 0, &usage) < 0) {
        if (errno != EINTR) {
            perror("measure: wait4");
            return 2;
        }
    }
    double wall = now() - start;
    int code = WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? 128 + WTERMSIG(status) : 1;
    double user = seconds(usage.ru_utime), sys = seconds(usage.ru_stime);

    FILE *out = output ? fopen(output, "a") : stderr;
    if (!out) {
        perror(output);
        return 2;
    }
    fprintf(out, "%s wall=%.3f cpu=%.3f user=%.3f sys=%.3f rss_kib=%ld status=%d\n", label, wall, user + sys, user,
            sys, usage.ru_maxrss, code);
    if (out != stderr) fclose(out);
    return code;
}
