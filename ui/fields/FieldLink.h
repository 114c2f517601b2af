// The part of a bound edit or memo that deals with the record set: binds one field by name
// whenever the set opens and lets it go when it closes, loads the control at each notice that
// concerns it, starts a change through the data source before an input takes effect, keeps the
// changed flag, and writes the control's text back into the field on leaving and when the set
// asks for pending input.
#pragma once

#include <QString>

#include "recordset/DataSetObserver.h"

class QFocusEvent;

namespace quorvel {
class DataSource;
class Field;
class RecordSet;
}  // namespace quorvel

namespace quorvel::ui {

class BoundControl;

class FieldLink final : public DataSetObserver {
  public:
    explicit FieldLink(BoundControl& control);
    ~FieldLink() override;
    FieldLink(const FieldLink&) = delete;
    FieldLink& operator=(const FieldLink&) = delete;

    // Both bind anew and load. The data source must outlive the link or be set to nullptr.
    void setDataSource(DataSource* dataSource);
    DataSource* dataSource() const { return dataSource_; }
    void setDataField(const QString& name);
    QString dataField() const { return dataField_; }

    // The bound field: none while the set is inactive, or when no field has the name.
    Field* field() const;
    // Edit or insert, with a field that may be changed.
    bool writable() const;
    // Whether an input may start a change: writable already, or in browse with AutoEdit and a
    // field that may be changed.
    bool canStartChange() const;
    // Called before an input that changes the text takes effect. Starts Edit through the data
    // source when the set is in browse; a failure goes to the default error handler. Returns
    // whether the input may take effect (false: it is lost).
    bool startChange();

    bool changed() const { return changed_; }
    // The control's text changed; a load's own change doesn't count.
    void textChanged();

    // Shows the field's text and clears the changed flag.
    void load();
    // Writes the control's text into the field if the changed flag is set. Throws what the
    // field throws; the flag stays set then.
    void writeBack();
    // The focus is leaving the control. When it goes to another control of the window: write-
    // back; on failure the control takes the focus back at once and the error goes on to the
    // default error handler. Gives whether the control was left and its text written.
    bool leave(const QFocusEvent& event);
    // The control got the focus; after a refused exit it sets its selection again.
    void entered();
    // Whether a focus change with this reason leaves the control for another of the window's
    // (not a change of the active window or a popup).
    static bool movesWithinWindow(const QFocusEvent& event);

    void stateChanged() override;
    void rowsChanged() override { load(); }
    void scrolled(int) override { load(); }
    void recordChanged() override { load(); }
    void fieldChanged(const Field& field) override;
    void updateRecord() override { writeBack(); }
    void focusField(const Field& field) override;

  private:
    RecordSet* dataSet() const;
    void bind();
    void rebind();  // bind, switch the control, load

    BoundControl& control_;
    DataSource* dataSource_ = nullptr;
    QString dataField_;
    // The field bound and the set it belongs to; rebound when the data source's set changes.
    mutable Field* field_ = nullptr;
    mutable RecordSet* boundSet_ = nullptr;
    mutable bool boundActive_ = false;
    bool changed_ = false;
    bool loading_ = false;
    bool refusedExit_ = false;
};

}  // namespace quorvel::ui
