// Print: the document written to a PDF file in place of the default queue, and read back.
#include "fakes.h"

#include <frmeditor.h>

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

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

    // Ends the document, as the program's end does, and reads it back: pages end in \f.
    QString printed()
    {
        runtime::runProgramEndHooks();
        QProcess pdftotext;
        pdftotext.start("pdftotext", { "-layout", m_pdf, "-" });
        pdftotext.waitForFinished(30000);
        return QString::fromUtf8(pdftotext.readAllStandardOutput());
    }

private slots:
    void init()
    {
        // No queue of this machine is reached: the one server named is not there.
        qputenv("CUPS_SERVER", m_dir.filePath(QStringLiteral("cups.sock")).toLocal8Bit());
        runtime::setPrinterPdfFile(m_pdf);
        m_editor = std::make_unique<editor::frmEditor>();
    }

    // Prints append lines to one document. Narrow and wide letters line up in a fixed pitch;
    // tabs reach the next multiple of 8.
    void printsAppendLinesInColumnsToOneDocument()
    {
        print(QStringLiteral("loop:\tdjnz loop\r\nWWWWWWW ld a,b\r\n\r\niiiiiii\tret"));
        print(QString()); // an empty editor prints a line end
        print(QStringLiteral("second"));
        QCOMPARE(printed(), "loop:   djnz loop\nWWWWWWW ld a,b\n\niiiiiii ret\n\nsecond\n\f");
    }

    void longLinesWrapAndManyLinesMakePages_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("pages");
        QStringList lines;
        for (int i = 1; i <= 150; ++i)
            lines.append(QStringLiteral("line %1").arg(i));
        QTest::newRow("one word wider than the page")
            << QStringLiteral("ABCDEFGHIJ").repeated(30) << 1;
        QTest::newRow("150 lines, about 64 a page") << lines.join(QLatin1String("\r\n")) << 3;
    }

    // pdftotext leaves out what falls off a page: all of the text must come back.
    void longLinesWrapAndManyLinesMakePages()
    {
        QFETCH(QString, text);
        QFETCH(int, pages);
        print(text);
        const QString read = printed();
        QCOMPARE(read.count(u'\f'), pages);
        QCOMPARE(read.simplified().remove(u' '), text.simplified().remove(u' '));
    }

    void withoutADefaultPrinterPrintShowsError482AndTheEditorGoesOn()
    {
        runtime::setPrinterPdfFile({});
        ScriptedDialogs dialogs;
        print(QStringLiteral("kept"));
        m_editor->print->trigger();
        QCOMPARE(dialogs.messages, QStringList(2, "Run-time error '482':\n\nPrinter error"));
        QCOMPARE(QApplication::overrideCursor(), nullptr);
        QCOMPARE(m_editor->text(), "kept");
    }
};

QTEST_MAIN(TestPrint)
#include "tst_print.moc"
