// The two ways a failure reaches the user without the program's own words: the default error
// handler's box, and the start-up failure report.
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTest>

#include <optional>
#include <stdexcept>

#include "DefaultErrorHandler.h"
#include "Exceptions.h"
#include "StartupFailureReport.h"
#include "UiTestSupport.h"

using namespace quorvel::ui;

namespace {

// What a message box showed, read while it was up.
struct ShownBox {
    QString caption;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QList<QMessageBox::StandardButton> buttons;
    Qt::TextFormat format = Qt::AutoText;
    QWidget* owner = nullptr;
    bool applicationModal = false;
    QWidget* mouseGrabber = nullptr;
};

// Reads the next message box that comes up and answers it with OK.
void readAndAnswerNextBox(std::optional<ShownBox>& shown) {
    test::whenActive<QMessageBox>([&shown](QMessageBox* box) {
        ShownBox read{box->windowTitle(),
                      box->text(),
                      box->icon(),
                      {},
                      box->textFormat(),
                      box->parentWidget(),
                      QApplication::activeModalWidget() == box &&
                          box->windowModality() == Qt::ApplicationModal,
                      QWidget::mouseGrabber()};
        for (QAbstractButton* button : box->buttons()) {
            read.buttons << box->standardButton(button);
        }
        shown = read;
        box->button(QMessageBox::Ok)->click();
    });
}

const QRegularExpression StartupHeader(
    "^Exception (\\S+) in module ErrorReportTest at ([0-9A-F]{8})\\.\\n");

}  // namespace

class ErrorReportTest : public QObject {
    Q_OBJECT

  private:
    std::optional<test::Watchdog> watchdog_;

  private slots:
    void init() { watchdog_.emplace(); }
    void cleanup() {
        watchdog_.reset();
        QVERIFY2(test::hideLeftWindows().isEmpty(), "a window was left on screen");
    }

    void defaultHandlerShowsTheMessageWithAFullStop_data() {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("shown");
        QTest::newRow("letter") << "Table does not exist"
                                << "Table does not exist.";
        QTest::newRow("question mark") << "Je soubor otevřen?"
                                       << "Je soubor otevřen?.";
        QTest::newRow("exclamation mark") << "Chyba!"
                                          << "Chyba!";
        QTest::newRow("full stop") << "Chyba."
                                   << "Chyba.";
        QTest::newRow("parenthesis") << "Chyba (qv)"
                                     << "Chyba (qv)";
        QTest::newRow("looks like markup") << "<b>qv</b>"
                                           << "<b>qv</b>.";
        QTest::newRow("empty") << ""
                               << "";
    }
    void defaultHandlerShowsTheMessageWithAFullStop() {
        QFETCH(QString, message);
        QFETCH(QString, shown);
        std::optional<ShownBox> box;
        readAndAnswerNextBox(box);
        handleEscapedFailure(quorvel::EDatabaseError(message.toStdString()));
        QVERIFY(box);
        QCOMPARE(box->caption, QString("Errorreporttest"));  // the title made from our name
        QCOMPARE(box->text, shown);
        QCOMPARE(box->format, Qt::PlainText);
        QCOMPARE(box->icon, QMessageBox::Critical);
        QCOMPARE(box->buttons, QList<QMessageBox::StandardButton>{QMessageBox::Ok});
        QCOMPARE(box->owner, nullptr);
        QCOMPARE(lastEscapedFailureText(), shown);
    }

    void abortShowsNothing() {
        const QString before = lastEscapedFailureText();
        QElapsedTimer elapsed;
        elapsed.start();
        handleEscapedFailure(quorvel::EAbort());
        QVERIFY(elapsed.elapsed() < 5000);  // no box waited to be answered
        QCOMPARE(lastEscapedFailureText(), before);
    }

    void otherWindowsAreBlockedAndTheFocusComesBack() {
        QWidget main;
        auto* first = new QLineEdit(&main);
        auto* second = new QLineEdit(&main);
        second->move(0, 40);
        main.show();
        second->setFocus();
        QVERIFY(QTest::qWaitForWindowActive(&main));
        second->grabMouse();
        std::optional<ShownBox> box;
        readAndAnswerNextBox(box);
        handleEscapedFailure(std::runtime_error("Disk full"));
        QVERIFY(box);
        QVERIFY(box->applicationModal);
        QCOMPARE(box->mouseGrabber, nullptr);
        QTRY_COMPARE(QApplication::activeWindow(), &main);
        QCOMPARE(QApplication::focusWidget(), second);
        QVERIFY(first->isEnabled());
    }

