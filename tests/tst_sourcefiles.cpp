// New, Open and Save as a user meets them: real files in a fresh folder, commands from the menu.
#include "editorintempdir.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTextBlock>

namespace {

// The length of the document each time the text box's font changes.
class FontChanges : public QObject {
public:
    explicit FontChanges(QPlainTextEdit* box)
        : m_box(box)
    {
        box->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::FontChange)
            documentLengths << m_box->document()->characterCount();
        return false;
    }
    QList<int> documentLengths;

private:
    QPlainTextEdit* m_box;
};

} // namespace

class TestSourceFiles : public EditorInTempDir {
    Q_OBJECT

private slots:
    void init() { startEditor(); }
    void cleanup() { stopEditor(); }

    // ---- round trips ----
    void openThenSaveGivesBackTheSameBytes_data();
    void openThenSaveGivesBackTheSameBytes();
    void lineEndsOfEveryKindLoadAsLines_data();
    void lineEndsOfEveryKindLoadAsLines();
    void bytesAreWindows1252BothWays();
    void savedTextEndsWithOneLineEnd_data();
    void savedTextEndsWithOneLineEnd();
    void openingAnEmptyFileChangesNothing();
    void openPlacesTheTextOnceInTheRuleFont();
    void newClearsTheText();

    // ---- names ----
    void typedNameGetsTheExtensionEveryTime_data();
    void typedNameGetsTheExtensionEveryTime();
    void emptyOrCancelledAnswerDoesNothing_data();
    void emptyOrCancelledAnswerDoesNothing();
    void realPromptsAskForTheNames();
};

// ---- round trips ------------------------------------------------------------------------------

void TestSourceFiles::openThenSaveGivesBackTheSameBytes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QByteArray everyByte;
    for (int byte = 0; byte < 256; ++byte) {
        if (byte != '\r' && byte != '\n')
            everyByte += char(byte);
        if (byte % 16 == 15)
            everyByte += "\r\n";
    }
    QTest::newRow("every byte value but CR and LF") << everyByte;
    QTest::newRow("three lines") << QByteArray("ld a,1\r\nld b,2\r\nret\r\n");
    QTest::newRow("empty lines") << QByteArray("\r\n\r\nnop\r\n\r\n");
    QTest::newRow("one empty line") << QByteArray("\r\n");
    static const char withNul[] = "defb 0,\0,1\r\n";
    QTest::newRow("NUL byte") << QByteArray(withNul, sizeof withNul - 1);
    QTest::newRow("no-break space, undefined bytes")
        << QByteArray("\xA0 \x81\x8D\x8F\x90\x9D\r\n");
}

// Saving what Open loaded, under the same name and again, leaves the file as it was.
void TestSourceFiles::openThenSaveGivesBackTheSameBytes()
{
    QFETCH(QByteArray, bytes);
    writeFile(path("src.z80"), bytes);
    for (int round = 0; round < 3; ++round) {
        open(QStringLiteral("src"));
        save(QStringLiteral("src"));
    }
    QCOMPARE(readFile(path("src.z80")), bytes);
    QVERIFY(m_dialogs->messages.isEmpty());
}

void TestSourceFiles::lineEndsOfEveryKindLoadAsLines_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("loaded");
    QTest::newRow("CR LF") << QByteArray("a\r\nb\r\nc\r\n") << "a\r\nb\r\nc\r\n";
    QTest::newRow("LF, from Linux") << QByteArray("org 0\nret\n") << "org 0\r\nret\r\n";
    QTest::newRow("CR, from an old Mac") << QByteArray("org 0\rret\r") << "org 0\r\nret\r\n";
    QTest::newRow("mixed") << QByteArray("a\r\nb\nc\rd\r\n") << "a\r\nb\r\nc\r\nd\r\n";
    QTest::newRow("LF CR is two line ends") << QByteArray("a\n\rb\n") << "a\r\n\r\nb\r\n";
    QTest::newRow("last line without a line end") << QByteArray("a\r\nb") << "a\r\nb\r\n";
}

void TestSourceFiles::lineEndsOfEveryKindLoadAsLines()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, loaded);
    writeFile(path("ends.z80"), file);
    open(QStringLiteral("ends"));
    QCOMPARE(text(), loaded);
    save(QStringLiteral("saved"));
    QCOMPARE(readFile(path("saved.z80")), loaded.toLatin1());
}

void TestSourceFiles::bytesAreWindows1252BothWays()
{
    writeFile(path("cp.z80"), "\x80\x93\x94\x81\xA0\xE9\x9F\r\n");
    open(QStringLiteral("cp"));
    QCOMPARE(m_editor->x->document()->firstBlock().text(),
        QStringLiteral("€“”\u0081\u00A0éŸ"));

    m_editor->x->moveCursor(QTextCursor::End);
    m_editor->x->insertPlainText(QStringLiteral("defb '…', '™'"));
    save(QStringLiteral("cp"));
    QCOMPARE(readFile(path("cp.z80")),
        QByteArray("\x80\x93\x94\x81\xA0\xE9\x9F\r\ndefb '\x85', '\x99'\r\n"));
}

void TestSourceFiles::savedTextEndsWithOneLineEnd_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QByteArray>("saved");
    QTest::newRow("empty editor") << "" << QByteArray("\r\n");
    QTest::newRow("no final line end") << "nop" << QByteArray("nop\r\n");
    QTest::newRow("a final line end") << "nop\r\n" << QByteArray("nop\r\n");
    QTest::newRow("an empty last line") << "nop\r\n\r\n" << QByteArray("nop\r\n\r\n");
    QTest::newRow("LF and CR line breaks") << "a\nb\rc" << QByteArray("a\r\nb\r\nc\r\n");
}

