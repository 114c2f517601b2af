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

// Every "column N "name"" of a list of them, and its "and", in Czech.
QString columnsFromLibrary(QString described) {
    static const QRegularExpression column(
        QStringLiteral("column \\d+ (\"[^\"]*\"|\\(no name\\))"));
    QString text;
    qsizetype end = 0;
    for (auto matches = column.globalMatch(described); matches.hasNext();) {
        const auto match = matches.next();
        text += described.mid(end, match.capturedStart() - end)
                    .replace(QStringLiteral(" and "), QStringLiteral(" a "));
        text += columnFromLibrary(match.captured());
        end = match.capturedEnd();
    }
    return text + described.mid(end);
}

// The header's, the guess's and a row's reasons; the library's text for any other.
QString headerReason(const QString& text) {
    static const QRegularExpression noField(
        QStringLiteral("^(.*) names? no field of the table; --ignore-extra leaves (it|them) out$"),
        QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression twice(QStringLiteral("^(.*) both name (\\w+)$"),
                                          QRegularExpression::DotMatchesEverythingOption);
    if (const auto match = noField.match(text); match.hasMatch()) {
        return QStringLiteral(
                   "%1 nepatří žádnému poli; zaškrtnutím „Vynechat sloupce, které "
                   "nepatří žádnému poli“ se vynechá%2")
            .arg(columnsFromLibrary(match.captured(1)),
                 match.captured(2) == QLatin1String("it") ? QString() : QStringLiteral("jí"));
    }
    if (const auto match = twice.match(text); match.hasMatch()) {
        return QStringLiteral("%1 patří témuž poli %2")
            .arg(columnsFromLibrary(match.captured(1)), captionOf(match.captured(2)));
    }
    if (text.startsWith(QLatin1String("no column holds "))) {
        return QStringLiteral(
            "žádný sloupec nenese tiskopis, který potřebuje každý záznam: "
            "pojmenujte ho například „Tiskopis“ nebo „Název“");
    }
    if (text.startsWith(QLatin1String("the file is empty"))) {
        return QStringLiteral("soubor je prázdný, nemá ani záhlaví");
    }
    if (text.startsWith(QLatin1String("can't tell the delimiter"))) {
        return QStringLiteral("oddělovač polí nelze zjistit, zvolte ho (%1)").arg(text);
    }
    if (text.startsWith(QLatin1String("can't tell")) ||
        text.startsWith(QLatin1String("the header holds NUL bytes"))) {
        return QStringLiteral("kódování souboru nelze zjistit, zvolte ho (%1)").arg(text);
    }
    // The import refuses a row for the reasons the preview does.
    return rowReason(text.toStdString());
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

QString fileReason(const std::string& failure, const std::filesystem::path& file) {
    QString text = QString::fromStdString(failure);
    const QString name = QString::fromStdString(file.string()) + QLatin1Char(':');
    if (text.startsWith(name)) {
        text = text.mid(name.size()).trimmed();
    }
    static const QRegularExpression line(QStringLiteral("^(\\d+): (.*)$"),
                                         QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression sheetRow(QStringLiteral("^sheet \"(.*)\", row (\\d+): (.*)$"),
                                             QRegularExpression::DotMatchesEverythingOption);
    if (const auto match = line.match(text); match.hasMatch()) {
        return QStringLiteral("řádek %1: %2")
            .arg(match.captured(1), headerReason(match.captured(2)));
    }
    if (const auto match = sheetRow.match(text); match.hasMatch()) {
        return QStringLiteral("list „%1“, řádek %2: %3")
            .arg(match.captured(1), match.captured(2), headerReason(match.captured(3)));
    }
    return headerReason(text);
}

}  // namespace quorvel::ui
