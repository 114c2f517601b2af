#include "text/CzechCollator.h"

#include <unicode/ucol.h>
#include <unicode/ustring.h>

#include "EDBEngineError.h"
#include "sqlite/SqliteStatement.h"

namespace quorvel {

namespace {

[[noreturn]] void failIcu(UErrorCode status) {
    throw EDBEngineError(
        engine_code::libraryTooOld,
        {{engine_code::libraryTooOld, 0,
          std::string("Czech collation is not available: ") + u_errorName(status)}});
}

int32_t icuLength(std::size_t size) {
    return static_cast<int32_t>(size);
}

void czechKey(sqlite3_context* context, int, sqlite3_value** values) {
    auto* collator = static_cast<CzechCollator*>(sqlite3_user_data(context));
    std::string_view text;
    if (sqlite3_value_type(values[0]) != SQLITE_NULL) {
        const auto* bytes = reinterpret_cast<const char*>(sqlite3_value_text(values[0]));
        text = std::string_view(bytes != nullptr ? bytes : "",
                                static_cast<std::size_t>(sqlite3_value_bytes(values[0])));
    }
    try {
        const std::string_view key = collator->key(text);
        // The empty key's view has no bytes to point at, and a blob without them reads as NULL.
        if (key.empty()) {
            sqlite3_result_zeroblob(context, 0);
        } else {
            sqlite3_result_blob(context, key.data(), static_cast<int>(key.size()),
                                SQLITE_TRANSIENT);
        }
    } catch (const std::exception& error) {
        sqlite3_result_error(context, error.what(), -1);
    }
}

}  // namespace

CzechCollator::CzechCollator() {
    UErrorCode status = U_ZERO_ERROR;
    collator_ = ucol_open("cs", &status);
    ucol_setAttribute(collator_, UCOL_NUMERIC_COLLATION, UCOL_ON, &status);
    if (U_FAILURE(status)) {
        ucol_close(collator_);
        failIcu(status);
    }
}

CzechCollator::~CzechCollator() {
    ucol_close(collator_);
}

std::string_view CzechCollator::key(std::string_view text) {
    if (text.empty()) {
        return {};
    }
    // At most one UTF-16 unit per byte of UTF-8.
    utf16_.resize(text.size());
    int32_t units = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strFromUTF8WithSub(utf16_.data(), icuLength(utf16_.size()), &units, text.data(),
                         icuLength(text.size()), 0xFFFD, nullptr, &status);
    if (U_FAILURE(status)) {
        failIcu(status);
    }
    if (key_.size() < 64) {
        key_.resize(64);
    }
    // The size returned counts the key's terminating zero byte, which is left out.
    int32_t size =
        ucol_getSortKey(collator_, utf16_.data(), units, key_.data(), icuLength(key_.size()));
    if (size > icuLength(key_.size())) {
        key_.resize(static_cast<std::size_t>(size));
        size =
            ucol_getSortKey(collator_, utf16_.data(), units, key_.data(), icuLength(key_.size()));
    }
    if (size <= 0) {
        failIcu(U_INTERNAL_PROGRAM_ERROR);
    }
    return {reinterpret_cast<const char*>(key_.data()), static_cast<std::size_t>(size - 1)};
}

int CzechCollator::compare(std::string_view a, std::string_view b) const {
    UErrorCode status = U_ZERO_ERROR;
    const UCollationResult result = ucol_strcollUTF8(collator_, a.data(), icuLength(a.size()),
                                                     b.data(), icuLength(b.size()), &status);
    if (U_FAILURE(status)) {
        // Can't happen for text SQLite hands over; bytes keep the order total all the same.
        return a.compare(b);
    }
    return result == UCOL_LESS ? -1 : result == UCOL_GREATER ? 1 : 0;
}

void CzechCollator::installOn(sqlite3* db) {
    const int rc =
        sqlite3_create_function_v2(db, "czech_key", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, this,
                                   czechKey, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        sqlite::raise(db, rc);
    }
}

}  // namespace quorvel
