// The two full-stop rules applied to failure messages before they are shown.
#include <QTest>

#include "messages/FullStop.h"

using quorvel::ui::withHandlerFullStop;
using quorvel::ui::withStartupFullStop;

class FullStopTest : public QObject {
    Q_OBJECT

  private slots:
    void handlerRule_data() {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("shown");
        QTest::newRow("letter") << "Table not found"
                                << "Table not found.";
        QTest::newRow("capital") << "Chyba X"
                                 << "Chyba X.";
        QTest::newRow("accented letter") << "Tabulka je zamčená"
                                         << "Tabulka je zamčená.";
        QTest::newRow("accented capital") << "Soubor Ž"
                                          << "Soubor Ž.";
        QTest::newRow("question mark") << "Is it open?"
                                       << "Is it open?.";
        QTest::newRow("colon") << "Table:"
                               << "Table:.";
        QTest::newRow("bracket") << "[qv]"
                                 << "[qv].";
        QTest::newRow("digit") << "Code 1"
                               << "Code 1.";
        QTest::newRow("slash, just above the full stop") << "C:/"
                                                         << "C:/.";
        QTest::newRow("full stop") << "Done."
                                   << "Done.";
        QTest::newRow("exclamation mark") << "Chyba!"
                                          << "Chyba!";
        QTest::newRow("comma") << "a,"
                               << "a,";
        QTest::newRow("closing parenthesis") << "(qv)"
                                             << "(qv)";
        QTest::newRow("hyphen") << "a -"
                                << "a -";
        QTest::newRow("space") << "a "
                               << "a ";
        QTest::newRow("line break") << "a\r\n"
                                    << "a\r\n";
        QTest::newRow("empty") << ""
                               << "";
    }
    void handlerRule() {
        QFETCH(QString, message);
        QFETCH(QString, shown);
        QCOMPARE(withHandlerFullStop(message), shown);
    }

    void startupRule_data() {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("shown");
        QTest::newRow("letter") << "Table not found"
                                << "Table not found.";
        QTest::newRow("exclamation mark") << "Chyba!"
                                          << "Chyba!.";
        QTest::newRow("closing parenthesis") << "(qv)"
                                             << "(qv).";
        QTest::newRow("space") << "a "
                               << "a .";
        QTest::newRow("full stop") << "Done."
                                   << "Done.";
        QTest::newRow("empty") << ""
                               << "";
    }
    void startupRule() {
        QFETCH(QString, message);
        QFETCH(QString, shown);
        QCOMPARE(withStartupFullStop(message), shown);
    }
};

QTEST_APPLESS_MAIN(FullStopTest)
#include "FullStopTest.moc"
