// qvtool import FILE DIR: a list's rows added to the catalogue, all or none; --dry-run reads the
// file without a catalogue and tells what would be stored.
#include "commands/CommandLine.h"

#include <iostream>

#include "lists/CsvDryRun.h"
#include "lists/CsvImport.h"

namespace quorvel::tools {

int importCommand(const Arguments& arguments) {
    const char* form =
        "import FILE DIR [--delimiter ,|;|tab] [--encoding NAME] [--sheet NAME] [--ignore-extra] "
        "[--dry-run]";
    requireOperands(arguments, 1, 10, form);
    const std::filesystem::path csv = arguments[1];
    // A dry run opens no catalogue and so needs no DIR.
    const bool hasDirectory = arguments.size() > 2 && !arguments[2].starts_with("--");
    const std::filesystem::path directory = hasDirectory ? arguments[2] : "";
    const std::map<std::string, std::string> options =
        readOptions(arguments, hasDirectory ? 3 : 2, {"--ignore-extra", "--dry-run"},
                    {"--delimiter", "--encoding", "--sheet"}, form);
    const bool dryRun = options.count("--dry-run") != 0;
    if (!hasDirectory && !dryRun) {
        throw UsageError{std::string("usage: qvtool ") + form};
    }
    CsvReadOptions read;
    read.ignoreExtra = options.count("--ignore-extra") != 0;
    if (const auto given = options.find("--sheet"); given != options.end()) {
        read.sheet = given->second;
    }
    if (const auto given = options.find("--delimiter"); given != options.end()) {
        read.delimiter = delimiterNamed(given->second);
        if (!read.delimiter) {
            throw UsageError{"--delimiter takes , or ; or tab, not '" + given->second + "'"};
        }
    }
    if (const auto given = options.find("--encoding"); given != options.end()) {
        read.encoding = encodingNamed(given->second);
        if (!read.encoding) {
            throw UsageError{
                "--encoding takes utf-8, utf-16le, utf-16be, windows-1250 or iso-8859-2, not '" +
                given->second + "'"};
        }
    }
    if (dryRun) {
        return dryRunImport(csv, read, std::cout) ? exitDone : exitFailed;
    }
    requireDirectory(directory);
    CsvImport import(csv, directory, read);
    TerminalProgress progress("qvtool: importing " + csv.string() + ":", import.size());
    const std::uint64_t rows =
        import.run([&progress](std::uint64_t bytes) { progress.advance(bytes); });
    progress.finish();
    const std::uint64_t empty = import.emptyRecords();
    std::cout << "Imported " << rows << (rows == 1 ? " issue" : " issues") << " from "
              << csv.string() << " into " << directory.string()
              << (empty == 0   ? ""
                  : empty == 1 ? "; 1 empty row skipped"
                               : "; " + std::to_string(empty) + " empty rows skipped")
              << ".\n";
    return exitDone;
}

}  // namespace quorvel::tools
