#include "query/BackgroundCount.h"

#include <stdexcept>
#include <utility>


namespace quorvel {

namespace {

// As long as the main connection waits for a lock: a commit of another copy is over well
// before. The count waits in short sleeps, so that stopping it never waits for the lock.
constexpr int busySleepMs = 2;
constexpr int busyTries = 2500;

}  // namespace

BackgroundCount::BackgroundCount(CountConnection& connection, CountQuery query,
                                 std::function<bool()> beforeRange)
    : countConnection_(connection),
      count_(std::move(query)),
      beforeRange_(std::move(beforeRange)),
      thread_([this] { run(); }) {}

void BackgroundCount::begin(std::vector<std::int64_t> head, std::int64_t upTo) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!began_) {
        began_ = true;
        head_ = std::move(head);
        headUpTo_ = upTo;
        beginning_.notify_all();
    }
}

void BackgroundCount::knowTail(std::vector<std::int64_t> tail, std::int64_t from) {
    std::lock_guard<std::mutex> lock(mutex_);
    tail_ = std::move(tail);
    tailFrom_ = from;
}

void BackgroundCount::stop() {
    stopped_.store(true);
    std::lock_guard<std::mutex> lock(mutex_);
    beginning_.notify_all();
    if (connection_ != nullptr) {
        sqlite3_interrupt(connection_);  // a range under way ends at once too
    }
}

BackgroundCount::~BackgroundCount() {
    stop();
    thread_.join();
}

void BackgroundCount::run() {
    {
        std::unique_lock<std::mutex> lock(mutex_);
        beginning_.wait(lock, [this] { return began_ || stopped_.load(); });
        if (!head_.empty()) {
            count_.knowHead(std::move(head_), headUpTo_);
        }
    }
    try {
        if (stopped_.load()) {
            throw std::runtime_error("stopped before it began");
        }
        std::lock_guard<std::mutex> inUse(countConnection_.inUse());
        sqlite3* const connection = countConnection_.handle();
        sqlite3_busy_handler(
            connection,
            [](void* self, int tries) {
                if (static_cast<const BackgroundCount*>(self)->stopped() || tries >= busyTries) {
                    return 0;
                }
                sqlite3_sleep(busySleepMs);
                return 1;
            },
            this);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            connection_ = connection;
        }
        // Whatever ends the count, stop() no longer reaches the connection after this, and the
        // next count finds it as this one did.
        struct Forget {
            BackgroundCount& count;
            ~Forget() {
                std::lock_guard<std::mutex> lock(count.mutex_);
                sqlite3_busy_handler(count.connection_, nullptr, nullptr);
                count.connection_ = nullptr;
            }
        } forget{*this};
        while (!stopped_.load()) {
            while (beforeRange_ && !beforeRange_() && !stopped_.load()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            if (stopped_.load()) {
                break;
            }
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (!tail_.empty()) {
                    count_.knowTail(std::move(tail_), tailFrom_);
                    tail_.clear();
                }
            }
            const bool done = count_.complete() || count_.readRange(connection);
            {
                std::lock_guard<std::mutex> lock(mutex_);
                longest_ = count_.longestRange();
            }
            if (done) {
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    ids_ = count_.takeIds();
                }
                finish(Outcome::Complete);
                return;
            }
        }
    } catch (const std::exception&) {
        // Busy, damaged, gone: the result stays unnumbered, and nobody asked for this read.
    }
    finish(Outcome::Failed);
}

void BackgroundCount::finish(Outcome outcome) {
    std::lock_guard<std::mutex> lock(mutex_);
    outcome_.store(outcome);
    finished_.notify_all();
}

std::vector<std::int64_t> BackgroundCount::takeIds() {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::move(ids_);
}

BackgroundCount::Outcome BackgroundCount::wait(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    finished_.wait_for(lock, timeout, [this] { return outcome_.load() != Outcome::Running; });
    return outcome_.load();
}

std::chrono::microseconds BackgroundCount::longestRange() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return longest_;
}

}  // namespace quorvel
