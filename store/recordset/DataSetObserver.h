// What a bound control hears from the record set. Every notice arrives synchronously, inside
// the operation that causes it, so a control's reaction is complete when the operation returns.
#pragma once

namespace quorvel {

class Field;

class DataSetObserver {
  public:
    virtual ~DataSetObserver() = default;
    // State changed (to or from inactive, or between browse, edit and insert).
    virtual void stateChanged() {}
    // The rows held were read anew.
    virtual void rowsChanged() {}
    // The current row moved and the number of rows held stayed; the rows held shifted by
    // distance (positive: towards the end of the result; 0: a move within them).
    virtual void scrolled(int distance) { (void)distance; }
    // The result's rows have been counted: it numbers them from now on (RecNo, RecordCount).
    virtual void numberingChanged() {}
    // The current row was read anew on entering edit.
    virtual void recordChanged() {}
    virtual void fieldChanged(const Field& field) { (void)field; }
    // Write pending input into the fields now.
    virtual void updateRecord() {}
    // The control bound to field should take the input focus (a required field is empty).
    virtual void focusField(const Field& field) { (void)field; }
};

}  // namespace quorvel
