// What a control bound to one field of the record set does for its FieldLink: show the field's
// text, give back its own text for writing, and follow the set between read-only and writable.
#pragma once

#include <QString>

class QWidget;

namespace quorvel::ui {

class BoundControl {
  public:
    virtual ~BoundControl() = default;

    virtual QWidget& widget() = 0;
    // Shows text, the field's value as the record set gives it (empty without a field).
    virtual void showFieldText(const QString& text) = 0;
    // The control's text in the form the field stores it.
    virtual QString textToWrite() const = 0;
    virtual void setWritable(bool writable) = 0;
    // The control kept the focus after its write-back failed; it sets its selection.
    virtual void exitRefused() = 0;
};

}  // namespace quorvel::ui
