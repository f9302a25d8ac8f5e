/* Preloaded into the real menu by the soak run and the benchmarks, and into
   the benchmarks' floor for the menu's start so that both are timed alike:
   wraps glfwSwapBuffers to count frames, and writes to the file named by
   TARNWICK_FRAMEWATCH the frame count; the time from process start to the
   first frame shown, and the processor time of all threads till then, which
   other load on the machine sways less; the mean time per frame after the
   first hundred; and the resident memory after frame 100, at its largest
   since, and at its peak. The file is rewritten every 100 frames and at exit,
   whole each time. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <time.h>

typedef struct GLFWwindow GLFWwindow;

static double started, first_frame, first_frame_cpu, at_frame_100;
static long frames, rss_at_100, rss_max_after_100;

static double now(void)
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

static double cpu_seconds(void)
{
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return (double)(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           (double)(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

static long status_kib(const char* field)
{
    char line[256];
    long value = -1;
    size_t length = strlen(field);
    FILE* status = fopen("/proc/self/status", "r");
    if (!status)
        return -1;
    while (fgets(line, sizeof line, status))
        if (strncmp(line, field, length) == 0 && line[length] == ':')
            value = atol(line + length + 1);
    fclose(status);
    return value;
}

static void write_report(void)
{
    const char* path = getenv("TARNWICK_FRAMEWATCH");
    char temporary[4096];
    if (!path || snprintf(temporary, sizeof temporary, "%s.tmp", path) >= (int)sizeof temporary)
        return;
    FILE* out = fopen(temporary, "w");
    if (!out)
        return;
    fprintf(out, "frames %ld\n", frames);
    fprintf(out, "first_frame_ms %.3f\n", (first_frame - started) * 1e3);
    fprintf(out, "first_frame_cpu_ms %.3f\n", first_frame_cpu * 1e3);
    if (frames > 100)
        fprintf(out, "frame_ms %.3f\n", (now() - at_frame_100) * 1e3 / (double)(frames - 100));
    fprintf(out, "rss_at_100_kib %ld\n", rss_at_100);
    fprintf(out, "rss_max_after_100_kib %ld\n", rss_max_after_100);
    fprintf(out, "peak_rss_kib %ld\n", status_kib("VmHWM"));
    fclose(out);
    rename(temporary, path);
}

__attribute__((constructor)) static void start(void)
{
    started = now();
    atexit(write_report);
}

void glfwSwapBuffers(GLFWwindow* window)
{
    static void (*real)(GLFWwindow*) = NULL;
    if (!real)
        real = (void (*)(GLFWwindow*))dlsym(RTLD_NEXT, "glfwSwapBuffers");
    real(window);
    frames++;
    if (frames == 1) {
        first_frame = now();
        first_frame_cpu = cpu_seconds();
    }
    if (frames % 100 == 0) {
        long rss = status_kib("VmRSS");
        if (frames == 100) {
            at_frame_100 = now();
            rss_at_100 = rss;
        }
        if (rss > rss_max_after_100)
            rss_max_after_100 = rss;
        write_report();
    }
}
