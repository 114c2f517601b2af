// What every qvbench subcommand shares: timing a case on our side and on SQLite's side in the
// same run, medians, and the output format. A case is one line "CASE OURS_MS SQLITE_MS RATIO"
// (RATIO = ours / SQLite's); lines starting with "#" are comments.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace quorvel::bench {

// Milliseconds one call of work takes, by the steady clock.
double timeMs(const std::function<void()>& work);

// The median of samples (the mean of the middle two for an even count); samples not empty.
double median(std::vector<double> samples);

struct PairTimes {
    double oursMs = 0;
    double sqliteMs = 0;
    int runs = 0;  // timed runs of each side
};

// Runs ours and sqlite alternately, so that both meet the same state of the caches: one
// unmeasured round first, then at least minimumRuns timed rounds, more (up to a limit) while a
// round is quick enough for extra runs to steady the median.
PairTimes measurePair(const std::function<void()>& ours, const std::function<void()>& sqlite);
inline constexpr int minimumRuns = 5;
// The same with exactly runs timed rounds after the unmeasured one, for work that can be done
// only as often as earlier work allows (deleting the rows a case appended).
PairTimes measurePairRuns(const std::function<void()>& ours, const std::function<void()>& sqlite,
                          int runs);

void printComment(const std::string& text);
void printCase(const std::string& name, const PairTimes& times);

// The process's peak resident set size so far (getrusage's ru_maxrss), in MB.
double peakRssMb();

}  // namespace quorvel::bench
