// The CSV reader and its source file at blocks of a few bytes, so that quotes, doubled quotes,
// CR LF, a byte-order mark and the bytes of multi-byte letters (UTF-8 and UTF-16) fall across
// the blocks' boundaries at every offset: each file reads to the records its row of the table
// expects, at every block size as at the default one, and a file at fault is refused on the
// same line for the same reason at every size.
#include <gtest/gtest.h>

#include <cstddef>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "TemporaryDirectory.h"
#include "csv/CsvReader.h"
#include "csv/CsvSourceFile.h"

namespace quorvel::testing {
namespace {

using tools::CsvEncoding;
using Records = std::vector<std::vector<std::string>>;

// The sizes that put each boundary at each offset of the short files below, and the default.
constexpr std::size_t blockSizes[] = {
    1, 2, 3, 4, 5, 7, 11, 64, tools::CsvSourceFile::defaultBlockSize};

std::string utf16(std::u16string_view text, bool bigEndian) {
    std::string bytes;
    for (const char16_t unit : text) {
        const char high = static_cast<char>(unit >> 8);
        const char low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? std::string{high, low} : std::string{low, high};
    }
    return bytes;
}

class CsvBlockSize : public ::testing::Test {
  protected:
    std::filesystem::path written(const std::string& bytes) {
        const std::filesystem::path path = directory_.path() / "list.csv";
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    // The records of the file until its end or its first fault, which is put in error.
    static Records read(const std::filesystem::path& path, CsvEncoding encoding, char delimiter,
                        std::size_t blockSize, std::string* error = nullptr) {
        tools::CsvReader reader(std::make_unique<tools::CsvSourceFile>(path, encoding, blockSize),
                                delimiter, SIZE_MAX, blockSize);
        Records records;
        tools::CsvRecord record;
        try {
            while (reader.next(record)) {
                records.emplace_back(
                    record.fields.begin(),
                    record.fields.begin() + static_cast<std::ptrdiff_t>(record.count));
            }
        } catch (const tools::CsvError& fault) {
            if (error == nullptr) {
                throw;
            }
            *error = fault.what();
        }
        return records;
    }

  private:
    TemporaryDirectory directory_;
};

struct GoodFile {
    const char* name;
    std::string bytes;
    CsvEncoding encoding;
    char delimiter;
    Records expected;
};

TEST_F(CsvBlockSize, ReadsTheSameRecordsAtEveryBlockSize) {
    const std::u16string notes =
        u"\uFEFFN\u00e1zev,\"\u010c\u00edslo \"\"1\"\"\"\r\n"
        u"\U0001D11E Noty,\"a\r\nb\"\r\n";
    const Records notesRecords{{"Název", "Číslo \"1\""}, {"𝄞 Noty", "a\r\nb"}};
    const GoodFile files[] = {
        {"quotes",
         "\"a\"\"b\",c\r\n\"x,y\",\"line\nbreak\"\n\"\"\"\"\"\",\"\"\n",
         CsvEncoding::Utf8,
         ',',
         {{"a\"b", "c"}, {"x,y", "line\nbreak"}, {"\"\"", ""}}},
        {"CR LF and a last record without a line end",
         "a,b\r\n\r\n,,\r\nc",
         CsvEncoding::Utf8,
         ',',
         {{"a", "b"}, {""}, {"", "", ""}, {"c"}}},
        {"letters of two, three and four bytes",
         "Žluťoučký;€\r\n\"𝄞\";ňů€𝄞\n",
         CsvEncoding::Utf8,
         ';',
         {{"Žluťoučký", "€"}, {"𝄞", "ňů€𝄞"}}},
        {"a byte-order mark", "\xEF\xBB\xBF\"Vytisk\"\r\n", CsvEncoding::Utf8, ',', {{"Vytisk"}}},
        {"a letter that begins as a byte-order mark does",
         "\xEF\xBB\x80x\tA\n",
         CsvEncoding::Utf8,
         '\t',
         {{"\xEF\xBB\x80x", "A"}}},
        {"UTF-16LE", utf16(notes, false), CsvEncoding::Utf16LE, ',', notesRecords},
        {"UTF-16BE", utf16(notes.substr(1), true), CsvEncoding::Utf16BE, ',', notesRecords},
        {"windows-1250",
         "\x8Elu\x9Do\x9A\xE8k\xFD;\"k\xF9\xF2\"\r\n",
         CsvEncoding::Windows1250,
         ';',
         {{"Žluťoščký", "kůň"}}},
    };
    for (const GoodFile& file : files) {
        const std::filesystem::path path = written(file.bytes);
        for (const std::size_t blockSize : blockSizes) {
            SCOPED_TRACE(std::string(file.name) + ", blocks of " + std::to_string(blockSize));
            EXPECT_EQ(read(path, file.encoding, file.delimiter, blockSize), file.expected);
        }
    }
}

struct BadFile {
    const char* name;
    std::string bytes;
    CsvEncoding encoding;
    Records before;  // the records before the one at fault
    std::string error;
};

TEST_F(CsvBlockSize, RefusesAFileOnTheSameLineAtEveryBlockSize) {
    const BadFile files[] = {
        {"text after a closing quote",
         "a,b\r\n\"x\"y\r\n",
         CsvEncoding::Utf8,
         {{"a", "b"}},
         "line 2: text after the closing quote of field 1"},
        {"a quote inside a field",
         "\"a\nb\"\nc,d\"\n",
         CsvEncoding::Utf8,
         {{"a\nb"}},
         "line 3: a quote inside field 2, which doesn't start with one"},
        {"a quoted field left open",
         "a\n\"b\r\nc",
         CsvEncoding::Utf8,
         {{"a"}},
         "line 2: a quoted field is not closed by the end of the file"},
        {"a CR alone",
         "a\r\nb\rc\r\n",
         CsvEncoding::Utf8,
         {{"a"}},
         "line 2: a CR that LF doesn't follow, outside quotes"},
        {"a CR at the end",
         "a\r",
         CsvEncoding::Utf8,
         {},
         "line 1: a CR that LF doesn't follow, outside quotes"},
        {"a letter cut short",
         "a\nč,\xC4\n",
         CsvEncoding::Utf8,
         {{"a"}},
         "line 2: field 2 is not valid UTF-8"},
        {"a letter cut short by the end",
         "a\n\"\xE2\x82\"",
         CsvEncoding::Utf8,
         {{"a"}},
         "line 2: field 1 is not valid UTF-8"},
        {"a lone surrogate of UTF-16",
         utf16(u"a\nb\n\"c\nd", true) + std::string("\xDC\x00", 2) + utf16(u"\"\n", true),
         CsvEncoding::Utf16BE,
         {{"a"}, {"b"}},
         "line 4: the bytes DC 00 are no character of utf-16be"},
        {"UTF-16 cut inside a letter",
         utf16(u"a\nb\n", false) + "c",
         CsvEncoding::Utf16LE,
         {{"a"}, {"b"}},
         "line 3: the file ends inside a character of utf-16le (bytes 63)"},
    };
    for (const BadFile& file : files) {
        const std::filesystem::path path = written(file.bytes);
        for (const std::size_t blockSize : blockSizes) {
            SCOPED_TRACE(std::string(file.name) + ", blocks of " + std::to_string(blockSize));
            std::string error;
            const Records before = read(path, file.encoding, ',', blockSize, &error);
            EXPECT_EQ(error, file.error);
            // The source converts a block ahead of the records, so a large one may fail first.
            ASSERT_LE(before.size(), file.before.size());
            EXPECT_TRUE(std::equal(before.begin(), before.end(), file.before.begin()));
            if (blockSize == 1) {
                EXPECT_EQ(before, file.before);
            }
        }
    }
}

// The source file alone, handing out its text in pieces of every size from blocks of every
// size: the whole text as UTF-8 (longer than the file, or shorter), a head as long as a block,
// every byte of the file taken.
TEST_F(CsvBlockSize, SourceFileHandsOutTheWholeTextInPiecesOfAnySize) {
    const std::u16string text = u"\uFEFF\u017dlu\u0165ou\u010dk\u00fd \U0001F4DA\r\n\u20AC";
    const std::string utf8Text = "\xEF\xBB\xBFŽluťoučký 📚\r\n€";
    const struct {
        CsvEncoding encoding;
        std::string bytes;
        std::string text;
    } files[] = {
        {CsvEncoding::Utf8, utf8Text, utf8Text},
        {CsvEncoding::Utf16LE, utf16(text, false), utf8Text},
        {CsvEncoding::Utf16BE, utf16(text, true), utf8Text},
        {CsvEncoding::Windows1250, "\x8Elu\x9Do\x9A\xE8k\xFD\r\n\x80", "Žluťoščký\r\n€"},
    };
    for (const auto& file : files) {
        const std::filesystem::path path = written(file.bytes);
        for (const std::size_t blockSize : blockSizes) {
            for (const std::size_t room : {1, 2, 3, 5}) {
                SCOPED_TRACE(std::string(tools::encodingName(file.encoding)) + ", blocks of " +
                             std::to_string(blockSize) + ", pieces of " + std::to_string(room));
                tools::CsvSourceFile source(path, file.encoding, blockSize);
                EXPECT_EQ(source.head(), file.text.substr(0, blockSize));
                std::string got;
                std::vector<char> piece(room);
                for (std::size_t n; (n = source.read(piece.data(), room)) > 0;) {
                    ASSERT_LE(n, room);
                    got.append(piece.data(), n);
                }
                EXPECT_EQ(got, file.text);
                EXPECT_EQ(source.taken(), file.bytes.size());
            }
        }
    }
}

}  // namespace
}  // namespace quorvel::testing
