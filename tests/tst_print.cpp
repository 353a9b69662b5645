// Print: the editor text in the printer's document. The document is written to a PDF file in
// place of the default queue and read back with pdftotext; the machine's print queues are out of
// reach (CUPS_SERVER names a server that is not there), which is also the case of no printer.
#include "fakes.h"
#include "pdf.h"

#include <frmeditor.h>
#include <services.h>

#include <QAction>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using editor::frmEditor;

class TestPrint : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    // ---- what one document holds ----
    void onePrintPutsTheTextOnThePage();
    void twoPrintsLandInOneDocument();
    void anEmptyEditorPrintsOneLineEnd();
    void editorLineBreaksStartNewLinesAndNothingElse();
    void aLongLineWrapsAtThePageWidth_data();
    void aLongLineWrapsAtThePageWidth();
    void manyLinesMakeNewPages();
    void columnsLineUpInAFixedPitchFont();

    // ---- when the document goes out ----
    void programEndReleasesTheDocument();

    // ---- no printer ----
    void withoutADefaultPrinterPrintShowsError482AndTheEditorGoesOn();

private:
    void printText(const QString& text);
    // Ends the program's hold on the document, as Exit does, and reads it back.
    QString printedText(const QStringList& options = {});

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<frmEditor> m_editor;
    QString m_pdf;
};

void TestPrint::initTestCase()
{
    // Never a real printer from a test run, whatever this machine has set up.
    const QTemporaryDir nowhere;
    qputenv("CUPS_SERVER", nowhere.filePath(QStringLiteral("no-cups.sock")).toLocal8Bit());
    qunsetenv("PRINTER");
    qunsetenv("LPDEST");
}

void TestPrint::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_pdf = m_dir->filePath(QStringLiteral("printed.pdf"));
    runtime::setPrinterPdfFile(m_pdf);
    m_editor = std::make_unique<frmEditor>();
    m_editor->show();
}

void TestPrint::cleanup()
{
    runtime::runProgramEndHooks();
    runtime::setPrinterPdfFile({});
    m_editor.reset();
    m_dir.reset();
}

void TestPrint::printText(const QString& text)
{
    m_editor->setText(text);
    m_editor->print->trigger();
}

QString TestPrint::printedText(const QStringList& options)
{
    runtime::runProgramEndHooks();
    return pdfText(m_pdf, options);
}

// ---- what one document holds --------------------------------------------------------------------

void TestPrint::onePrintPutsTheTextOnThePage()
{
    ScriptedDialogs dialogs;
    printText(QStringLiteral("start: LD A,1\r\nRET"));
    QCOMPARE(printedText(), QStringLiteral("start: LD A,1\nRET\n\n\f"));
    QVERIFY(dialogs.messages.isEmpty());
}

void TestPrint::twoPrintsLandInOneDocument()
{
    printText(QStringLiteral("first"));
    printText(QStringLiteral("second"));
    // One page, the second text on the line after the first.
    QCOMPARE(printedText(), QStringLiteral("first\nsecond\n\n\f"));
}

void TestPrint::anEmptyEditorPrintsOneLineEnd()
{
    printText(QStringLiteral("above"));
    printText(QString());
    printText(QStringLiteral("below"));
    QCOMPARE(printedText({ QStringLiteral("-layout") }), QStringLiteral("above\n\nbelow\n\f"));
}

void TestPrint::editorLineBreaksStartNewLinesAndNothingElse()
{
    // CR LF is one break, not two, and leaves no stray character behind.
    printText(QStringLiteral("one\r\ntwo\r\n\r\nfour"));
    QCOMPARE(printedText({ QStringLiteral("-layout") }), QStringLiteral("one\ntwo\n\nfour\n\f"));
}

void TestPrint::aLongLineWrapsAtThePageWidth_data()
{
    QTest::addColumn<QString>("line");
    QStringList words;
    for (int i = 1; i <= 60; ++i)
        words.append(QStringLiteral("w%1").arg(i, 2, 10, QLatin1Char('0')));
    QTest::newRow("words") << words.join(QLatin1Char(' '));
    QTest::newRow("one word wider than the page") << QStringLiteral("ABCDEFGHIJ").repeated(30);
}

