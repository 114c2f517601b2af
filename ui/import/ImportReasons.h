// The import's reasons in the program's words. The lists library words its refusals for qvtool,
// in English and naming its options; the reasons a row of a list can be refused for are told
// here in Czech, naming the fields by the main window's captions. A reason not known here (one
// the CSV reader gives for text that isn't CSV) is shown as the library words it.
#pragma once

#include <QString>

#include <cstddef>
#include <filesystem>
#include <string>

namespace quorvel::ui {

// The caption of a field, by its place in table order: "Tiskopis", "Číslo výtisku/rok", ...
QString fieldCaption(std::size_t field);

// A column of the file as the preview names it: "sloupec 2 „Číslo“", "sloupec 3 (bez názvu)".
QString columnText(std::size_t column, const std::string& name);

// A row's refusal (CsvIssueReader::problemOf) in Czech.
QString rowReason(const std::string& reason);

// Why file can't be read at all (what CsvIssueReader's constructor throws), without the file's
// name, which the preview shows already: its place, and the reason in Czech where it is one of
// the header's or the guess's, which the preview's own choices settle.
QString fileReason(const std::string& failure, const std::filesystem::path& file);

}  // namespace quorvel::ui
