// A catalogue this run is making: created empty at once by the store (which refuses existing
// files and touches nothing then), and removed again, together with any journal SQLite left
// beside it, unless the run declares it complete. A fill that fails half-way thus never leaves
// behind a catalogue the program would open as if it were whole.
#pragma once

#include <filesystem>

namespace quorvel::tools {

class NewCatalogue {
  public:
    // Throws EDBEngineError from schema::createTable: a file exists already, or can't be made.
    explicit NewCatalogue(std::filesystem::path directory);
    ~NewCatalogue();
    NewCatalogue(const NewCatalogue&) = delete;
    NewCatalogue& operator=(const NewCatalogue&) = delete;

    const std::filesystem::path& directory() const { return directory_; }
    // The catalogue is complete: keep it.
    void keep() { kept_ = true; }

  private:
    std::filesystem::path directory_;
    bool kept_ = false;
};

}  // namespace quorvel::tools
