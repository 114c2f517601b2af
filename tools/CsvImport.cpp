#include "CsvImport.h"

#include <cstring>
#include <stdexcept>
#include <string>

#include "engine/CatalogueSchema.h"
#include "engine/Database.h"
#include "engine/RowInsert.h"
#include "sqlite/SqliteStatement.h"
#include "text/Utf8.h"

namespace quorvel::tools {

namespace {

constexpr std::size_t fieldCount = schema::columns.size();

// Rows between two calls of progress.
constexpr std::uint64_t progressEvery = 4096;

std::string headerLine() {
    std::string names;
    for (const TableColumn& column : schema::columns) {
        names += std::string(names.empty() ? "" : ",") + column.fieldName;
    }
    return names;
}

}  // namespace

CsvImport::CsvImport(const std::filesystem::path& csv, const std::filesystem::path& directory)
    : csv_(csv), engine_(directory), reader_(csv, fieldCount) {
    engine_.database().requireWritable();
}

void CsvImport::checkHeader(const CsvRecord& header) const {
    bool matches = header.count == fieldCount;
    for (std::size_t i = 0; matches && i < fieldCount; ++i) {
        matches = utf8::equalsIgnoringCase(header.fields[i], schema::columns[i].fieldName);
    }
    if (!matches) {
        throw CsvError(header.line, "the header is not " + headerLine());
    }
}

std::string CsvImport::problemOf(const CsvRecord& record) {
    if (record.count != fieldCount) {
        return std::to_string(record.count) + (record.count == 1 ? " field" : " fields") +
               ", not " + std::to_string(fieldCount);
    }
    const std::string& title = record.fields[0];
    if (schema::titleMissing(title)) {
        return std::string(schema::columns[0].fieldName) +
               (title.empty() ? " is empty" : " is a single space") + ": a title is required";
    }
    for (std::size_t i = 0; i < fieldCount; ++i) {
        const std::string& text = record.fields[i];
        const int size = schema::columns[i].size;
        if (size > 0) {
            const std::size_t length = utf8::length(text);
            if (length > static_cast<std::size_t>(size)) {
                return std::string(schema::columns[i].fieldName) + " has " +
                       std::to_string(length) + " characters, more than " + std::to_string(size);
            }
        }
        // No edit of the program can hold one, and C strings would end at it.
        if (std::memchr(text.data(), '\0', text.size()) != nullptr) {
            return std::string(schema::columns[i].fieldName) + " holds a NUL character";
        }
    }
    return {};
}

std::uint64_t CsvImport::run(const std::function<void(std::uint64_t)>& progress) {
    Database& database = engine_.database();
    std::uint64_t rows = 0;
    try {
        CsvRecord record;
        if (!reader_.next(record)) {
            throw CsvError(1, "the file is empty, without the header " + headerLine());
        }
        checkHeader(record);
        sqlite::Transaction transaction(database.handle(), sqlite::Transaction::Kind::Write);
        RowInsert& insert = database.rowInsert();
        progress(reader_.bytesTaken());
        while (reader_.next(record)) {
            if (std::string problem = problemOf(record); !problem.empty()) {
                throw CsvError(record.line, problem);
            }
            insert.insert({record.fields[0], record.fields[1], record.fields[2]}, record.fields[3]);
            if (++rows % progressEvery == 0) {
                progress(reader_.bytesTaken());
            }
        }
        transaction.commit();
    } catch (const CsvError& error) {
        throw std::runtime_error(csv_.string() + ":" + std::to_string(error.line()) + ": " +
                                 error.reason());
    }
    progress(reader_.bytesTaken());
    return rows;
}

}  // namespace quorvel::tools
