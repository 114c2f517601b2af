#include "import/ImportReasons.h"

#include <QRegularExpression>

#include "engine/CatalogueSchema.h"
#include "lists/CsvColumns.h"
#include "text/CzechPlural.h"

namespace quorvel::ui {

namespace {

QString count(const QString& digits, const char* one, const char* few, const char* many) {
    return QString::fromStdString(czechCount(digits.toULongLong(), one, few, many));
}

// The caption of the field the library names by its field name; the name itself if none is.
QString captionOf(const QString& fieldName) {
    for (std::size_t field = 0; field < schema::columns.size(); ++field) {
        if (fieldName == QLatin1String(schema::columns[field].fieldName)) {
            return fieldCaption(field);
        }
    }
    return fieldName;
}

// "column 2 "Číslo"" or "column 3 (no name)", as CsvColumns::describe words it.
QString columnFromLibrary(const QString& described) {
    static const QRegularExpression named(QStringLiteral("^column (\\d+) \"(.*)\"$"),
                                          QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression unnamed(QStringLiteral("^column (\\d+) \\(no name\\)$"));
    if (const auto match = named.match(described); match.hasMatch()) {
        return columnText(match.captured(1).toULongLong() - 1, match.captured(2).toStdString());
    }
    if (const auto match = unnamed.match(described); match.hasMatch()) {
        return columnText(match.captured(1).toULongLong() - 1, {});
    }
    return described;
}

}  // namespace

QString fieldCaption(std::size_t field) {
    return QString::fromUtf8(tools::fieldNames[field][1]);
}

QString columnText(std::size_t column, const std::string& name) {
    const QString number = QStringLiteral("sloupec %1").arg(column + 1);
    return name.empty() ? number + QStringLiteral(" (bez názvu)")
                        : number + QStringLiteral(" „%1“").arg(QString::fromStdString(name));
}

QString rowReason(const std::string& reason) {
    const QString text = QString::fromStdString(reason);
    static const QRegularExpression fields(QStringLiteral("^(\\d+) fields?, not (\\d+)$"));
    static const QRegularExpression extra(
        QStringLiteral("^(.*) holds a value but names no field; .*$"),
        QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression noTitle(
        QStringLiteral("^(\\w+) is (empty|a single space): a title is required$"));
    static const QRegularExpression tooLong(
        QStringLiteral("^(\\w+) has (\\d+) characters, more than (\\d+)$"));
    static const QRegularExpression nul(QStringLiteral("^(\\w+) holds a NUL character$"));
    if (const auto match = fields.match(text); match.hasMatch()) {
        return QStringLiteral("řádek má %1, záhlaví %2")
            .arg(count(match.captured(1), "pole", "pole", "polí"),
                 count(match.captured(2), "sloupec", "sloupce", "sloupců"));
    }
    if (const auto match = extra.match(text); match.hasMatch()) {
        return QStringLiteral("%1 má hodnotu, ale nepatří žádnému poli")
            .arg(columnFromLibrary(match.captured(1)));
    }
    if (const auto match = noTitle.match(text); match.hasMatch()) {
        return QStringLiteral("%1 je %2: každý záznam musí mít tiskopis")
            .arg(captionOf(match.captured(1)), match.captured(2) == QLatin1String("empty")
                                                   ? QStringLiteral("prázdný")
                                                   : QStringLiteral("jediná mezera"));
    }
    if (const auto match = tooLong.match(text); match.hasMatch()) {
        return QStringLiteral("%1 má %2, smí mít nejvýš %3")
            .arg(captionOf(match.captured(1)), count(match.captured(2), "znak", "znaky", "znaků"),
                 match.captured(3));
    }
    if (const auto match = nul.match(text); match.hasMatch()) {
        return QStringLiteral("%1 obsahuje znak NUL").arg(captionOf(match.captured(1)));
    }
    return text;
}

}  // namespace quorvel::ui
