// Lists refused as the import reads them, the form guessed or given, for faults their fuzzing
// found: a refusal's text holds no byte of the file that isn't UTF-8.
#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>

#include "TemporaryDirectory.h"
#include "lists/CsvIssueReader.h"
#include "text/Utf8Validity.h"

namespace quorvel::testing {
namespace {

TEST(CsvIssueReader, QuotesNoBytesThatArentUtf8InARefusal) {
    const struct {
        std::string bytes;
        std::optional<tools::CsvEncoding> encoding;
        std::string message;  // after the file's name
    } files[] = {
        {"sep=\xFF\nTitul\nA\n", tools::CsvEncoding::Utf8,
         ":1: the first line (\"sep=\" and bytes that aren't UTF-8) names a delimiter import "
         "doesn't take: a comma, semicolon or tab"},
        // UTF-8 by its letters, with a byte that isn't in its first line.
        {"sep=;\r;Časopis;Č\xC3tisku\r\nČasopis\r\nŽurnál\r\n", std::nullopt,
         ":1: the first line (\"sep=\" and bytes that aren't UTF-8) names a delimiter import "
         "doesn't take: a comma, semicolon or tab"},
        {"sep=;;\nTitul\n", std::nullopt,
         ":1: the first line \"sep=;;\" names a delimiter import doesn't take: a comma, "
         "semicolon or tab"},
    };
    const TemporaryDirectory directory;
    const std::filesystem::path csv = directory.path() / "seznam.csv";
    for (const auto& file : files) {
        SCOPED_TRACE(file.bytes);
        std::ofstream(csv, std::ios::binary) << file.bytes;
        tools::CsvReadOptions options;
        options.encoding = file.encoding;
        try {
            tools::CsvIssueReader reader(csv, options);
            ADD_FAILURE() << "read";
        } catch (const std::runtime_error& error) {
            EXPECT_EQ(error.what(), csv.string() + file.message);
            EXPECT_TRUE(utf8::validUtf8(error.what()));
        }
    }
}

}  // namespace
}  // namespace quorvel::testing
