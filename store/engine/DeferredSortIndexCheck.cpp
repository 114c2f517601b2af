#include "engine/DeferredSortIndexCheck.h"

#include <chrono>
#include <optional>
#include <utility>

namespace quorvel {

namespace {

// As long as the main connection waits for a lock at the opening: a commit of another copy
// under way is waited for, not taken for an index that can't be read.
constexpr int busyWaitMs = 5000;

}  // namespace

DeferredSortIndexCheck::DeferredSortIndexCheck(
    std::function<schema::SortIndexFindings(sqlite3*)> check)
    : check_(std::move(check)) {}

DeferredSortIndexCheck::~DeferredSortIndexCheck() {
    stopping_.store(true);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (runningOn_ != nullptr) {
            // Its findings are of no use now; the connection stays open until the thread ends.
            sqlite3_interrupt(runningOn_);
        }
    }
    if (thread_.joinable()) {
        thread_.join();
    }
}

void DeferredSortIndexCheck::start(CountConnection& connection, std::function<bool()> mayBegin) {
    if (thread_.joinable() || done()) {
        return;
    }
    thread_ = std::thread(
        [this, &connection, mayBegin = std::move(mayBegin)] { run(connection, mayBegin); });
}

void DeferredSortIndexCheck::run(CountConnection& connection,
                                 const std::function<bool()>& mayBegin) {
    while (mayBegin && !mayBegin() && !stopping_.load()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (stopping_.load()) {
        return;
    }
    // Taken before the claim: a count under way on the connection ends first, and a check
    // claimed here is always one the connection serves.
    std::lock_guard<std::mutex> inUse(connection.inUse());
    if (!claim()) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_.load()) {
            state_ = State::Done;  // nobody will ask
            return;
        }
        runningOn_ = connection.handle();
    }
    // The connection has no busy handler of its own; a count sets its own while it runs.
    sqlite3_busy_handler(
        connection.handle(),
        [](void* self, int tries) {
            if (static_cast<DeferredSortIndexCheck*>(self)->stopping_.load() ||
                tries >= busyWaitMs) {
                return 0;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            return 1;
        },
        this);
    std::optional<schema::SortIndexFindings> findings;
    std::optional<EDBEngineError> failure;
    try {
        findings = check_(connection.handle());
    } catch (const EDBEngineError& busy) {
        failure = busy;
    }
    sqlite3_busy_handler(connection.handle(), nullptr, nullptr);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        runningOn_ = nullptr;
        if (failure && waiting_) {
            // For the take() that waited all along; a later one checks again.
            failure_ = std::move(failure);
        }
    }
    end(std::move(findings));
}

bool DeferredSortIndexCheck::claim() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (state_ != State::Pending || stopping_.load()) {
        return false;
    }
    state_ = State::Running;
    return true;
}

void DeferredSortIndexCheck::end(std::optional<schema::SortIndexFindings> findings) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (findings) {
            findings_ = std::move(*findings);
            state_ = State::Done;
        } else {
            state_ = State::Pending;
        }
    }
    finished_.notify_all();
}

const schema::SortIndexFindings& DeferredSortIndexCheck::take(sqlite3* db) {
    {
        std::unique_lock<std::mutex> lock(mutex_);
        waiting_ = true;
        finished_.wait(lock, [this] { return state_ != State::Running; });
        waiting_ = false;
        if (failure_) {
            // The thread waited out another copy's lock; a wait as long again here would only
            // end the same way.
            const EDBEngineError failure = std::move(*failure_);
            failure_.reset();
            throw failure;
        }
    }
    if (claim()) {
        std::optional<schema::SortIndexFindings> findings;
        try {
            findings = check_(db);
        } catch (...) {
            end(std::nullopt);
            throw;
        }
        end(std::move(findings));
    }
    return findings_;
}

bool DeferredSortIndexCheck::done() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return state_ == State::Done;
}

}  // namespace quorvel
