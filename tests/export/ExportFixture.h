// A catalogue open in the engine, as the running program holds it, an empty directory to export
// into, and the real file operations with faults put in where a test asks.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "TempCatalogue.h"
#include "export/CatalogueExport.h"

namespace quorvel::testing {

inline const std::string oldMemo(400 * 30, 'm');  // qv.mb several pages long

class ExportFixture : public ::testing::Test {
  protected:
    ExportFixture() { ids_ = catalogue_.fill({{"Starý titulek", "1/1999", "části", oldMemo}}); }

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

    TempCatalogue catalogue_;
    std::vector<std::int64_t> ids_;
    Engine engine_{catalogue_.dir()};
    TempDir outDir_;
};

inline const std::vector<std::string> noMessages;

// Calls are numbered from 1 over the whole export. The kernel's copy is used only when a test
// asks for it, so that reads and writes carry the bytes otherwise.
class ScriptedIo : public CopyIo {
  public:
    std::size_t read(CopySource& source, std::uint64_t offset,
                     std::span<std::byte> buffer) override {
        ++readCalls_;
        if (onRead) {
            onRead(readCalls_, offset);
        }
        reads.push_back(CopyIo::read(source, offset, buffer));
        return reads.back();
    }
    std::size_t write(int target, std::span<const std::byte> bytes) override {
        if (failsWrite) {
            throw CopyFailure("injected write error");
        }
        return CopyIo::write(target, bytes);
    }
    std::optional<std::size_t> copyRange(CopySource& source, std::uint64_t offset, int target,
                                         std::size_t count) override {
        if (!rangeCopies) {
            return std::nullopt;
        }
        ++rangeCalls_;
        if (onRead) {
            onRead(rangeCalls_, offset);
        }
        return CopyIo::copyRange(source, offset, target, count);
    }
    bool remove(const std::filesystem::path& path) override {
        removed.push_back(path.string());
        return !removeFails && CopyIo::remove(path);
    }

    std::function<void(int call, std::uint64_t offset)> onRead;  // reads and kernel copies
    bool failsWrite = false;                                     // every write fails
    bool rangeCopies = false;
    bool removeFails = false;
    std::vector<std::size_t> reads;  // counts read, the final 0 of each file too
    std::vector<std::string> removed;

  private:
    int readCalls_ = 0, rangeCalls_ = 0;
};

}  // namespace quorvel::testing
