// A search result's rows counted on a thread of the store, on the catalogue's count connection
// (CountConnection: read-only, the memo file attached), while the user already reads the
// result's first rows. The thread reads in short ranges (ResultCount), so commits of this copy
// and of others never wait for more than one range; it stops at once when asked, between two
// ranges. A count that fails (a busy or damaged file) only ends: nobody asked for it.
#pragma once

#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/CountConnection.h"
#include "query/ResultCount.h"

namespace quorvel {

class BackgroundCount {
  public:
    enum class Outcome { Running, Complete, Failed };

    // beforeRange, when given, is asked on the thread before each range whether the range may
    // be read now, and again every millisecond until it may or the count is stopped (a seam
    // for tests, which hold the count with it).
    // connection must outlive the count; the count uses it alone while it runs.
    BackgroundCount(CountConnection& connection, CountQuery query,
                    std::function<bool()> beforeRange = {});
    ~BackgroundCount();  // stops the count and waits for the thread
    BackgroundCount(const BackgroundCount&) = delete;
    BackgroundCount& operator=(const BackgroundCount&) = delete;

    // The thread waits for this before it does anything: the first screen of the result is
    // read before the count competes with it for the processor and the disk.
    // head: the result's first ids, all those up to upTo, which the count then needn't read.
    void begin(std::vector<std::int64_t> head = {}, std::int64_t upTo = 0);
    // tail: the result's last ids, all those from from on, which the count then needn't read.
    void knowTail(std::vector<std::int64_t> tail, std::int64_t from);
    Outcome outcome() const { return outcome_.load(); }
    // The result's ids in its order; Complete only, once.
    std::vector<std::int64_t> takeIds();
    // Waits until the count is no longer running, at most timeout; gives the outcome.
    Outcome wait(std::chrono::milliseconds timeout = std::chrono::hours(1));
    void stop();
    bool stopped() const { return stopped_.load(); }
    // The longest time one range held its read transaction.
    std::chrono::microseconds longestRange() const;

  private:
    void run();
    void finish(Outcome outcome);

    CountConnection& countConnection_;
    ResultCount count_;
    std::function<bool()> beforeRange_;
    std::atomic<bool> stopped_{false};
    bool began_ = false;              // guarded by mutex_
    std::vector<std::int64_t> head_;  // ... as are these
    std::int64_t headUpTo_ = 0;
    std::vector<std::int64_t> tail_;
    std::int64_t tailFrom_ = 0;
    std::atomic<Outcome> outcome_{Outcome::Running};
    mutable std::mutex mutex_;
    std::condition_variable finished_;
    std::condition_variable beginning_;
    std::vector<std::int64_t> ids_;  // guarded by mutex_
    sqlite3* connection_ = nullptr;  // ... while the thread uses it
    std::chrono::microseconds longest_{0};
    std::thread thread_;  // last: started when everything above is ready
};

}  // namespace quorvel
