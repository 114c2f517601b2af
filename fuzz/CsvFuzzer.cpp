// A list to import fed as arbitrary bytes: written to a file and read as the import reads it,
// its encoding and delimiter guessed and its header mapped to the table's fields, strictly and
// with --ignore-extra. Either the file is refused with the tools' own exception and a text, or
// every issue read holds valid UTF-8 (checked here without the store's helper) in the fields
// the header maps and nothing in the others, and a record the import would take has no more
// fields than the header and fits the table. Read again with the guessed form given, the file
// gives the same issues.

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <typeinfo>
#include <vector>

#include "csv/CsvReader.h"
#include "engine/CatalogueSchema.h"
#include "lists/CsvColumns.h"
#include "lists/CsvIssueReader.h"

namespace {

using quorvel::tools::CsvError;
using quorvel::tools::CsvIssue;
using quorvel::tools::CsvIssueReader;
using quorvel::tools::CsvReadOptions;

[[noreturn]] void fail(const char* what, std::string_view detail) {
    std::fprintf(stderr, "csv_fuzzer: %s: %.*s\n", what, static_cast<int>(detail.size()),
                 detail.data());
    std::abort();
}

// The characters of text when it is well-formed UTF-8 (Unicode's table of well-formed byte
// sequences: no overlong form, no surrogate, nothing above U+10FFFF); nullopt when it isn't.
std::optional<std::size_t> utf8Characters(std::string_view text) {
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++characters) {
        const auto byte = [&](std::size_t at) {
            return at < text.size() ? static_cast<unsigned char>(text[at]) : 0u;
        };
        const unsigned lead = byte(i);
        const auto continuation = [&](std::size_t at, unsigned low = 0x80, unsigned high = 0xBF) {
            return byte(at) >= low && byte(at) <= high;
        };
        std::size_t length = 0;
        if (lead < 0x80) {
            length = 1;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = continuation(i + 1) ? 2 : 0;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            const unsigned low = lead == 0xE0 ? 0xA0 : 0x80;
            const unsigned high = lead == 0xED ? 0x9F : 0xBF;
            length = continuation(i + 1, low, high) && continuation(i + 2) ? 3 : 0;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            const unsigned low = lead == 0xF0 ? 0x90 : 0x80;
            const unsigned high = lead == 0xF4 ? 0x8F : 0xBF;
            length = continuation(i + 1, low, high) && continuation(i + 2) && continuation(i + 3)
                         ? 4
                         : 0;
        }
        if (length == 0) {
            return std::nullopt;
        }
        i += length;
    }
    return characters;
}

// A refusal: the tools' own exception, with a text that is UTF-8 and names the file or a line.
void checkRefusal(const std::exception& error, const std::filesystem::path& path) {
    const std::string_view text = error.what();
    const auto* csvError = dynamic_cast<const CsvError*>(&error);
    if (csvError == nullptr && typeid(error) != typeid(std::runtime_error)) {
        fail(typeid(error).name(), text);
    }
    if (!utf8Characters(text)) {
        fail("a refusal's text is not UTF-8", text);
    }
    if (csvError != nullptr
            ? csvError->line() == 0 || csvError->reason().empty()
            : !text.starts_with(path.string() + ":") || text.size() <= path.string().size() + 2) {
        fail("a refusal without its place or its reason", text);
    }
}

struct ReadIssue {
    std::array<std::string, quorvel::schema::columns.size()> fields;
    std::size_t count;
    std::uint64_t line;
    bool taken;  // the import would store it

    bool operator==(const ReadIssue&) const = default;
};

