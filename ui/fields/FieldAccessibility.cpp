#include "fields/FieldAccessibility.h"

#include <QLabel>
#include <QRegularExpression>
#include <QStringList>

namespace quorvel::ui {

namespace {

// "*Tiskopis: (50)": the asterisk, the name, the colon and the limit in brackets, each but
// the name optional.
const QRegularExpression& labelForm() {
    static const QRegularExpression form(
        QStringLiteral(R"(^(\*?)\s*(.*?)\s*:?\s*(?:\((\d+)\))?\s*$)"));
    return form;
}

// Czech counts: 1 znak, 2 to 4 znaky, 0 and 5 on znaků.
QString characters(int count) {
    if (count == 1) {
        return QStringLiteral("%1 znak").arg(count);
    }
    if (count >= 2 && count <= 4) {
        return QStringLiteral("%1 znaky").arg(count);
    }
    return QStringLiteral("%1 znaků").arg(count);
}

// An access key's mark: an ampersand not doubled.
const QRegularExpression& accessKeyMark() {
    static const QRegularExpression mark(QStringLiteral("&(?!&)"));
    return mark;
}

}  // namespace

QString FieldAccessibility::nameFrom(const QString& labelText) {
    QString text = labelText;
    text.remove(accessKeyMark());
    return labelForm().match(text).captured(2);
}

QString FieldAccessibility::descriptionFrom(const QString& labelText) {
    const QRegularExpressionMatch parts = labelForm().match(labelText);
    QStringList description;
    if (!parts.captured(1).isEmpty()) {
        description << QStringLiteral("povinný údaj");
    }
    if (!parts.captured(3).isEmpty()) {
        description << QStringLiteral("nejvýše ") + characters(parts.captured(3).toInt());
    }
    QString text = description.join(QStringLiteral(", "));
    if (!text.isEmpty()) {
        text[0] = text[0].toUpper();
    }
    return text;
}

void FieldAccessibility::nameAfterLabel(QLabel& label, QWidget& field) {
    label.setBuddy(&field);
    field.setAccessibleName(nameFrom(label.text()));
    field.setAccessibleDescription(descriptionFrom(label.text()));
}

}  // namespace quorvel::ui