void TestPrint::aLongLineWrapsAtThePageWidth()
{
    QFETCH(QString, line);
    printText(line);
    const QString printed = printedText();
    const QStringList rows = printed.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QVERIFY2(rows.size() >= 3, qPrintable(printed)); // 300 characters, 10-point fixed pitch
    // Nothing lost or moved where the line was broken.
    QCOMPARE(printed.simplified().remove(QLatin1Char(' ')).remove(QLatin1Char('\f')),
        QString(line).remove(QLatin1Char(' ')));

    const QList<PdfWord> words = pdfWords(m_pdf);
    QVERIFY(!words.isEmpty());
    for (const PdfWord& word : words)
        QVERIFY2(word.right < 612, qPrintable(word.text)); // inside even a Letter page
}

void TestPrint::manyLinesMakeNewPages()
{
    QStringList lines;
    for (int i = 1; i <= 150; ++i)
        lines.append(QStringLiteral("line %1").arg(i, 3, 10, QLatin1Char('0')));
    printText(lines.join(QLatin1String("\r\n")));

    const QString printed = printedText();
    QCOMPARE(printed.count(QLatin1Char('\f')), 3); // about 64 lines a page
    QStringList found
        = printed.split(QRegularExpression(QStringLiteral("[\n\f]")), Qt::SkipEmptyParts);
    QCOMPARE(found, lines);

    // Each page starts at its top: no line lands below the bottom of the page before it.
    const QList<PdfWord> words = pdfWords(m_pdf);
    QCOMPARE(words.last().page, 3);
    for (const PdfWord& word : words)
        QVERIFY(word.top < 842 - 42); // inside the bottom margin of an A4 page
}

void TestPrint::columnsLineUpInAFixedPitchFont()
{
    // Narrow and wide letters, and tabs that reach the next multiple of 8 columns as the
    // assembler counts them.
    printText(QStringLiteral("loop:\tdjnz loop\r\nWWWWWWW ld a,b\r\niiiiiii\tret"));
    runtime::runProgramEndHooks();
    QList<double> secondColumn;
    for (const PdfWord& word : pdfWords(m_pdf)) {
        if (word.text == QLatin1String("djnz") || word.text == QLatin1String("ld")
            || word.text == QLatin1String("ret"))
            secondColumn.append(word.left);
    }
    QCOMPARE(secondColumn.size(), 3);
    QCOMPARE(qRound(secondColumn[1] * 10), qRound(secondColumn[0] * 10));
    QCOMPARE(qRound(secondColumn[2] * 10), qRound(secondColumn[0] * 10));
}

// ---- when the document goes out -----------------------------------------------------------------

void TestPrint::programEndReleasesTheDocument()
{
    printText(QStringLiteral("held"));
    // Until the program ends, the document stays open for the next Print.
    QCOMPARE(pdfText(m_pdf), QString());
    runtime::runProgramEndHooks();
    QCOMPARE(pdfText(m_pdf), QStringLiteral("held\n\n\f"));
}

// ---- no printer ---------------------------------------------------------------------------------

void TestPrint::withoutADefaultPrinterPrintShowsError482AndTheEditorGoesOn()
{
    runtime::setPrinterPdfFile({});
    ScriptedDialogs dialogs;
    m_editor->setText(QStringLiteral("kept"));
    m_editor->print->trigger();
    m_editor->print->trigger();

    const QString shown = QStringLiteral("Run-time error '482':\n\nPrinter error");
    QCOMPARE(dialogs.messages, QStringList({ shown, shown }));
    QCOMPARE(m_editor->text(), QStringLiteral("kept"));
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    m_editor->x->moveCursor(QTextCursor::End);
    QTest::keyClicks(m_editor->x, QStringLiteral(" on"));
    QCOMPARE(m_editor->text(), QStringLiteral("kept on"));
}

QTEST_MAIN(TestPrint)
#include "tst_print.moc"
