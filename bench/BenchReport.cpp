#include "BenchReport.h"

#include <sys/resource.h>

#include <algorithm>
#include <cassert>
#include <chrono>
#include <cstdio>

namespace quorvel::bench {

namespace {

// Quick cases get more rounds, as long as they take no more than this altogether.
constexpr double extraRoundsBudgetMs = 1000;
constexpr int mostRuns = 21;

}  // namespace

double timeMs(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    return took.count();
}

double median(std::vector<double> samples) {
    assert(!samples.empty());
    std::sort(samples.begin(), samples.end());
    const std::size_t middle = samples.size() / 2;
    return samples.size() % 2 == 1 ? samples[middle] : (samples[middle - 1] + samples[middle]) / 2;
}

PairTimes measurePair(const std::function<void()>& ours, const std::function<void()>& sqlite) {
    ours();
    sqlite();
    std::vector<double> oursMs;
    std::vector<double> sqliteMs;
    double spentMs = 0;
    while (oursMs.size() < static_cast<std::size_t>(minimumRuns) ||
           (oursMs.size() < static_cast<std::size_t>(mostRuns) && spentMs < extraRoundsBudgetMs)) {
        oursMs.push_back(timeMs(ours));
        sqliteMs.push_back(timeMs(sqlite));
        spentMs += oursMs.back() + sqliteMs.back();
    }
    return {median(oursMs), median(sqliteMs), static_cast<int>(oursMs.size())};
}

PairTimes measurePairRuns(const std::function<void()>& ours, const std::function<void()>& sqlite,
                          int runs) {
    assert(runs > 0);
    ours();
    sqlite();
    std::vector<double> oursMs;
    std::vector<double> sqliteMs;
    for (int run = 0; run < runs; ++run) {
        oursMs.push_back(timeMs(ours));
        sqliteMs.push_back(timeMs(sqlite));
    }
    return {median(oursMs), median(sqliteMs), runs};
}

void printComment(const std::string& text) {
    std::printf("# %s\n", text.c_str());
}

void printCase(const std::string& name, const PairTimes& times) {
    const double ratio = times.sqliteMs > 0 ? times.oursMs / times.sqliteMs : 0;
    std::printf("%s %.3f %.3f %.2f\n", name.c_str(), times.oursMs, times.sqliteMs, ratio);
    std::fflush(stdout);
}

double peakRssMb() {
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;  // Linux reports kilobytes
}

}  // namespace quorvel::bench
