// A field of the record set: one column of the current result, built at each opening from the
// engine's description and destroyed at each closing. Values are read from and written to the
// set's current row.
#pragma once

#include <optional>
#include <string>

#include "query/RowData.h"

namespace quorvel {

class RecordSet;

class Field {
  public:
    Field(RecordSet& dataSet, FieldDesc description, int index);

    const std::string& FieldName() const { return description_.name; }
    FieldType DataType() const { return description_.type; }
    int Size() const { return description_.size; }
    bool Required() const { return description_.required; }
    bool ReadOnly() const { return description_.readOnly; }
    int Index() const { return index_; }
    void setIndex(int index) { index_ = index; }  // by the record set, when the order changes
    // Whether a control may start a change of this field: a column of the result, not
    // read-only, and the set can be modified.
    bool CanModify() const;

    // The current row's value; empty text when there is no value or no current row. A memo
    // gives its whole text.
    std::string AsString() const;
    bool IsNull() const;
    // Writes the current row's value: a string is cut to Size characters without a word; a
    // memo is replaced whole, and empty text leaves it without a value. Then the field-changed
    // notice, and Modified becomes true.
    void SetAsString(const std::string& text);

    // The value of a row held by the set (for painting the grid), without reading a memo's text.
    std::string textIn(const RowData& row) const;
    bool hasValueIn(const RowData& row) const;

  private:
    RecordSet& dataSet_;
    FieldDesc description_;
    int index_;
};

}  // namespace quorvel