    void runHandlerHandsAnEscapingFailureOn() {
        std::optional<ShownBox> box;
        readAndAnswerNextBox(box);
        bool after = false;
        runHandler([] { throw std::runtime_error("Disk full"); });
        runHandler([&] { after = true; });
        QVERIFY(box);
        QCOMPARE(box->text, QString("Disk full."));
        QVERIFY(after);
    }

    void startupText_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("body");
        QTest::newRow("database error") << "EDatabaseError"
                                        << "Table does not exist"
                                        << "Table does not exist.";
        QTest::newRow("no result set") << "ENoResultSet"
                                       << "Query1: No result!"
                                       << "Query1: No result!.";
        QTest::newRow("full stop kept") << "EDatabaseError"
                                        << "Chyba."
                                        << "Chyba.";
        QTest::newRow("empty message") << "EDatabaseError"
                                       << ""
                                       << "";
        QTest::newRow("foreign failure") << "std::runtime_error"
                                         << "Disk full"
                                         << "Disk full.";
    }
    void startupText() {
        QFETCH(QString, kind);
        QFETCH(QString, message);
        QFETCH(QString, body);
        const std::string what = message.toStdString();
        QString text;
        quint32 raisedAt = 0;
        if (kind == "EDatabaseError") {
            const quorvel::EDatabaseError failure(what);
            text = startupFailureText(failure, "ErrorReportTest");
            raisedAt = quint32(failure.raiseAddress());
        } else if (kind == "ENoResultSet") {
            const quorvel::ENoResultSet failure(what);
            text = startupFailureText(failure, "ErrorReportTest");
            raisedAt = quint32(failure.raiseAddress());
        } else {
            text = startupFailureText(std::runtime_error(what), "ErrorReportTest");
        }
        const QRegularExpressionMatch header = StartupHeader.match(text);
        QVERIFY2(header.hasMatch(), qPrintable(text));
        QCOMPARE(header.captured(1), kind);
        QCOMPARE(header.captured(2).toUInt(nullptr, 16), raisedAt);
        QCOMPARE(text.mid(header.capturedLength()), body);
    }

    void startupTextIsCutTo1023Characters_data() {
        QTest::addColumn<QString>("message");
        QTest::newRow("ASCII") << QString(2000, 'x');
        QTest::newRow("Czech letters") << QString(2000, u'ř');
        QTest::newRow("beyond the BMP") << QString("😀").repeated(2000);
        QTest::newRow("short") << QString("Table does not exist");
    }
    void startupTextIsCutTo1023Characters() {
        QFETCH(QString, message);
        const quorvel::EDatabaseError failure(message.toStdString());
        const QString text = startupFailureText(failure, "ErrorReportTest");
        const qsizetype header = StartupHeader.match(text).capturedLength();
        QVERIFY(header > 0);
        const QString whole = text.left(header) + message + '.';
        const qsizetype characters = text.toUcs4().size();
        QCOMPARE(characters, std::min<qsizetype>(whole.toUcs4().size(), 1023));
        QVERIFY(whole.startsWith(text));
        QVERIFY(!text.back().isHighSurrogate());
    }

    void startupFailureBox() {
        const quorvel::EDatabaseError failure("Table does not exist!");
        std::optional<ShownBox> box;
        readAndAnswerNextBox(box);
        showStartupFailure(failure);
        QVERIFY(box);
        QCOMPARE(box->caption, QString("Application Error"));
        QCOMPARE(box->text, startupFailureText(failure, "ErrorReportTest"));
        QVERIFY(box->text.endsWith("\nTable does not exist!."));
        QCOMPARE(box->format, Qt::PlainText);
        QCOMPARE(box->icon, QMessageBox::Critical);
        QCOMPARE(box->buttons, QList<QMessageBox::StandardButton>{QMessageBox::Ok});
        QCOMPARE(box->owner, nullptr);
    }
};

QUORVEL_UI_TEST_MAIN(ErrorReportTest)
#include "ErrorReportTest.moc"
