// A catalogue open in the engine, as the running program holds it, and an empty directory to
// export into. The memos make qv.mb several pages long.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "CatalogueExport.h"
#include "TempCatalogue.h"

namespace quorvel::testing {

inline std::string longMemo(const std::string& line, int count) {
    std::string memo;
    for (int i = 0; i < count; ++i) {
        memo += line + " " + std::to_string(i) + "\r\n";
    }
    return memo;
}

class ExportFixture : public ::testing::Test {
  protected:
    ExportFixture() {
        ids_ = catalogue_.fill({{"Starý titulek", "1/1999", "staré části",
                                 longMemo("Starý obsah výtisku, řádek", 400)},
                                {"Za", "9", std::nullopt, "obsah za"}});
    }

    std::string startDir() const { return catalogue_.dir().string(); }
    std::string out(const std::string& name) const { return (outDir_.path() / name).string(); }
    Database& database() { return engine_.database(); }

    std::vector<std::string> exportTo(const std::string& base) {
        return CatalogueExport(database()).run(startDir(), base);
    }

    void expectCopyOfTable(const std::string& base) {
        EXPECT_TRUE(readFile(base + ".db") == readFile(catalogue_.rowsPath())) << base << ".db";
        EXPECT_TRUE(readFile(base + ".mb") == readFile(catalogue_.memoPath())) << base << ".mb";
    }

    // The engine goes on reading the table as before.
    void expectEngineReads() {
        std::unique_ptr<Cursor> cursor = database().openCursor(statementOf(), true);
        EXPECT_EQ(idsOf(walkForward(*cursor, 10)), ids_);
    }

    TempCatalogue catalogue_;
    std::vector<std::int64_t> ids_;
    Engine engine_{catalogue_.dir()};
    TempDir outDir_;
};

inline const std::vector<std::string> noMessages;

}  // namespace quorvel::testing

namespace quorvel::testing {

// The real file operations under the export, each call counted, with failures put in where a
// test asks for them (calls are numbered from 1 over the whole export).
class ScriptedIo : public CopyIo {
  public:
    std::size_t read(CopySource& source, std::uint64_t offset,
                     std::span<std::byte> buffer) override {
        ++readCalls_;
        if (onRead) {
            onRead(readCalls_, offset);
        }
        const std::size_t count = CopyIo::read(source, offset, buffer);
        reads.push_back(count);
        return count;
    }
    std::size_t write(int target, std::span<const std::byte> bytes) override {
        ++writeCalls_;
        if (failsWrite && failsWrite(writeCalls_)) {
            throw CopyFailure("injected write error");
        }
        if (shortWrite && shortWrite(writeCalls_) && !bytes.empty()) {
            return CopyIo::write(target, bytes.first(bytes.size() - 1));
        }
        return CopyIo::write(target, bytes);
    }
    // Copies inside the kernel only when a test asks for it, so that reads and writes, where
    // the faults are put in, carry the bytes otherwise.
    std::optional<std::size_t> copyRange(CopySource& source, std::uint64_t offset, int target,
                                         std::size_t count) override {
        if (!rangeCopies) {
            return std::nullopt;
        }
        ++rangeCalls_;
        if (onRead) {
            onRead(rangeCalls_, offset);
        }
        if (failsRange && failsRange(rangeCalls_)) {
            throw CopyFailure("injected error of an in-kernel copy");
        }
        return CopyIo::copyRange(source, offset, target, std::min(count, rangeStep));
    }
    bool remove(const std::filesystem::path& path) override {
        removed.push_back(path.string());
        return removeFails ? false : CopyIo::remove(path);
    }

    std::function<void(int call, std::uint64_t offset)> onRead;
    std::function<bool(int call)> failsWrite;
    std::function<bool(int call)> shortWrite;
    bool rangeCopies = false;
    std::size_t rangeStep = SIZE_MAX;  // the most one in-kernel copy is asked for
    std::function<bool(int call)> failsRange;
    bool removeFails = false;

    std::vector<std::size_t> reads;  // counts read, in order, the final 0 of each file too
    std::vector<std::string> removed;

  private:
    int readCalls_ = 0;
    int writeCalls_ = 0;
    int rangeCalls_ = 0;
};

}  // namespace quorvel::testing
