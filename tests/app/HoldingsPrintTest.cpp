// The holdings page printed as a collector prints it: headless Chromium prints it to PDF, and
// poppler's pdftoppm and pdftotext give its pages as PNG and its words with their boxes. The
// paper is A4; a weekly's 52 columns print in cells of one width and its chart on one page; the
// index, numbered past a thousand, keeps every number whole; no two words lie over each other.
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <numeric>
#include <string>

#include "holdings/Holdings.h"
#include "report/HoldingsPage.h"

namespace quorvel::ui::test {

namespace {

QByteArray run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(600000);
    return process.readAllStandardOutput();
}

struct Box {
    double left, top, right, bottom;
    QString text;
};

// The words of each page with their boxes, in points.
QList<QList<Box>> wordsOf(const QString& pdf) {
    const QString html = QString::fromUtf8(run("pdftotext", {"-bbox", pdf, "-"}));
    QList<QList<Box>> pages;
    static const QRegularExpression item(
        R"re(<page |<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)<)re");
    for (auto match = item.globalMatch(html); match.hasNext();) {
        const QRegularExpressionMatch found = match.next();
        if (found.captured(0).startsWith("<page")) {
            pages.append(QList<Box>());
        } else if (!pages.isEmpty()) {
            pages.back().append({found.captured(1).toDouble(), found.captured(2).toDouble(),
                                 found.captured(3).toDouble(), found.captured(4).toDouble(),
                                 found.captured(5)});
        }
    }
    return pages;
}

}  // namespace

class HoldingsPrintTest : public QObject {
    Q_OBJECT

  private slots:
    void printsOnA4WithWholeChartsEvenCellsAndNoWordsOverEachOther() {
        // 1,150 titles with wrapping index lines, and a weekly with a whole year held.
        HoldingsGatherer gatherer;
        for (int i = 1; i <= 1150; ++i) {
            const std::string title = "Titul " + std::to_string(i) + " s dlouhým názvem";
            gatherer.add(title, std::to_string(i % 12 + 1) + "/" + std::to_string(1990 + i % 7));
            gatherer.add(title, "1/" + std::to_string(1990 + i % 5));
        }
        for (int year = 1990; year <= 1993; ++year) {
            for (int number = 1; number <= 52; ++number) {
                if (year == 1990 || (number * 7 + year) % 5 != 0) {
                    gatherer.add("Týdeník Věda",
                                 std::to_string(number) + "/" + std::to_string(year));
                }
            }
        }

        QTemporaryDir work;
        const QString html = work.filePath("prehled.html");
        QFile file(html);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray::fromStdString(holdingsPage(gatherer.finish(), "/sbirka")));
        file.close();
        const QString pdf = work.filePath("prehled.pdf");
        run(QUORVEL_CHROMIUM, {"--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
                               "--disable-background-networking", "--disable-component-update",
                               "--disable-sync", "--user-data-dir=" + work.filePath("profile"),
                               "--no-pdf-header-footer", "--print-to-pdf=" + pdf, html});
        QVERIFY2(QFile::exists(pdf), "Chromium printed nothing");

        const QList<QList<Box>> pages = wordsOf(pdf);
        QVERIFY(pages.size() > 10);
        int weeklyPage = -1;
        QStringList weeklyTexts;
        QList<int> markers;
        for (int p = 0; p < pages.size(); ++p) {
            const QList<Box>& words = pages[p];
            for (qsizetype a = 0; a < words.size(); ++a) {
                if (static const QRegularExpression marker(R"(^\d+\.$)");
                    marker.match(words[a].text).hasMatch()) {
                    markers << words[a].text.chopped(1).toInt();
                }
                // The weekly's heading, not its index entry ("1151. Týdeník Věda 1990–1993").
                if (words[a].text == "Týdeník" && (a == 0 || !words[a - 1].text.endsWith('.'))) {
                    weeklyPage = p;
                    for (const Box& word : words.mid(a)) {
                        weeklyTexts << word.text;
                    }
                }
                for (qsizetype b = a + 1; b < words.size(); ++b) {
                    const Box &one = words[a], &other = words[b];
                    const bool over =
                        std::min(one.right, other.right) - 0.5 > std::max(one.left, other.left) &&
                        std::min(one.bottom, other.bottom) - 0.5 > std::max(one.top, other.top);
                    QVERIFY2(!over, qPrintable(QString("page %1: \"%2\" over \"%3\"")
                                                   .arg(p + 1)
                                                   .arg(one.text, other.text)));
                }
            }
        }
        // Every index number whole, once: none cut at the paper's edge, and past a thousand.
        std::sort(markers.begin(), markers.end());
        QList<int> expected(1151);
        std::iota(expected.begin(), expected.end(), 1);
        QCOMPARE(markers, expected);
        // The weekly's chart whole on its page: its last year and its want list after it.
        QVERIFY2(weeklyPage >= 0, "no heading of the weekly");
        const qsizetype lastYear = weeklyTexts.indexOf("1993");
        QVERIFY2(lastYear >= 0 && lastYear < weeklyTexts.indexOf("Chybí:"),
                 "the weekly's chart goes on to the next page");

        // The weekly's 1990, held whole: 52 green cells of one width.
        const QString number = QString::number(weeklyPage + 1);
        run("pdftoppm",
            {"-png", "-r", "300", "-f", number, "-l", number, pdf, work.filePath("weekly")});
        const QStringList weekly = QDir(work.path()).entryList({"weekly-*.png"});
        QCOMPARE(weekly.size(), 1);
        const QImage image(work.filePath(weekly.front()));
        // A4 is 210 × 297 mm: 2480 × 3508 pixels at 300 to the inch.
        QVERIFY(std::abs(image.width() - 2480) <= 2 && std::abs(image.height() - 3508) <= 2);
        bool measured = false;
        for (int y = 0; y < image.height() && !measured; ++y) {
            QList<int> widths;
            int run = 0;
            for (int x = 0; x < image.width(); ++x) {
                const QRgb pixel = image.pixel(x, y);
                if (qGreen(pixel) > qRed(pixel) + 60 && qGreen(pixel) > qBlue(pixel) + 60) {
                    ++run;
                } else if (run > 0) {
                    widths << run;
                    run = 0;
                }
            }
            if (widths.size() == 52) {
                measured = true;
                const auto [narrowest, widest] = std::minmax_element(widths.begin(), widths.end());
                QVERIFY2(
                    *widest - *narrowest <= 2,
                    qPrintable(QString("cells %1 to %2 pixels wide").arg(*narrowest).arg(*widest)));
            }
        }
        QVERIFY2(measured, "no row of 52 held cells on the weekly's page");
    }
};

}  // namespace quorvel::ui::test

QTEST_GUILESS_MAIN(quorvel::ui::test::HoldingsPrintTest)
#include "HoldingsPrintTest.moc"
