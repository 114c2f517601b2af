#include "recordset/Field.h"

#include "Exceptions.h"
#include "recordset/RecordSet.h"
#include "text/Utf8.h"

namespace quorvel {

Field::Field(RecordSet& dataSet, FieldDesc description, int index)
    : dataSet_(dataSet), description_(std::move(description)), index_(index) {}

bool Field::CanModify() const {
    return !ReadOnly() && dataSet_.CanModify();
}

std::string Field::AsString() const {
    RowData* row = dataSet_.currentRow();
    if (row == nullptr) {
        return {};
    }
    if (DataType() == FieldType::Memo) {
        return dataSet_.memoOf(*row).value_or("");
    }
    return row->strings[static_cast<std::size_t>(description_.column)].value_or("");
}

bool Field::IsNull() const {
    const RowData* row = dataSet_.currentRow();
    return row == nullptr || !hasValueIn(*row);
}

void Field::SetAsString(const std::string& text) {
    if (dataSet_.State() != DataSetState::Edit && dataSet_.State() != DataSetState::Insert) {
        dataSet_.raise("Dataset not in edit or insert mode");
    }
    const std::string readOnly = "Field '" + FieldName() + "' cannot be modified";
    RowData* row = dataSet_.currentRow();
    if (DataType() == FieldType::Memo) {
        if (ReadOnly()) {
            dataSet_.raise(readOnly);
        }
        row->memo = text.empty() ? std::nullopt : std::optional<std::string>(text);
        row->memoLoaded = true;
        row->memoChanged = true;
    } else {
        if (ReadOnly()) {
            throw EDatabaseError(readOnly);
        }
        row->strings[static_cast<std::size_t>(description_.column)] =
            utf8::left(text, static_cast<std::size_t>(Size()));
    }
    dataSet_.fieldWritten(*this);
}

std::string Field::textIn(const RowData& row) const {
    if (DataType() == FieldType::Memo) {
        return row.memoLoaded ? row.memo.value_or("") : std::string();
    }
    return row.strings[static_cast<std::size_t>(description_.column)].value_or("");
}

bool Field::hasValueIn(const RowData& row) const {
    if (DataType() == FieldType::Memo) {
        return row.memoHasValue();
    }
    return row.strings[static_cast<std::size_t>(description_.column)].has_value();
}

}  // namespace quorvel
