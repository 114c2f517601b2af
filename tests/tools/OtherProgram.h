// A connection of another program to a catalogue's files, writable, qv.mb attached as mb: how
// the tests change a catalogue behind qvtool's back.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <string>

namespace quorvel::testing {

class OtherProgram {
  public:
    explicit OtherProgram(const std::filesystem::path& directory) {
        EXPECT_EQ(sqlite3_open((directory / "qv.db").c_str(), &db_), SQLITE_OK);
        run("ATTACH '" + (directory / "qv.mb").string() + "' AS mb");
    }
    ~OtherProgram() { sqlite3_close(db_); }
    OtherProgram(const OtherProgram&) = delete;
    OtherProgram& operator=(const OtherProgram&) = delete;

    void run(const std::string& sql) {
        char* error = nullptr;
        EXPECT_EQ(sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK)
            << sql << ": " << (error != nullptr ? error : "");
        sqlite3_free(error);
    }

  private:
    sqlite3* db_ = nullptr;
};

}  // namespace quorvel::testing
