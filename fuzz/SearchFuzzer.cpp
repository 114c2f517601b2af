// The composer and the real engine over the demo catalogue, fed arbitrary search texts in each
// of the four search forms and under each of the three sort orders, through the record set as
// the main window drives it. The text is data: the search must find exactly the rows whose field
// holds it, % and _ being wildcards, as a plain scan of the rows finds them. A watch on the
// connection stops the run at the first statement that could write or that touches anything but
// the table's rows and memos, and the two files' bytes are compared after every input.
//
// The first byte of an input chooses the form and the order; the rest is the search text.

#include <sqlite3.h>
#include <stdlib.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "../tests/store/LikeByScan.h"
#include "Exceptions.h"
#include "catalogues/DemoCatalogue.h"
#include "engine/CatalogueSchema.h"
#include "engine/Database.h"
#include "engine/Engine.h"
#include "recordset/Field.h"
#include "recordset/RecordSet.h"
#include "recordset/StatementComposer.h"

namespace {

[[noreturn]] void fail(const char* what, std::string_view detail) {
    std::fprintf(stderr, "search_fuzzer: %s: %.*s\n", what, static_cast<int>(detail.size()),
                 detail.data());
    std::abort();
}

std::string bytesOf(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string_view orEmpty(const char* text) {
    return text != nullptr ? std::string_view(text) : std::string_view();
}

// Decides at prepare time: a search may read the rows and the memos inside a read transaction
// and call what the engine's own SQL calls (its LIKE, the coalesce of a missing value, the char
// of the check that its LIKE is in place, the min and max ids that bound a search's count,
// and the count and czech_key of the check of the sort indexes and their keys that runs before
// the first sorted statement), nothing else.
int authorize(void*, int action, const char* first, const char* second, const char* database,
              const char*) {
    switch (action) {
        case SQLITE_SELECT:
        case SQLITE_TRANSACTION:
            return SQLITE_OK;
        case SQLITE_READ:
            if ((orEmpty(first) == "qv" && orEmpty(database) == "main") ||
                (orEmpty(first) == "memo" && orEmpty(database) == "mb")) {
                return SQLITE_OK;
            }
            fail("a read of something but qv",
                 std::string(orEmpty(database)) + "." + std::string(orEmpty(first)));
        case SQLITE_FUNCTION:
            if (orEmpty(second) == "like" || orEmpty(second) == "coalesce" ||
                orEmpty(second) == "char" || orEmpty(second) == "min" || orEmpty(second) == "max" ||
                orEmpty(second) == "count" || orEmpty(second) == "czech_key") {
                return SQLITE_OK;
            }
            fail("a call of a function the engine does not use", orEmpty(second));
        default:
            fail("an action that is no read", std::to_string(action) + " " +
                                                  std::string(orEmpty(first)) + " " +
                                                  std::string(orEmpty(second)));
    }
}

// Decides at every run of a statement, prepared earlier or not.
int traceStatement(unsigned, void*, void* statement, void*) {
    auto* prepared = static_cast<sqlite3_stmt*>(statement);
    if (sqlite3_stmt_readonly(prepared) == 0) {
        fail("a statement that can write", orEmpty(sqlite3_sql(prepared)));
    }
    return 0;
}

// A row as the record set shows it: the four fields, a missing value as nullopt.
using Row = std::vector<std::optional<std::string>>;

struct Catalogue {
    std::filesystem::path directory;
    std::string rows;
    std::string memos;
    std::vector<Row> stored;  // the whole table, read once
    std::unique_ptr<quorvel::Engine> engine;
    std::unique_ptr<quorvel::RecordSet> recordSet;
};

Catalogue* catalogue = nullptr;

void checkFilesUnchanged() {
    if (bytesOf(catalogue->directory / quorvel::schema::rowsFileName) != catalogue->rows ||
        bytesOf(catalogue->directory / quorvel::schema::memoFileName) != catalogue->memos) {
        fail("the catalogue's files changed", catalogue->directory.string());
    }
    if (std::filesystem::exists(catalogue->directory / "qv.db-journal") ||
        std::filesystem::exists(catalogue->directory / "qv.mb-journal")) {
        fail("a journal was made", catalogue->directory.string());
    }
}

void removeCatalogue() {
    std::error_code ignored;
    std::filesystem::remove_all(catalogue->directory, ignored);
}

// Every field of every row, memos too, as the grid and the memo would show them.
std::vector<Row> readToTheEnd(quorvel::RecordSet& recordSet) {
    std::vector<Row> rows;
    recordSet.First();
    do {
        Row row;
        for (int index = 0; index < recordSet.FieldCount(); ++index) {
            const quorvel::Field& field = recordSet.Fields(index);
            row.push_back(field.IsNull() ? std::nullopt
                                         : std::optional<std::string>(field.AsString()));
        }
        rows.push_back(std::move(row));
    } while (recordSet.MoveBy(1) == 1);
    (void)recordSet.MoveBy(-1000);
    return rows;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::string pattern = (std::filesystem::temp_directory_path() / "quorvel-fuzz-XXXXXX");
    if (::mkdtemp(pattern.data()) == nullptr) {
        fail("no temporary directory", pattern);
    }
    catalogue = new Catalogue{pattern, {}, {}, {}, nullptr, nullptr};
    std::atexit(removeCatalogue);
    quorvel::tools::writeDemoCatalogue(catalogue->directory);
    catalogue->rows = bytesOf(catalogue->directory / quorvel::schema::rowsFileName);
    catalogue->memos = bytesOf(catalogue->directory / quorvel::schema::memoFileName);
    catalogue->engine = std::make_unique<quorvel::Engine>(catalogue->directory);
    sqlite3* db = catalogue->engine->database().handle();
    sqlite3_set_authorizer(db, authorize, nullptr);
    sqlite3_trace_v2(db, SQLITE_TRACE_STMT, traceStatement, nullptr);
    catalogue->recordSet = std::make_unique<quorvel::RecordSet>(*catalogue->engine);
    catalogue->recordSet->SetBufferCount(12);  // the grid's lines
    // The whole table, which each search's rows are checked against.
    quorvel::RunQuery(*catalogue->recordSet, {});
    catalogue->stored = readToTheEnd(*catalogue->recordSet);
    catalogue->recordSet->Close();
    if (catalogue->stored.empty()) {
        fail("the demo catalogue has no rows", catalogue->directory.string());
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const auto field = static_cast<quorvel::SearchField>(data[0] & 3);
    const auto order = static_cast<quorvel::SortOrder>((data[0] >> 2) % 3);
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);

    quorvel::StatementClauses clauses;
    clauses.FilterClause = quorvel::searchClause(field, text);
    clauses.OrderClause = quorvel::orderClause(order);
    quorvel::RecordSet& recordSet = *catalogue->recordSet;
    std::vector<Row> found;
    try {
        quorvel::RunQuery(recordSet, clauses);
        if (!recordSet.IsEmpty()) {
            found = readToTheEnd(recordSet);
        }
    } catch (const quorvel::EDatabaseError& error) {
        fail("a search was refused", error.what());
    }
    std::vector<Row> expected;
    for (const Row& row : catalogue->stored) {
        const std::optional<std::string>& value = row[static_cast<std::size_t>(field)];
        if (value && quorvel::testing::likeByScan(*value, "%" + text + "%")) {
            expected.push_back(row);
        }
    }
    std::sort(found.begin(), found.end());
    std::sort(expected.begin(), expected.end());
    if (found != expected) {
        fail("a search found other rows than a scan", text);
    }
    if (recordSet.State() != quorvel::DataSetState::Inactive &&
        recordSet.State() != quorvel::DataSetState::Browse) {
        fail("a search left the set editing", text);
    }
    recordSet.Close();
    checkFilesUnchanged();
    return 0;
}
