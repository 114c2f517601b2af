// The forms a CSV file to import may come in, as spreadsheet programs write them: its encoding
// and the character between its fields. Their names are those the import's --encoding and
// --delimiter options take and its reports use.
#pragma once

#include <optional>
#include <string_view>

namespace quorvel::tools {

enum class CsvEncoding { Utf8, Utf16LE, Utf16BE, Windows1250, Iso8859_2 };

struct CsvInputDialect {
    CsvEncoding encoding = CsvEncoding::Utf8;
    char delimiter = ',';
};

// "utf-8", "utf-16le", "utf-16be", "windows-1250", "iso-8859-2".
const char* encodingName(CsvEncoding encoding);
// The name ICU's converters know the encoding by.
const char* icuConverterName(CsvEncoding encoding);
// The encoding name stands for, in any case: one of encodingName's, or utf8, utf-16 (little-endian,
// as Windows writes it), cp1250 or latin2. nullopt for anything else.
std::optional<CsvEncoding> encodingNamed(std::string_view name);

// "comma", "semicolon", "tab".
const char* delimiterName(char delimiter);
// The delimiter name stands for: ",", ";", "tab" in any case, or a tab itself. nullopt otherwise.
std::optional<char> delimiterNamed(std::string_view name);

}  // namespace quorvel::tools
