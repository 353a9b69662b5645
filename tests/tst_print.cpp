// Print: to a PDF file in place of the default queue, read back, and once through a real queue.
#include "fakes.h"

#include <frmeditor.h>

#include <QAction>
#include <QDir>
#include <QPlainTextEdit>
#include <QProcess>
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
    QString printed(const QString& pdf)
    {
        runtime::runProgramEndHooks();
        return output(QStringLiteral("pdftotext"), { "-layout", pdf, "-" });
    }

private slots:
    void init()
    {
        // The private server's socket, there only while it runs: no other printer is reached.
        qputenv("CUPS_SERVER", m_dir.filePath(QStringLiteral("cups.sock")).toLocal8Bit());
        qputenv("HOME", m_dir.path().toLocal8Bit());
        qunsetenv("PRINTER");
        qunsetenv("LPDEST");
        runtime::runProgramEndHooks();
        runtime::setPrinterPdfFile(m_pdf);
        m_editor = std::make_unique<editor::frmEditor>();
        m_editor->show();
    }

    void printTwiceAndExitSendOneJobToTheDefaultQueue()
    {
        // The script bounds its waits and says on stderr why it fails.
        const QString script = QStringLiteral(BRINDLEHOF_TESTS_DIR "/cups-pdf-server.sh");
        QProcess start;
        start.start("/bin/sh", { script, "start", m_dir.path() });
        QVERIFY(start.waitForFinished(60000));
        const QByteArray why = start.readAllStandardError().trimmed();
        if (start.exitCode() == 77)
            QSKIP(why.constData());
        QVERIFY2(start.exitCode() == 0, why.constData());
        const auto stop = qScopeGuard([&] {
            QCOMPARE(QProcess::execute("/bin/sh", { script, "stop", m_dir.path() }), 0);
        });
        runtime::setPrinterPdfFile({});
        ScriptedDialogs dialogs;
        QTimer::singleShot(0, this, [&] {
            print(QStringLiteral("first print\r\n\tLD A,1"));
            print(QStringLiteral("second print"));
            m_editor->exit->trigger();
        });
        QTimer::singleShot(60000, [] { QCoreApplication::exit(99); });
        QCOMPARE(QCoreApplication::exec(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(
            output("lpstat", { "-o" }).isEmpty(), 60000); // the PDF is written by then
        const QDir out(m_dir.filePath(QStringLiteral("out")));
        const QStringList files = out.entryList({ QStringLiteral("*.pdf") }); // named by cups-pdf
        QCOMPARE(files.size(), 1);
        QCOMPARE(printed(out.filePath(files.first())),
            QStringLiteral("first print\n        LD A,1\nsecond print\n\f"));
    }

    void printsAppendLinesInColumnsToOneDocument()
    {
        // Narrow and wide letters line up in a fixed pitch; tabs reach the next multiple of 8.
        ScriptedDialogs dialogs;
        print(QStringLiteral("loop:\tdjnz loop\r\nWWWWWWW ld a,b\r\n\r\niiiiiii\tret"));
        print(QString()); // an empty editor prints a line end
        print(QStringLiteral("second"));
        QCOMPARE(printed(m_pdf),
            QStringLiteral("loop:   djnz loop\nWWWWWWW ld a,b\n\niiiiiii ret\n\nsecond\n\f"));
    }

    void longLinesWrapAndManyLinesMakePages_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("pages");
        QStringList lines;
        for (int i = 1; i <= 150; ++i)
            lines.append(QStringLiteral("line %1").arg(i));
        QTest::newRow("words") << lines.mid(0, 40).join(u' ') << 1;
        QTest::newRow("one word wider than the page")
            << QStringLiteral("ABCDEFGHIJ").repeated(30) << 1;
        QTest::newRow("150 lines, about 64 a page") << lines.join(QLatin1String("\r\n")) << 3;
    }

    void longLinesWrapAndManyLinesMakePages()
    {
        // pdftotext leaves out what falls off a page: all of the text must come back.
        QFETCH(QString, text);
        QFETCH(int, pages);
        print(text);
        const QString read = printed(m_pdf);
        QCOMPARE(read.count(u'\f'), pages);
        QCOMPARE(read.simplified().remove(u' '), text.simplified().remove(u' '));
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
