#include "fields/FieldLink.h"

#include <QApplication>
#include <QFocusEvent>
#include <QTimer>
#include <QWidget>

#include "fields/BoundControl.h"
#include "messages/DefaultErrorHandler.h"
#include "recordset/DataSource.h"
#include "recordset/Field.h"
#include "recordset/RecordSet.h"

namespace quorvel::ui {

FieldLink::FieldLink(BoundControl& control) : control_(control) {}

FieldLink::~FieldLink() {
    if (dataSource_ != nullptr) {
        dataSource_->removeObserver(this);
    }
}

void FieldLink::setDataSource(DataSource* dataSource) {
    if (dataSource == dataSource_) {
        return;
    }
    if (dataSource_ != nullptr) {
        dataSource_->removeObserver(this);
    }
    dataSource_ = dataSource;
    if (dataSource_ != nullptr) {
        dataSource_->addObserver(this);
    }
    rebind();
}

void FieldLink::setDataField(const QString& name) {
    dataField_ = name;
    rebind();
}

RecordSet* FieldLink::dataSet() const {
    return dataSource_ != nullptr ? dataSource_->DataSet() : nullptr;
}

void FieldLink::bind() {
    RecordSet* set = dataSet();
    boundSet_ = set;
    boundActive_ = set != nullptr && set->Active();
    // The fields exist only while the set is open; a name that matches none binds nothing.
    field_ = set != nullptr && set->Active() && !dataField_.isEmpty()
                 ? set->FindField(dataField_.toStdString())
                 : nullptr;
}

Field* FieldLink::field() const {
    if (dataSet() != boundSet_) {
        const_cast<FieldLink*>(this)->bind();
    }
    return field_;
}

bool FieldLink::writable() const {
    const Field* bound = field();
    if (bound == nullptr) {
        return false;
    }
    const DataSetState state = boundSet_->State();
    return (state == DataSetState::Edit || state == DataSetState::Insert) && bound->CanModify();
}

bool FieldLink::canStartChange() const {
    const Field* bound = field();
    if (bound == nullptr || !bound->CanModify()) {
        return false;
    }
    return writable() || (dataSource_->AutoEdit && boundSet_->State() == DataSetState::Browse);
}

bool FieldLink::startChange() {
    if (!canStartChange()) {
        return false;
    }
    if (!writable()) {
        try {
            dataSource_->Edit();  // reloads every bound control, this one too
        } catch (const std::exception& failure) {
            handleEscapedFailure(failure);
            return false;
        }
    }
    return writable();
}

void FieldLink::textChanged() {
    if (!loading_) {
        changed_ = true;
    }
}

void FieldLink::load() {
    const Field* bound = field();
    const QString text = bound != nullptr ? QString::fromStdString(bound->AsString()) : QString();
    loading_ = true;
    try {
        control_.showFieldText(text);
    } catch (...) {
        loading_ = false;
        throw;
    }
    loading_ = false;
    changed_ = false;
}

void FieldLink::writeBack() {
    if (!changed_) {
        return;
    }
    Field* bound = field();
    if (bound == nullptr) {
        // The set closed or the field went: there is nothing left to write into.
        changed_ = false;
        return;
    }
    bound->SetAsString(control_.textToWrite().toStdString());
    changed_ = false;
}

bool FieldLink::movesWithinWindow(const QFocusEvent& event) {
    return event.reason() != Qt::ActiveWindowFocusReason && event.reason() != Qt::PopupFocusReason;
}

bool FieldLink::leave(const QFocusEvent& event) {
    // Only a move to another control of the window is a leave: not a change of the active
    // window, a popup, or the window hiding or going.
    const QWidget* next = QApplication::focusWidget();
    if (!movesWithinWindow(event) || next == nullptr ||
        next->window() != control_.widget().window()) {
        return false;
    }
    try {
        writeBack();
    } catch (const std::exception&) {
        // Taken back before anything else happens, so that whoever took the focus sees at
        // once that it didn't get it. The box comes once Qt has finished moving the focus: a
        // modal loop inside that move would let it go on under the box.
        control_.widget().setFocus(Qt::OtherFocusReason);
        control_.exitRefused();
        refusedExit_ = true;  // the box's coming and going moves the focus once more
        QTimer::singleShot(0, &control_.widget(), [failure = std::current_exception()] {
            runHandler([&failure] { std::rethrow_exception(failure); });
        });
        return false;
    }
    return true;
}

void FieldLink::entered() {
    if (refusedExit_) {
        refusedExit_ = false;
        control_.exitRefused();
    }
}

void FieldLink::stateChanged() {
    // Opening and closing bind anew and load; a change between browse, edit and insert only
    // switches the control (the notices that come with it load).
    RecordSet* set = dataSet();
    if (set != boundSet_ || (set != nullptr && set->Active()) != boundActive_) {
        rebind();
    } else {
        control_.setWritable(writable());
    }
}

void FieldLink::rebind() {
    bind();
    control_.setWritable(writable());
    load();
}

void FieldLink::fieldChanged(const Field& changedField) {
    if (&changedField == field()) {
        load();
    }
}

void FieldLink::focusField(const Field& wanted) {
    if (&wanted == field()) {
        control_.widget().setFocus(Qt::OtherFocusReason);
    }
}

}  // namespace quorvel::ui
