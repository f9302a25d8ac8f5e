// A small timing harness: runs a piece of work repeatedly and reports the
// median, so that a figure can be set against a floor measured in the same run.
#ifndef TARNWICK_BENCH_TIMING_H
#define TARNWICK_BENCH_TIMING_H

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

// Median seconds per run of work, over `runs` runs after `warmup` unmeasured ones.
template <typename Work>
double median_seconds(int warmup, int runs, Work work)
{
    for (int i = 0; i < warmup; i++)
        work();
    std::vector<double> seconds;
    for (int i = 0; i < runs; i++) {
        const auto start = std::chrono::steady_clock::now();
        work();
        seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(seconds.begin(), seconds.end());
    return seconds[seconds.size() / 2];
}

// Median seconds per run of each of two pieces of work, run in turn so that a
// busy machine weighs on both alike.
template <typename WorkA, typename WorkB>
std::pair<double, double> alternate_medians(int warmup, int runs, WorkA a, WorkB b)
{
    for (int i = 0; i < warmup; i++) {
        a();
        b();
    }
    std::vector<double> seconds_a, seconds_b;
    for (int i = 0; i < runs; i++) {
        seconds_a.push_back(median_seconds(0, 1, a));
        seconds_b.push_back(median_seconds(0, 1, b));
    }
    std::sort(seconds_a.begin(), seconds_a.end());
    std::sort(seconds_b.begin(), seconds_b.end());
    return {seconds_a[seconds_a.size() / 2], seconds_b[seconds_b.size() / 2]};
}

inline void report(const char* what, double seconds, const char* floor_name, double floor)
{
    printf("%-34s %9.3f ms   floor (%s) %9.3f ms   ratio %.2f\n", what, seconds * 1e3, floor_name,
           floor * 1e3, seconds / floor);
}

// A field of /proc/self/status in kibibytes, e.g. "VmHWM" (peak resident memory).
inline long status_kib(const char* field)
{
    std::ifstream status("/proc/self/status");
    const std::string prefix = std::string(field) + ":";
    for (std::string line; std::getline(status, line);)
        if (line.compare(0, prefix.size(), prefix) == 0)
            return std::stol(line.substr(prefix.size()));
    return -1;
}

#endif
