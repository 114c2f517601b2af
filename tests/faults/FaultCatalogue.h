// What the fault harnesses share: a small catalogue whose memos span many pages of qv.mb, copied
// afresh for every case; the record set operations they break (Post of a new row and of an
// edited one, Delete, Open), each in a prepared part run without faults and the act that is
// broken; and the table as a fresh engine reads it afterwards, to be compared with the
// committed versions before and after the act.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "FaultVfs.h"
#include "TempCatalogue.h"
#include "engine/Engine.h"
#include "recordset/RecordSet.h"

namespace quorvel::faults {

enum class Operation { PostInsert, PostEdit, Delete, Open };
const char* nameOf(Operation operation);
void PrintTo(Operation operation, std::ostream* out);
// A test's name for operation ("PostInsert").
std::string testNameOf(const ::testing::TestParamInfo<Operation>& info);

// A memo of about size bytes, different for every seed.
std::string memoText(const std::string& seed, std::size_t size);

// The table as a fresh engine of its own reads it: a line per row (id, version, fields, the
// memo's length and hash), or the failure to open. Also SQLite's integrity check of each file
// and the memos without a row.
struct TableState {
    std::string openError;  // empty when the table opened
    std::vector<std::string> rows;
    std::string rowsIntegrity;
    std::string memoIntegrity;
    long long orphanMemos = 0;
};
TableState readTable(const std::filesystem::path& directory);

// Checks that the table in directory is sound and exactly one of the given committed versions.
// Gives the index of the version it is, or -1 after reporting the failure.
int expectOneVersion(const std::filesystem::path& directory,
                     const std::vector<std::vector<std::string>>& versions,
                     const std::string& context);

// A fresh copy of the catalogue with Query1 over it, opened through the fault layer.
class FaultCase {
  public:
    FaultCase();
    ~FaultCase();
    const std::filesystem::path& dir() const { return dir_.path(); }
    RecordSet& set() { return *set_; }
    Database& database() { return engine_->database(); }
    // Drops the record set and the engine (what a dead process leaves is the files).
    void close();

    // Runs operation's preparation (opening, moving, starting the edit, typing), then its act.
    void prepare(Operation operation);
    void act(Operation operation);

    // The set's state, Modified, current row and every field's value, as one text.
    std::string pending();

  private:
    testing::TempDir dir_;
    std::unique_ptr<Engine> engine_;
    std::unique_ptr<RecordSet> set_;
};

// The table before the act and after it, run once without faults; writeEvents: the moments at
// which a power cut can fall during the act; calls: how many calls of each kind it makes.
struct Versions {
    std::vector<std::string> before;
    std::vector<std::string> after;
    int writeEvents = 0;
    std::array<int, callKinds> calls{};
};
const Versions& versionsOf(Operation operation);

}  // namespace quorvel::faults
