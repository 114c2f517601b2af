#include "import/ImportPreviewDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <utility>

#include "import/ImportReasons.h"
#include "import/ImportRefusalsModel.h"
#include "text/CzechPlural.h"

namespace quorvel::ui {

namespace {

using tools::CsvEncoding;

const std::pair<CsvEncoding, const char*> encodings[] = {{CsvEncoding::Utf8, "UTF-8"},
                                                         {CsvEncoding::Utf16LE, "UTF-16LE"},
                                                         {CsvEncoding::Utf16BE, "UTF-16BE"},
                                                         {CsvEncoding::Windows1250, "Windows-1250"},
                                                         {CsvEncoding::Iso8859_2, "ISO-8859-2"}};

// A delimiter's name, and the words "fields separated by" take it in.
struct Delimiter {
    char character;
    const char* name;
    const char* separatedBy;
};
const Delimiter delimiters[] = {
    {',', "čárka", "čárkou"}, {';', "středník", "středníkem"}, {'\t', "tabulátor", "tabulátorem"}};

const QString guessed = QStringLiteral("zjistit ze souboru");

QLabel* heading(const QString& text, QWidget* buddy, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setBuddy(buddy);
    return label;
}

QTableWidgetItem* cell(const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setToolTip(text);
    return item;
}

}  // namespace

ImportPreviewDialog::ImportPreviewDialog(std::filesystem::path file, QWidget* parent)
    : QDialog(parent), file_(std::move(file)) {
    setObjectName(QStringLiteral("ImportPreview1"));
    setWindowTitle(QStringLiteral("Importovat seznam"));
    setSizeGripEnabled(true);
    resize(760, 580);
    buildControls();
    reload();
    connect(encoding_, &QComboBox::currentIndexChanged, this, [this] { reload(); });
    connect(delimiter_, &QComboBox::currentIndexChanged, this, [this] { reload(); });
    connect(ignoreExtra_, &QCheckBox::toggled, this, [this] { reload(); });
}

ImportPreviewDialog::~ImportPreviewDialog() = default;

void ImportPreviewDialog::buildControls() {
    auto* layout = new QVBoxLayout(this);
    auto* file =
        new QLabel(QStringLiteral("Soubor: %1").arg(QString::fromStdString(file_.string())), this);
    file->setTextInteractionFlags(Qt::TextSelectableByMouse);
    file->setWordWrap(true);
    layout->addWidget(file);

    auto* choices = new QHBoxLayout;
    encoding_ = new QComboBox(this);
    encoding_->setObjectName(QStringLiteral("Encoding"));
    encoding_->addItem(guessed);
    for (const auto& [encoding, name] : encodings) {
        encoding_->addItem(QString::fromLatin1(name), static_cast<int>(encoding));
    }
    delimiter_ = new QComboBox(this);
    delimiter_->setObjectName(QStringLiteral("Delimiter"));
    delimiter_->addItem(guessed);
    for (const Delimiter& delimiter : delimiters) {
        delimiter_->addItem(QString::fromUtf8(delimiter.name), delimiter.character);
    }
    choices->addWidget(heading(QStringLiteral("&Kódování:"), encoding_, this));
    choices->addWidget(encoding_);
    choices->addSpacing(16);
    choices->addWidget(heading(QStringLiteral("&Oddělovač polí:"), delimiter_, this));
    choices->addWidget(delimiter_);
    choices->addStretch();
    layout->addLayout(choices);
    ignoreExtra_ =
        new QCheckBox(QStringLiteral("&Vynechat sloupce, které nepatří žádnému poli"), this);
    ignoreExtra_->setObjectName(QStringLiteral("IgnoreExtra"));
    layout->addWidget(ignoreExtra_);
    form_ = new QLabel(this);
    form_->setObjectName(QStringLiteral("Form"));
    form_->setWordWrap(true);
    layout->addWidget(form_);

    columns_ = new QTableWidget(static_cast<int>(schema::columns.size()), 2, this);
    columns_->setObjectName(QStringLiteral("Columns"));
    columns_->setHorizontalHeaderLabels(
        {QStringLiteral("Pole"), QStringLiteral("Sloupec souboru")});
    columns_->verticalHeader()->hide();
    columns_->horizontalHeader()->setStretchLastSection(true);
    columns_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    columns_->setSelectionMode(QAbstractItemView::NoSelection);
    columns_->setColumnWidth(0, 180);
    columns_->setFixedHeight(columns_->horizontalHeader()->sizeHint().height() +
                             static_cast<int>(schema::columns.size()) *
                                 columns_->verticalHeader()->defaultSectionSize() +
                             2 * columns_->frameWidth());
    layout->addWidget(heading(QStringLiteral("&Sloupce:"), columns_, this));
    layout->addWidget(columns_);
    leftOut_ = new QLabel(this);
    leftOut_->setObjectName(QStringLiteral("LeftOut"));
    leftOut_->setWordWrap(true);
    layout->addWidget(leftOut_);

    rows_ = new QTableWidget(0, static_cast<int>(schema::columns.size()) + 1, this);
    rows_->setObjectName(QStringLiteral("Rows"));
    QStringList titles{QStringLiteral("Místo")};
    for (std::size_t field = 0; field < schema::columns.size(); ++field) {
        titles << fieldCaption(field);
    }
    rows_->setHorizontalHeaderLabels(titles);
    rows_->verticalHeader()->hide();
    rows_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    rows_->setWordWrap(false);
    layout->addWidget(heading(QStringLiteral("&První řádky, jak budou uloženy:"), rows_, this));
    layout->addWidget(rows_, 3);

    refusalsModel_ = new ImportRefusalsModel(this);
    refusals_ = new QListView(this);
    refusals_->setObjectName(QStringLiteral("Refusals"));
    refusals_->setModel(refusalsModel_);
    refusals_->setUniformItemSizes(true);
    refusals_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    layout->addWidget(heading(QStringLiteral("O&dmítnuté řádky:"), refusals_, this));
    layout->addWidget(refusals_, 2);

    count_ = new QLabel(this);
    count_->setObjectName(QStringLiteral("Count"));
    count_->setWordWrap(true);
    count_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(count_);

    auto* buttons = new QDialogButtonBox(this);
    import_ = buttons->addButton(QStringLiteral("&Importovat"), QDialogButtonBox::AcceptRole);
    import_->setObjectName(QStringLiteral("Import"));
    QPushButton* cancel =
        buttons->addButton(QStringLiteral("Storno"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("Cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

tools::CsvReadOptions ImportPreviewDialog::options() const {
    tools::CsvReadOptions options;
    options.ignoreExtra = ignoreExtra_->isChecked();
    if (encoding_->currentIndex() > 0) {
        options.encoding = static_cast<CsvEncoding>(encoding_->currentData().toInt());
    }
    if (delimiter_->currentIndex() > 0) {
        options.delimiter = static_cast<char>(delimiter_->currentData().toInt());
    }
    return options;
}

void ImportPreviewDialog::reload() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    refusalsModel_->show(nullptr);
    preview_ = std::make_unique<ImportPreview>(file_, options());
    QApplication::restoreOverrideCursor();
    showForm();
    showColumns();
    showRows();
    refusalsModel_->show(preview_.get());
    showCount();
}

void ImportPreviewDialog::showForm() {
    // A workbook's cells carry their text: there is nothing to choose.
    const bool workbook = preview_->sheet().has_value();
    encoding_->setEnabled(!workbook);
    delimiter_->setEnabled(!workbook);
    if (workbook) {
        form_->setText(QStringLiteral("Sešit tabulkového programu, čte se jeho list „%1“.")
                           .arg(*preview_->sheet()));
        return;
    }
    if (!preview_->failure().isEmpty() && preview_->rows() == 0 &&
        preview_->sources()[0].isEmpty()) {
        form_->clear();
        return;
    }
    const tools::CsvInputDialect& dialect = preview_->dialect();
    QString encoding;
    for (const auto& [candidate, name] : encodings) {
        encoding = candidate == dialect.encoding ? QString::fromLatin1(name) : encoding;
    }
    QString separatedBy;
    for (const Delimiter& delimiter : delimiters) {
        separatedBy = delimiter.character == dialect.delimiter
                          ? QString::fromUtf8(delimiter.separatedBy)
                          : separatedBy;
    }
    const QString found = QStringLiteral(" (zjištěno ze souboru)");
    form_->setText(QStringLiteral("Čte se v kódování %1%2, pole oddělená %3%4.")
                       .arg(encoding, encoding_->currentIndex() == 0 ? found : QString(),
                            separatedBy, delimiter_->currentIndex() == 0 ? found : QString()));
}

void ImportPreviewDialog::showColumns() {
    for (std::size_t field = 0; field < schema::columns.size(); ++field) {
        const int row = static_cast<int>(field);
        const QString& source = preview_->sources()[field];
        columns_->setItem(row, 0, cell(fieldCaption(field)));
        columns_->setItem(row, 1,
                          cell(!preview_->failure().isEmpty() ? QString()
                               : source.isEmpty() ? QStringLiteral("žádný: pole zůstane prázdné")
                                                  : source));
    }
    leftOut_->setText(preview_->leftOut().isEmpty()
                          ? QString()
                          : QStringLiteral("Vynechané sloupce: %1")
                                .arg(preview_->leftOut().join(QStringLiteral(", "))));
    leftOut_->setVisible(!preview_->leftOut().isEmpty());
}

void ImportPreviewDialog::showRows() {
    const std::vector<PreviewRow>& shown = preview_->firstRows();
    rows_->setRowCount(static_cast<int>(shown.size()));
    for (std::size_t index = 0; index < shown.size(); ++index) {
        const int row = static_cast<int>(index);
        rows_->setItem(row, 0, cell(shown[index].place));
        for (std::size_t field = 0; field < schema::columns.size(); ++field) {
            rows_->setItem(row, static_cast<int>(field) + 1, cell(shown[index].fields[field]));
        }
    }
    rows_->resizeColumnsToContents();
    for (int column = 0; column < rows_->columnCount(); ++column) {
        rows_->setColumnWidth(column, std::min(rows_->columnWidth(column), 260));
    }
}

void ImportPreviewDialog::showCount() {
    const ImportPreview& preview = *preview_;
    QString text;
    if (!preview.failure().isEmpty()) {
        text = QStringLiteral("Soubor nelze importovat: %1").arg(preview.failure());
    } else if (!preview.refusals().empty()) {
        text = QStringLiteral(
                   "Řádků: %1, odmítnutých: %2. Dokud soubor obsahuje odmítnuté řádky, "
                   "import nepřidá žádný z nich.")
                   .arg(preview.rows())
                   .arg(preview.refusals().size());
    } else if (preview.rows() == 0) {
        text = QStringLiteral("Soubor neobsahuje žádný řádek k importu.");
    } else {
        text = QStringLiteral("Bude importováno: %1.")
                   .arg(QString::fromStdString(
                       czechCount(preview.rows(), "výtisk", "výtisky", "výtisků")));
    }
    if (preview.emptyRows() > 0) {
        text += QStringLiteral(" Prázdné řádky se přeskočí: %1.").arg(preview.emptyRows());
    }
    count_->setText(text);
    import_->setEnabled(preview.importable());
    import_->setDefault(preview.importable());
}

}  // namespace quorvel::ui
