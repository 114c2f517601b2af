#include "engine/RowInsert.h"

#include "EDBEngineError.h"
#include "engine/SortKey.h"
#include "query/RowData.h"
#include "text/Utf8.h"

namespace quorvel {

namespace {

using sqlite::ResetGuard;

// "vytisk, cislo, nejzajimavejsi_casti, vytisk_key, cislo_key": the order bindRow binds in.
std::string boundColumns() {
    std::string names;
    for (int c = 0; c < schema::stringColumnCount; ++c) {
        names += std::string(c == 0 ? "" : ", ") + schema::columns[c].sqlName;
    }
    for (const char* key : schema::sortKeyColumns) {
        names += std::string(", ") + key;
    }
    return names;
}

std::string insertSql() {
    return "INSERT INTO main.qv(" + boundColumns() + ") VALUES(?1, ?2, ?3, ?4, ?5)";
}

std::string updateSql() {
    std::string sql = "UPDATE main.qv SET ";
    int parameter = 1;
    for (int c = 0; c < schema::stringColumnCount; ++c) {
        sql +=
            std::string(schema::columns[c].sqlName) + " = ?" + std::to_string(parameter++) + ", ";
    }
    for (const char* key : schema::sortKeyColumns) {
        sql += std::string(key) + " = ?" + std::to_string(parameter++) + ", ";
    }
    return sql + "version = version + 1 WHERE id = ?6 AND version = ?7";
}

}  // namespace

RowInsert::RowInsert(sqlite3* db)
    : db_(db),
      insertRow_(db, insertSql()),
      updateRow_(db, updateSql()),
      storeMemo_(db, "INSERT OR REPLACE INTO mb.memo(id, obsah) VALUES(?1, ?2)"),
      removeMemo_(db, "DELETE FROM mb.memo WHERE id = ?1"),
      raiseRowsCount_(db, schema::raiseRowsCommitCountSql),
      raiseMemoCount_(db, schema::raiseMemoCommitCountSql) {
    sqlite3_commit_hook(db_, &RowInsert::transactionEnds, this);
    sqlite3_rollback_hook(db_, &RowInsert::transactionRolledBack, this);
}

RowInsert::~RowInsert() {
    sqlite3_commit_hook(db_, nullptr, nullptr);
    sqlite3_rollback_hook(db_, nullptr, nullptr);
}

int RowInsert::transactionEnds(void* self) {
    static_cast<RowInsert*>(self)->countRaised_ = false;
    return 0;  // the commit goes on
}

void RowInsert::transactionRolledBack(void* self) {
    static_cast<RowInsert*>(self)->countRaised_ = false;
}

std::optional<std::string_view> RowInsert::stored(std::optional<std::string_view> text) {
    if (!text || text->empty()) {
        return std::nullopt;
    }
    return text;
}

std::optional<std::string> RowInsert::stored(const std::optional<std::string>& text) {
    if (!text || text->empty()) {
        return std::nullopt;
    }
    return text;
}

void RowInsert::checkSizes(const Texts& strings) {
    for (int c = 0; c < schema::stringColumnCount; ++c) {
        const std::optional<std::string_view>& value = strings[c];
        if (value && utf8::length(*value) > static_cast<std::size_t>(schema::columns[c].size)) {
            throw EDBEngineError(engine_code::valueTooLarge,
                                 {{engine_code::valueTooLarge, 0,
                                   std::string("Field: ") + schema::columns[c].fieldName}});
        }
    }
}

RowInsert::Texts RowInsert::textsOf(const RowData& row) {
    Texts texts;
    for (int c = 0; c < schema::stringColumnCount; ++c) {
        if (row.strings[c]) {
            texts[c] = *row.strings[c];
        }
    }
    return texts;
}

void RowInsert::bindRow(sqlite::Statement& statement, const Texts& strings) {
    for (int c = 0; c < schema::stringColumnCount; ++c) {
        statement.bindStatic(c + 1, stored(strings[c]));
    }
    for (int c = 0; c < schema::keyedColumnCount; ++c) {
        keys_[c].assign(schema::sortKeyOf(collator_, strings[c]));
        statement.bindBlob(schema::stringColumnCount + c + 1, keys_[c]);
    }
}

std::int64_t RowInsert::insert(const Texts& strings, std::optional<std::string_view> memo) {
    checkSizes(strings);
    {
        ResetGuard guard(insertRow_);
        bindRow(insertRow_, strings);
        insertRow_.step();
    }
    const std::int64_t id = sqlite3_last_insert_rowid(db_);
    writeMemo(id, memo);
    return id;
}

bool RowInsert::update(std::int64_t id, std::int64_t version, const Texts& strings) {
    checkSizes(strings);
    ResetGuard guard(updateRow_);
    bindRow(updateRow_, strings);
    updateRow_.bind(6, id);
    updateRow_.bind(7, version);
    updateRow_.step();
    return sqlite3_changes(db_) != 0;
}

void RowInsert::writeMemo(std::int64_t id, std::optional<std::string_view> memo) {
    const std::optional<std::string_view> text = stored(memo);
    sqlite::Statement& statement = text ? storeMemo_ : removeMemo_;
    ResetGuard guard(statement);
    statement.bind(1, id);
    if (text) {
        statement.bindStatic(2, text);
    }
    statement.step();
    // Once a transaction: the count tells commits apart, not memo texts.
    if (!countRaised_) {
        for (sqlite::Statement* raise : {&raiseRowsCount_, &raiseMemoCount_}) {
            ResetGuard raised(*raise);
            raise->step();
        }
        countRaised_ = true;
    }
}

}  // namespace quorvel
