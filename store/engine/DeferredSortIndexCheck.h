// The sort indexes' check (SortIndexCheck) taken off the way to the first screen. The opening
// leaves it pending; the program starts it on a thread of the store, on the count connection,
// once its first screen is up. Whoever needs its findings first gets them through take(): a
// statement that sorts waits for a check under way, and runs a check nobody has begun itself,
// on its own connection. The check is made once either way; a try that met another copy's lock
// past the busy wait doesn't count, and the next sort tries again.
//
// A sort asked for before the check has ended waits for it rather than going round the index:
// the check reads the two indexes, while a sort without the index reads and sorts the whole
// table, several times their size.
#pragma once

#include <sqlite3.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

#include "EDBEngineError.h"
#include "engine/CountConnection.h"
#include "engine/SortIndexCheck.h"

namespace quorvel {

class DeferredSortIndexCheck {
  public:
    // check: the work, given the connection to read on; it throws EDBEngineError only when
    // another connection's lock outlasted the busy wait.
    explicit DeferredSortIndexCheck(std::function<schema::SortIndexFindings(sqlite3*)> check);
    // Stops a thread that waits to begin, interrupts one under way and waits for it.
    ~DeferredSortIndexCheck();
    DeferredSortIndexCheck(const DeferredSortIndexCheck&) = delete;
    DeferredSortIndexCheck& operator=(const DeferredSortIndexCheck&) = delete;

    // Starts the thread, at most once, and not after take(). mayBegin, when given, is asked on
    // the thread whether the check may begin now, and again every millisecond until it may, the
    // check has been taken over or the object goes (a seam for tests, which hold the check
    // with it). connection must outlive this object.
    void start(CountConnection& connection, std::function<bool()> mayBegin = {});
    // The findings, on the calling thread: waits for a check under way on the thread, or runs it
    // on db when nobody has begun it. Later calls give the same findings at once. Throws the
    // check's EDBEngineError when it met a lock, the thread's or its own; the next call checks
    // again.
    const schema::SortIndexFindings& take(sqlite3* db);
    bool done() const;

  private:
    enum class State { Pending, Running, Done };

    void run(CountConnection& connection, const std::function<bool()>& mayBegin);
    // Claims the check for the caller when nobody has begun it.
    bool claim();
    // Done with findings; pending again without them.
    void end(std::optional<schema::SortIndexFindings> findings);

    std::function<schema::SortIndexFindings(sqlite3*)> check_;
    mutable std::mutex mutex_;
    std::condition_variable finished_;
    State state_ = State::Pending;
    schema::SortIndexFindings findings_;
    bool waiting_ = false;                   // a take() waits for the thread's check
    std::optional<EDBEngineError> failure_;  // the thread's, for the take() that waited
    sqlite3* runningOn_ = nullptr;           // the thread's connection while it checks
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

}  // namespace quorvel
