// Print: the printer document goes to a PDF file in place of the default queue and is read back
// (pdftotext leaves out what falls off a page), and once the whole way through a private CUPS
// server (cups-pdf-server.sh) whose default queue is a cups-pdf printer.
#include "fakes.h"

#include <frmeditor.h>

#include <QAction>
#include <QDir>
#include <QPlainTextEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// What a program writes, ligatures such as U+FB01 taken apart.
static QString output(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(30000);
    return QString::fromUtf8(process.readAllStandardOutput())
        .normalized(QString::NormalizationForm_KC);
}

class TestPrint : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    const QString m_pdf = m_dir.filePath(QStringLiteral("printed.pdf"));
    std::unique_ptr<editor::frmEditor> m_editor;

    void print(const QString& text)
    {
        m_editor->setText(text);
        m_editor->print->trigger();
    }

    // Ends the document, as the program's end does, and reads its text back: pages end in \f.
    QString printed(const QStringList& options = { QStringLiteral("-layout") })
    {
        runtime::runProgramEndHooks();
        return output(QStringLiteral("pdftotext"), options + QStringList { m_pdf, "-" });
    }

    // Runs the server script, which bounds its own waits; its exit status, its complaint.
    int server(const QString& action, QString* errors = nullptr)
    {
        QProcess script;
        script.start(QStringLiteral("/bin/sh"),
            { BRINDLEHOF_TESTS_DIR "/cups-pdf-server.sh", action, m_dir.path() });
        const bool finished = script.waitForFinished(90000);
        if (errors)
            *errors = QString::fromLocal8Bit(script.readAllStandardError()).trimmed();
        return finished && script.exitStatus() == QProcess::NormalExit ? script.exitCode() : -1;
    }

private slots:
    void initTestCase()
    {
        // The private server's socket, there only while it runs: no other printer is ever reached,
        // not from the environment nor from a ~/.cups/lpoptions.
        qputenv("CUPS_SERVER", m_dir.filePath(QStringLiteral("cups.sock")).toLocal8Bit());
        qputenv("HOME", m_dir.path().toLocal8Bit());
        qunsetenv("PRINTER");
        qunsetenv("LPDEST");
    }

    void init()
    {
        runtime::runProgramEndHooks();
        runtime::setPrinterPdfFile(m_pdf);
        m_editor = std::make_unique<editor::frmEditor>();
        m_editor->show();
    }

    // Exit ends the event loop and the document, as in the program.
    void printTwiceAndExitSendOneJobToTheDefaultQueue()
    {
        QString errors;
        const int status = server(QStringLiteral("start"), &errors);
        if (status == 77)
            QSKIP(qPrintable(errors));
        QVERIFY2(status == 0, qPrintable(errors));
        const auto stop = qScopeGuard([&] { QCOMPARE(server(QStringLiteral("stop")), 0); });
        runtime::setPrinterPdfFile({});
        ScriptedDialogs dialogs;
        QTimer::singleShot(0, this, [&] {
            print(QStringLiteral("first print\r\n\tLD A,1"));
            print(QStringLiteral("second print"));
            m_editor->exit->trigger();
        });
        QTimer::singleShot(60000, [] { QCoreApplication::exit(99); });
        QCOMPARE(QCoreApplication::exec(), 0);
        QCOMPARE(dialogs.messages, QStringList());
        QTRY_VERIFY_WITH_TIMEOUT(
            output("lpstat", { "-o" }).isEmpty(), 60000); // the PDF is written by then
        QCOMPARE(output("lpstat", { "-W", "all", "-o" }).count(u'\n'), 1);
        const QDir out(m_dir.filePath(QStringLiteral("out")));
        const QStringList files = out.entryList({ QStringLiteral("*.pdf") }); // named by cups-pdf
        QCOMPARE(files.size(), 1);
        QCOMPARE(output("pdftotext", { out.filePath(files.first()), "-" }),
            QStringLiteral("first print\nLD A,1\nsecond print\n\n\f"));
    }

    void onePrintPutsTheLinesOnThePageInColumns()
    {
        // Narrow and wide letters line up in a fixed pitch; tabs reach the next multiple of 8.
        ScriptedDialogs dialogs;
        print(QStringLiteral("loop:\tdjnz loop\r\nWWWWWWW ld a,b\r\n\r\niiiiiii\tret"));
        QCOMPARE(printed(), QStringLiteral("loop:   djnz loop\nWWWWWWW ld a,b\n\niiiiiii ret\n\f"));
        QCOMPARE(dialogs.messages, QStringList());
    }

    void printsAppendToOneDocumentAnEmptyEditorALineEnd()
    {
        print(QStringLiteral("first"));
        print(QString());
        print(QStringLiteral("second"));
        QCOMPARE(printed(), QStringLiteral("first\n\nsecond\n\f"));
    }

    void aLongLineWrapsAtThePageWidth_data()
    {
        QTest::addColumn<QString>("line");
        QStringList words;
        for (int i = 1; i <= 60; ++i)
            words.append(QStringLiteral("w%1").arg(i, 2, 10, QLatin1Char('0')));
        QTest::newRow("words") << words.join(u' ');
        QTest::newRow("one word wider than the page") << QStringLiteral("ABCDEFGHIJ").repeated(30);
    }

    void aLongLineWrapsAtThePageWidth()
    {
        QFETCH(QString, line);
        print(line);
        const QString text = printed({});
        QVERIFY2(text.split(u'\n', Qt::SkipEmptyParts).size() >= 3, qPrintable(text));
        QCOMPARE(text.simplified().remove(u' ').remove(u'\f'), QString(line).remove(u' '));
    }

    void manyLinesMakeNewPages()
    {
        QStringList lines;
        for (int i = 1; i <= 150; ++i)
            lines.append(QStringLiteral("line %1").arg(i, 3, 10, QLatin1Char('0')));
        print(lines.join(QLatin1String("\r\n")));
        const QString text = printed({});
        QCOMPARE(text.count(u'\f'), 3); // about 64 lines a page
        QCOMPARE(
            text.split(QRegularExpression(QStringLiteral("[\n\f]")), Qt::SkipEmptyParts), lines);
    }

    void withoutADefaultPrinterPrintShowsError482AndTheEditorGoesOn()
    {
        runtime::setPrinterPdfFile({});
        ScriptedDialogs dialogs;
        print(QStringLiteral("kept"));
        m_editor->print->trigger();
        const QString shown = QStringLiteral("Run-time error '482':\n\nPrinter error");
        QCOMPARE(dialogs.messages, QStringList({ shown, shown }));
        QCOMPARE(QApplication::overrideCursor(), nullptr);
        m_editor->x->moveCursor(QTextCursor::End);
        QTest::keyClicks(m_editor->x, QStringLiteral(" on"));
        QCOMPARE(m_editor->text(), QStringLiteral("kept on"));
    }
};

QTEST_MAIN(TestPrint)
#include "tst_print.moc"
