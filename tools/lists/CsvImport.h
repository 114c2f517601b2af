// qvtool import: the rows of a CSV file added to an existing catalogue, through the store's own
// row writer (CatalogueRowWriter), so they obey the rules of every row the program writes and get
// its sort keys. The file is read by CsvIssueReader: its encoding and delimiter given or guessed,
// its columns found by the names in its header. All rows go in one transaction: a row the file or
// the table's rules refuse stops the import with its line and the reason, and the catalogue
// stays exactly as it was.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>

#include "engine/Engine.h"
#include "lists/CsvIssueReader.h"

namespace quorvel::tools {

class CsvImport {
  public:
    // Opens the catalogue in directory as the program opens it, then the CSV file up to its
    // header. Throws EDBEngineError (no catalogue there, a damaged one, one that can only be
    // read) or std::runtime_error (the file can't be read, its form can't be told, its header is
    // refused).
    CsvImport(const std::filesystem::path& csv, const std::filesystem::path& directory,
              const CsvReadOptions& options);

    // Bytes of the CSV file, for progress; 0 when unknown.
    std::uint64_t size() const { return issues_->size(); }

    // Adds every row and returns how many. progress is called now and then with the bytes of
    // the file taken so far. Throws std::runtime_error "CSV:LINE: reason" for a refused record,
    // EDBEngineError when the catalogue can't be written; nothing is added then.
    std::uint64_t run(const std::function<void(std::uint64_t)>& progress);
    // Records of the file passed over for being empty, after run.
    std::uint64_t emptyRecords() const { return issues_->emptyRecords(); }

  private:
    std::filesystem::path csv_;
    Engine engine_;
    std::unique_ptr<CsvIssueReader> issues_;
};

}  // namespace quorvel::tools