// The issues of the file, checked one by one; nullopt when it is refused.
std::optional<std::vector<ReadIssue>> readIssues(const std::filesystem::path& path,
                                                 const CsvReadOptions& options,
                                                 std::uint64_t lastLine) {
    std::vector<ReadIssue> issues;
    try {
        CsvIssueReader reader(path, options);
        const quorvel::tools::CsvColumns& columns = reader.columns();
        if (columns.count() == 0 || columns.count() > quorvel::tools::mostColumns ||
            !columns.sources()[0]) {
            fail("a header taken without a title or with too many columns",
                 std::to_string(columns.count()));
        }
        for (const std::optional<std::size_t>& source : columns.sources()) {
            if (source &&
                (*source >= columns.count() ||
                 std::count(columns.sources().begin(), columns.sources().end(), source) != 1)) {
                fail("a column outside the header, or mapped twice", std::to_string(*source));
            }
        }
        // Empty columns at the table's side may be left out of a record.
        std::size_t least = columns.count();
        const std::vector<std::size_t>& unnamed = columns.unnamed();
        while (least > 0 && std::find(unnamed.begin(), unnamed.end(), least - 1) != unnamed.end()) {
            --least;
        }
        CsvIssue issue;
        std::uint64_t previousLine = 0;
        while (reader.next(issue)) {
            if (issue.line <= previousLine || (issue.line > lastLine && !reader.sheetName())) {
                fail("an issue out of the file's lines", std::to_string(issue.line));
            }
            previousLine = issue.line;
            ReadIssue read{{}, issue.count, issue.line, reader.problemOf(issue).empty()};
            for (std::size_t field = 0; field < issue.fields.size(); ++field) {
                const std::string_view text = issue.fields[field];
                const std::optional<std::size_t> characters = utf8Characters(text);
                if (!characters) {
                    fail("a field that is not UTF-8", text);
                }
                if (!columns.sources()[field] && !text.empty()) {
                    fail("text in a field no column maps", text);
                }
                const int size = quorvel::schema::columns[field].size;
                if (read.taken && ((size > 0 && *characters > static_cast<std::size_t>(size)) ||
                                   text.find('\0') != std::string_view::npos)) {
                    fail("a field taken that the table can't hold", text);
                }
                read.fields[field] = text;
            }
            if (read.taken &&
                (issue.count > columns.count() || (!reader.sheetName() && issue.count < least) ||
                 quorvel::schema::titleMissing(issue.fields[0]))) {
                fail("a record taken that the header doesn't fit", std::to_string(issue.count));
            }
            issues.push_back(std::move(read));
        }
        const char delimiter = reader.dialect().delimiter;
        if (delimiter != ',' && delimiter != ';' && delimiter != '\t') {
            fail("a delimiter the import doesn't take", std::string(1, delimiter));
        }
    } catch (const std::exception& error) {
        checkRefusal(error, path);
        return std::nullopt;
    }
    return issues;
}

// The file each input is written to, in a directory of the process's own removed at its end.
class InputFile {
  public:
    InputFile() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "csv_fuzzer.XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            fail("no temporary directory", pattern);
        }
        directory_ = pattern;
        path_ = directory_ / "seznam.csv";
    }
    ~InputFile() {
        std::error_code ignored;
        std::filesystem::remove_all(directory_, ignored);
    }

    const std::filesystem::path& written(std::string_view bytes) const {
        std::ofstream out(path_, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out.flush()) {
            fail("the input can't be written", path_.string());
        }
        return path_;
    }

  private:
    std::filesystem::path directory_;
    std::filesystem::path path_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const InputFile file;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::filesystem::path& path = file.written(bytes);
    // A CSV text's lines are at most its LF bytes and one, in UTF-16 as in the 8-bit encodings.
    const std::uint64_t lastLine =
        static_cast<std::uint64_t>(std::count(bytes.begin(), bytes.end(), '\n')) + 1;
    for (const bool ignoreExtra : {false, true}) {
        CsvReadOptions options;
        options.ignoreExtra = ignoreExtra;
        const std::optional<std::vector<ReadIssue>> guessed = readIssues(path, options, lastLine);
        if (!guessed) {
            continue;
        }
        try {
            const CsvIssueReader reader(path, options);
            options.encoding = reader.dialect().encoding;
            options.delimiter = reader.dialect().delimiter;
        } catch (const std::exception& error) {
            fail("a file read once is refused the next time", error.what());
        }
        if (readIssues(path, options, lastLine) != guessed) {
            fail("the file reads otherwise with the form guessed given", bytes);
        }
    }
    return 0;
}
