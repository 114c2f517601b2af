// The statement dialect's parser fed arbitrary statement texts, as the record set hands them to
// the engine: the parameter scan first, then the parser. Either the text is refused with an
// engine error, or the SQL made from it holds no text of the statement's own: no quote, no
// statement separator, no comment, and exactly one bound value for each "?".

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "EDBEngineError.h"
#include "engine/CatalogueSchema.h"
#include "query/SqlDialect.h"
#include "recordset/StatementText.h"
#include "text/LikePattern.h"

namespace {

[[noreturn]] void fail(const char* what, std::string_view detail) {
    std::fprintf(stderr, "dialect_fuzzer: %s: %.*s\n", what, static_cast<int>(detail.size()),
                 detail.data());
    std::abort();
}

void checkParsed(const quorvel::ParsedSelect& parsed) {
    const std::string& sql = parsed.conditionSql;
    if (sql.find_first_of("'\"`;") != std::string::npos || sql.find("--") != std::string::npos ||
        sql.find("/*") != std::string::npos) {
        fail("the generated condition holds text of the statement", sql);
    }
    std::size_t markers = 0;
    for (char c : sql) {
        markers += c == '?' ? 1 : 0;
    }
    if (markers != parsed.parameters.size()) {
        fail("markers and bound values differ in number", sql);
    }
    for (int column : parsed.columns) {
        if (column < 0 || column >= static_cast<int>(quorvel::schema::columns.size())) {
            fail("a result column outside the table", std::to_string(column));
        }
    }
    if (parsed.orderColumn &&
        (*parsed.orderColumn < 0 ||
         *parsed.orderColumn >= static_cast<int>(quorvel::schema::columns.size()))) {
        fail("an order column outside the table", std::to_string(*parsed.orderColumn));
    }
    // Every text literal is a LIKE pattern somewhere: compiling and matching one must hold too.
    for (const quorvel::SqlValue& value : parsed.parameters) {
        if (const auto* text = std::get_if<std::string>(&value)) {
            quorvel::LikePattern pattern(*text);
            (void)pattern.matches(*text);
            (void)pattern.matches(std::string_view(*text).substr(text->size() / 2));
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const quorvel::ScannedStatement scanned = quorvel::scanParameters(text);
    if (!scanned.parameters.empty()) {
        return 0;  // the record set refuses it before the engine sees it
    }
    try {
        checkParsed(quorvel::parseSelect(scanned.text));
    } catch (const quorvel::EDBEngineError&) {
        // outside the dialect: refused, as it should be
    }
    return 0;
}
