// quennet_peak_of REPORT PROGRAM [ARGS...]: runs PROGRAM as its own child and
// writes that child's peak resident size (kB) and its CPU time (user +
// system, ms) to REPORT; exits as it did.
// A benchmark that starts a program itself would count its own pages in the
// program's peak: they are the child's too from fork until exec. This small
// launcher has few pages to share.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc < 3)
        return 2;
    const pid_t child = fork();
    if (child == 0) {
        execvp(argv[2], argv + 2);
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) < 0)
        return 2;
    std::FILE *report = std::fopen(argv[1], "w");
    if (!report)
        return 2;
    const long cpuMs = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000L +
                       (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000L;
    std::fprintf(report, "%ld %ld\n", usage.ru_maxrss, cpuMs);
    std::fclose(report);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