void TestSourceFiles::savedTextEndsWithOneLineEnd()
{
    QFETCH(QString, typed);
    QFETCH(QByteArray, saved);
    m_editor->setText(typed);
    save(QStringLiteral("out"));
    QCOMPARE(readFile(path("out.z80")), saved);
}

void TestSourceFiles::openingAnEmptyFileChangesNothing()
{
    writeFile(path("empty.z80"), "");
    QSignalSpy changed(m_editor->x, &QPlainTextEdit::textChanged);
    open(QStringLiteral("empty"));
    QCOMPARE(changed.count(), 0);
    QVERIFY(!m_editor->x->font().bold());

    QTest::keyClicks(m_editor->x, QStringLiteral("keep"));
    open(QStringLiteral("empty"));
    QCOMPARE(text(), QStringLiteral("keep"));
}

// One change, with the font already set, so that a large source is laid out once.
void TestSourceFiles::openPlacesTheTextOnceInTheRuleFont()
{
    writeFile(path("three.z80"), "a\r\nb\r\nc\r\n");
    FontChanges fontChanges(m_editor->x);
    QSignalSpy changed(m_editor->x, &QPlainTextEdit::textChanged);
    open(QStringLiteral("three"));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(fontChanges.documentLengths, QList<int>({ 1 }));
    QCOMPARE(m_editor->x->font().pointSize(), 8);
    QVERIFY(m_editor->x->font().bold());
    QCOMPARE(text(), QStringLiteral("a\r\nb\r\nc\r\n"));
}

void TestSourceFiles::newClearsTheText()
{
    QTest::keyClicks(m_editor->x, QStringLiteral("ld a,1"));
    m_editor->new_->trigger();
    QCOMPARE(text(), QString());
    QVERIFY(m_dialogs->prompts.isEmpty());
    QVERIFY(namesIn(m_dir->path()).isEmpty());
}

// ---- names ------------------------------------------------------------------------------------

void TestSourceFiles::typedNameGetsTheExtensionEveryTime_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("file");
    QTest::newRow("demo") << "demo" << "demo.z80";
    QTest::newRow("demo.z80") << "demo.z80" << "demo.z80.z80";
    QTest::newRow("with a directory") << "src/demo" << "src/demo.z80";
    QTest::newRow("a space in it") << "my demo" << "my demo.z80";
}

void TestSourceFiles::typedNameGetsTheExtensionEveryTime()
{
    QFETCH(QString, answer);
    QFETCH(QString, file);
    QDir(m_dir->path()).mkdir(QStringLiteral("src"));
    m_editor->setText(QStringLiteral("ld a,1\r\n"));
    save(answer);
    QCOMPARE(readFile(path(file)), QByteArray("ld a,1\r\n"));
    QCOMPARE(namesIn(QFileInfo(path(file)).path()), QStringList({ QFileInfo(file).fileName() }));
    QCOMPARE(m_dialogs->prompts.last(), qMakePair(QString("Enter a Name"), QString("Save As")));

    m_editor->new_->trigger();
    open(answer);
    QCOMPARE(text(), QStringLiteral("ld a,1\r\n"));
    QCOMPARE(m_dialogs->prompts.last(),
        qMakePair(QString("Enter Name of File to Retrieve"), QString("Open")));
}

void TestSourceFiles::emptyOrCancelledAnswerDoesNothing_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("Open") << "open";
    QTest::newRow("Save") << "save";
}

// The prompts answer "" both when left empty and when cancelled. A file named ".z80" is there
// to be loaded, or overwritten, by a command that went on with the empty name.
void TestSourceFiles::emptyOrCancelledAnswerDoesNothing()
{
    QFETCH(QString, command);
    writeFile(path(".z80"), "old\r\n");
    QTest::keyClicks(m_editor->x, QStringLiteral("typed"));
    m_dialogs->answers << QString();
    m_editor->findChild<QAction*>(command)->trigger();
    QCOMPARE(m_dialogs->prompts.size(), 1);
    QCOMPARE(text(), QStringLiteral("typed"));
    QCOMPARE(readFile(path(".z80")), QByteArray("old\r\n"));
    QCOMPARE(namesIn(m_dir->path()), QStringList({ ".z80" }));
    QVERIFY(m_dialogs->messages.isEmpty());
}

void TestSourceFiles::realPromptsAskForTheNames()
{
    m_dialogs.reset();
    writeFile(path("demo.z80"), "ld a,1\r\n");
    QString title, label;
    auto answer = [&](const QString& typed) {
        whenModalBoxShows([&, typed](QWidget* box) {
            title = box->windowTitle();
            label = box->findChild<QLabel*>()->text();
            auto* edit = box->findChild<QLineEdit*>();
            QTest::keyClicks(edit, typed);
            QTest::keyClick(edit, Qt::Key_Return);
        });
    };
    answer(QStringLiteral("demo"));
    m_editor->open->trigger();
    QCOMPARE(title, QStringLiteral("Open"));
    QCOMPARE(label, QStringLiteral("Enter Name of File to Retrieve"));
    QCOMPARE(text(), QStringLiteral("ld a,1\r\n"));

    answer(QStringLiteral("copy"));
    m_editor->save->trigger();
    QCOMPARE(title, QStringLiteral("Save As"));
    QCOMPARE(label, QStringLiteral("Enter a Name"));
    QCOMPARE(readFile(path("copy.z80")), QByteArray("ld a,1\r\n"));
}

QTEST_MAIN(TestSourceFiles)
#include "tst_sourcefiles.moc"
