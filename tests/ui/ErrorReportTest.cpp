// The two ways a failure reaches the user without the program's own words: the default error
// handler's box, and the start-up failure report.
#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QSet>
#include <QTest>

#include <optional>
#include <stdexcept>

#include "EDBEngineError.h"
#include "Exceptions.h"
#include "ModalDisplay.h"
#include "UiTestSupport.h"
#include "messages/DefaultErrorHandler.h"
#include "messages/StartupFailureReport.h"

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
    QRect frame;
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
                      QWidget::mouseGrabber(),
                      box->frameGeometry()};
        for (QAbstractButton* button : box->buttons()) {
            read.buttons << box->standardButton(button);
        }
        shown = read;
        box->button(QMessageBox::Ok)->click();
    });
}

const QRegularExpression StartupHeader(
    "^Exception (\\S+) in module ErrorReportTest at ([0-9A-F]{8})\\.\\n");

// Where addr2line puts a code location of this executable, as "file:line".
QString sourceLineOf(const QString& hexAddress) {
    QProcess addr2line;
    addr2line.start("addr2line",
                    {"-e", QCoreApplication::applicationFilePath(), "0x" + hexAddress});
    if (!addr2line.waitForFinished(30000)) {
        return "addr2line did not answer";
    }
    // "/path/file.cpp:123", perhaps followed by " (discriminator 2)".
    const QString answer = QString::fromLocal8Bit(addr2line.readAllStandardOutput()).trimmed();
    const QString location = answer.section(' ', 0, 0);
    return QFileInfo(location.section(':', 0, -2)).fileName() + ':' + location.section(':', -1);
}

// Each of these throw statements carries its own line in its message.
[[noreturn]] void raise(const QString& kind) {
    using namespace quorvel;
    if (kind == "EDatabaseError") {
        throw EDatabaseError("line " + std::to_string(__LINE__));
    } else if (kind == "ENoResultSet") {
        throw ENoResultSet("line " + std::to_string(__LINE__));
    } else if (kind == "EInvalidOperation") {
        throw EInvalidOperation("line " + std::to_string(__LINE__));
    } else if (kind == "EDBEngineError") {
        throw EDBEngineError(engine_code::ioError, {{0, 1, "line " + std::to_string(__LINE__)}});
    }
    throw EDBEngineError(engine_code::ioError, {{0, 1, "line " + std::to_string(__LINE__)}});
}

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
        new QLineEdit(&main);  // first in the tab order: where a lost focus would land
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
    }

    void otherWindowsCountAsDisabledWhileTheBoxIsUp() {
        QWidget main;
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        bool mainEnabledDuring = true, mainGreyedDuring = true;
        test::whenActive<QMessageBox>([&](QMessageBox* box) {
            mainEnabledDuring = isWindowEnabled(main);
            mainGreyedDuring = !main.isEnabled();
            box->button(QMessageBox::Ok)->click();
        });
        handleEscapedFailure(std::runtime_error("Disk full"));
        QVERIFY(!mainEnabledDuring);
        QVERIFY(!mainGreyedDuring);
        QVERIFY(isWindowEnabled(main));
    }

    // Under the two-screen configuration, on the active window's screen, whichever it is.
    void boxIsCentredOnTheActiveWindowsScreen() {
        for (QScreen* screen : QGuiApplication::screens()) {
            QWidget main;
            main.resize(200, 100);
            main.move(screen->geometry().topLeft() + QPoint(30, 30));
            main.show();
            main.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&main));
            QCOMPARE(main.screen(), screen);
            std::optional<ShownBox> box;
            readAndAnswerNextBox(box);
            handleEscapedFailure(std::runtime_error("Disk full"));
            QVERIFY(box);
            const QRect area = screen->geometry();
            QCOMPARE(box->frame.left(), area.left() + (area.width() - box->frame.width()) / 2);
            QCOMPARE(box->frame.top(), area.top() + (area.height() - box->frame.height()) / 2);
        }
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
        if (kind == "EDatabaseError") {
            text = startupFailureText(quorvel::EDatabaseError(what), "ErrorReportTest");
        } else if (kind == "ENoResultSet") {
            text = startupFailureText(quorvel::ENoResultSet(what), "ErrorReportTest");
        } else {
            text = startupFailureText(std::runtime_error(what), "ErrorReportTest");
        }
        const QRegularExpressionMatch header = StartupHeader.match(text);
        QVERIFY2(header.hasMatch(), qPrintable(text));
        QCOMPARE(header.captured(1), kind);
        // A failure of our own knows where it was raised; a foreign one doesn't.
        QCOMPARE(header.captured(2) == "00000000", kind == "std::runtime_error");
        QCOMPARE(text.mid(header.capturedLength()), body);
    }

    void codeLocationLeadsBackToTheThrowStatement() {
        QSet<QString> locations;
        const QStringList kinds{"EDatabaseError", "ENoResultSet", "EInvalidOperation",
                                "EDBEngineError", "EDBEngineError elsewhere"};
        for (const QString& kind : kinds) {
            try {
                raise(kind);
            } catch (const std::exception& failure) {
                const QString text = startupFailureText(failure, "ErrorReportTest");
                const QString location = StartupHeader.match(text).captured(2);
                const QString line = QRegularExpression("line (\\d+)\\.$").match(text).captured(1);
                QVERIFY2(!line.isEmpty(), qPrintable(text));
                QCOMPARE(sourceLineOf(location), "ErrorReportTest.cpp:" + line);
                locations << location;
            }
        }
        QCOMPARE(locations.size(), kinds.size());
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
