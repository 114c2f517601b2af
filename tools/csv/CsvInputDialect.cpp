#include "csv/CsvInputDialect.h"

#include <array>
#include <string>

#include "text/Utf8.h"

namespace quorvel::tools {

namespace {

struct EncodingNames {
    CsvEncoding encoding;
    const char* name;
    const char* icuName;
    const char* alias;
};

constexpr std::array<EncodingNames, 5> encodings{{
    {CsvEncoding::Utf8, "utf-8", "UTF-8", "utf8"},
    {CsvEncoding::Utf16LE, "utf-16le", "UTF-16LE", "utf-16"},
    {CsvEncoding::Utf16BE, "utf-16be", "UTF-16BE", nullptr},
    {CsvEncoding::Windows1250, "windows-1250", "windows-1250", "cp1250"},
    {CsvEncoding::Iso8859_2, "iso-8859-2", "ISO-8859-2", "latin2"},
}};

const EncodingNames& namesOf(CsvEncoding encoding) {
    return encodings[static_cast<std::size_t>(encoding)];
}

}  // namespace

const char* encodingName(CsvEncoding encoding) {
    return namesOf(encoding).name;
}

const char* icuConverterName(CsvEncoding encoding) {
    return namesOf(encoding).icuName;
}

std::optional<CsvEncoding> encodingNamed(std::string_view name) {
    const std::string folded = utf8::toLower(name);
    for (const EncodingNames& names : encodings) {
        if (folded == names.name || (names.alias != nullptr && folded == names.alias)) {
            return names.encoding;
        }
    }
    return std::nullopt;
}

const char* delimiterName(char delimiter) {
    return delimiter == ';' ? "semicolon" : delimiter == '\t' ? "tab" : "comma";
}

std::optional<char> delimiterNamed(std::string_view name) {
    if (name == "," || name == ";" || name == "\t") {
        return name[0];
    }
    if (utf8::toLower(name) == "tab") {
        return '\t';
    }
    return std::nullopt;
}

}  // namespace quorvel::tools
