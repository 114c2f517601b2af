// Names a field of a window after the label beside it, as a screen reader user needs to tell
// the fields apart. A label such as "*Tiskopis: (50)" gives the name "Tiskopis" and the
// description "Povinný údaj, nejvýše 50 znaků": the asterisk marks a field that must be
// filled, the number in brackets the most characters the field takes.
#pragma once

#include <QString>

class QLabel;
class QWidget;

namespace quorvel::ui {

class FieldAccessibility {
  public:
    // The name and description a label's text gives.
    static QString nameFrom(const QString& labelText);
    static QString descriptionFrom(const QString& labelText);

    // Makes label the field's buddy (the field takes the label's access key, if it has one) and
    // gives the field the label's name and description.
    static void nameAfterLabel(QLabel& label, QWidget& field);
};

}  // namespace quorvel::ui
