// New, Open and Save as a user meets them: real files in a fresh folder, commands from the menu.
#include "fakes.h"
#include "filefaults.h"

#include <frmeditor.h>
#include <services.h>

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>

#include <memory>

using editor::frmEditor;

namespace {

// An input file that reads `limit` bytes and then fails, as a disk or network might.
class FailingDevice : public QIODevice {
public:
    FailingDevice(std::unique_ptr<QIODevice> file, qint64 limit, bool* sawWaitCursor)
        : m_file(std::move(file))
        , m_left(limit)
        , m_sawWaitCursor(sawWaitCursor)
    {
        open(QIODevice::ReadOnly);
    }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* data, qint64 size) override
    {
        const QCursor* cursor = QApplication::overrideCursor();
        *m_sawWaitCursor = cursor && cursor->shape() == Qt::WaitCursor;
        if (m_left <= 0)
            return -1;
        const qint64 read = m_file->read(data, std::min(size, m_left));
        m_left -= read;
        return read;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    std::unique_ptr<QIODevice> m_file;
    qint64 m_left;
    bool* m_sawWaitCursor;
};

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

enum class Fault { MissingFile, Directory, MissingDirectory, ReadOnlyFile, NoPermission, DiskFull };

} // namespace

class TestSourceFiles : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

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

    // ---- failures ----
    void failingOpenShowsNothingAndChangesNothing_data();
    void failingOpenShowsNothingAndChangesNothing();
    void failingSaveShowsItsErrorAndKeepsTheOldFile_data();
    void failingSaveShowsItsErrorAndKeepsTheOldFile();
    void unwritableCharacterIsNamedAndNothingIsSaved_data();
    void unwritableCharacterIsNamedAndNothingIsSaved();
    void readingThatFailsMidwayKeepsTheLinesReadAndFreesTheFile();

private:
    QString path(const QString& name) const { return m_dir->filePath(name); }
    QString text() const { return m_editor->text(); }
    void open(const QString& answer);
    void save(const QString& answer);
    std::unique_ptr<Mount> makeFault(Fault fault, const QString& folder);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    std::unique_ptr<frmEditor> m_editor;
    QString m_previousDir;
};

void TestSourceFiles::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_previousDir = QDir::currentPath();
    // Names without a directory resolve against the current directory.
    QVERIFY(QDir::setCurrent(m_dir->path()));
    m_dialogs = std::make_unique<ScriptedDialogs>();
    m_editor = std::make_unique<frmEditor>();
    m_editor->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_editor.get()));
}

void TestSourceFiles::cleanup()
{
    m_editor.reset();
    m_dialogs.reset();
    runtime::setInputFilter({});
    runtime::skipOnError(runtime::closeAllFiles);
    QDir::setCurrent(m_previousDir);
    // What a test locked must be removable again.
    for (const char* folder : { "in", "out" })
        QFile::setPermissions(path(folder), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    m_dir.reset();
}

void TestSourceFiles::open(const QString& answer)
{
    m_dialogs->answers << answer;
    m_editor->open->trigger();
}

void TestSourceFiles::save(const QString& answer)
{
    m_dialogs->answers << answer;
    m_editor->save->trigger();
}

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
    QCOMPARE(m_editor->x->document()->firstBlock().text(), QStringLiteral("€“”\u0081\u00A0éŸ"));

    m_editor->x->moveCursor(QTextCursor::End);
    m_editor->x->insertPlainText(QStringLiteral("defb '…', '™'"));
    save(QStringLiteral("cp"));
    QCOMPARE(readFile(path("cp.z80")), QByteArray("\x80\x93\x94\x81\xA0\xE9\x9F\r\ndefb '\x85', '\x99'\r\n"));
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

// ---- failures ---------------------------------------------------------------------------------

// Makes `fault` happen to `folder`/old.z80, which holds "old" where it can hold anything.
std::unique_ptr<Mount> TestSourceFiles::makeFault(Fault fault, const QString& folder)
{
    const QString dir = path(folder);
    const QString old = dir + QStringLiteral("/old.z80");
    switch (fault) {
    case Fault::MissingFile:
        QDir().mkpath(dir);
        return nullptr;
    case Fault::Directory:
        QDir().mkpath(old);
        return nullptr;
    case Fault::MissingDirectory:
        return nullptr;
    case Fault::ReadOnlyFile:
        // Root writes whatever the permission bits say, but not through a read-only mount.
        if (isRoot()) {
            QDir().mkpath(path("source"));
            writeFile(path("source/old.z80"), "old\r\n");
            return Mount::readOnly(path("source"), dir);
        }
        QDir().mkpath(dir);
        writeFile(old, "old\r\n");
        QFile::setPermissions(old, QFile::ReadOwner | QFile::ReadOther);
        return nullptr;
    case Fault::NoPermission: {
        // The file can be neither read nor replaced, for the folder cannot take a new file.
        QDir().mkpath(dir);
        writeFile(old, "old\r\n");
        QFile::setPermissions(old, {});
        // "nobody" keeps root's group, so the group's bits are the ones that bind it.
        const auto readAndEnter = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup
            | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
        QFile::setPermissions(dir, readAndEnter);
        QFile::setPermissions(m_dir->path(), readAndEnter | QFile::WriteOwner);
        return nullptr;
    }
    case Fault::DiskFull:
        return Mount::fullDisk(dir, 64, 8192, [&] { writeFile(old, "old\r\n"); });
    }
    return nullptr;
}

void TestSourceFiles::failingOpenShowsNothingAndChangesNothing_data()
{
    QTest::addColumn<Fault>("fault");
    QTest::newRow("a missing file") << Fault::MissingFile;
    QTest::newRow("a directory of that name") << Fault::Directory;
    QTest::newRow("a missing directory") << Fault::MissingDirectory;
    QTest::newRow("no permission") << Fault::NoPermission;
}

void TestSourceFiles::failingOpenShowsNothingAndChangesNothing()
{
    QFETCH(Fault, fault);
    makeFault(fault, QStringLiteral("in"));
    QTest::keyClicks(m_editor->x, QStringLiteral("typed"));
    {
        const AsNobody nobody(fault == Fault::NoPermission);
        open(QStringLiteral("in/old"));
    }
    QVERIFY(m_dialogs->messages.isEmpty());
    QCOMPARE(text(), QStringLiteral("typed"));
    QCOMPARE(QApplication::overrideCursor(), nullptr);

    // The failure left no file open to stop the next Open.
    writeFile(path("good.z80"), "nop\r\n");
    open(QStringLiteral("good"));
    QCOMPARE(text(), QStringLiteral("nop\r\n"));
}

void TestSourceFiles::failingSaveShowsItsErrorAndKeepsTheOldFile_data()
{
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<QString>("message");
    QTest::newRow("a directory of that name") << Fault::Directory
                                              << "Run-time error '75':\n\nPath/File access error";
    QTest::newRow("a missing directory") << Fault::MissingDirectory
                                         << "Run-time error '76':\n\nPath not found";
    QTest::newRow("a read-only file") << Fault::ReadOnlyFile
                                      << "Run-time error '70':\n\nPermission denied";
    QTest::newRow("no permission") << Fault::NoPermission
                                   << "Run-time error '70':\n\nPermission denied";
    QTest::newRow("a full disk") << Fault::DiskFull << "Run-time error '61':\n\nDisk full";
}

void TestSourceFiles::failingSaveShowsItsErrorAndKeepsTheOldFile()
{
    QFETCH(Fault, fault);
    QFETCH(QString, message);
    const auto mount = makeFault(fault, QStringLiteral("out"));
    if ((fault == Fault::DiskFull || (fault == Fault::ReadOnlyFile && isRoot())) && !mount)
        QSKIP("needs root and a system that lets it mount");
    const QString old = path("out/old.z80");
    const QByteArray before = readFile(old);
    const QStringList namesBefore = namesIn(path("out"));
    // More than the full disk's room, so that the write stops partway.
    const QString typed = QString(100, QLatin1Char('x')).append(QLatin1String("\r\n")).repeated(1000);
    m_editor->setText(typed);
    {
        const AsNobody nobody(fault == Fault::NoPermission);
        save(QStringLiteral("out/old"));
    }
    QCOMPARE(m_dialogs->messages, QStringList({ message }));
    QCOMPARE(text(), typed);
    QCOMPARE(readFile(old), before);
    QCOMPARE(namesIn(path("out")), namesBefore);
    QCOMPARE(QApplication::overrideCursor(), nullptr);

    // The failure left no file open to stop the next Save.
    save(QStringLiteral("elsewhere"));
    QCOMPARE(readFile(path("elsewhere.z80")), typed.toLatin1());
    QCOMPARE(m_dialogs->messages.size(), 1);
}

void TestSourceFiles::unwritableCharacterIsNamedAndNothingIsSaved_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("description");
    QTest::newRow("an arrow") << "ld a,1\r\njp → loop\r\n" << "\"→\" (U+2192) on line 2";
    QTest::newRow("a CJK character") << "; 中" << "\"中\" (U+4E2D) on line 1";
    QTest::newRow("beyond 16 bits") << "\r\n\r\n; 😀\r\n" << "\"😀\" (U+1F600) on line 3";
    QTest::newRow("a line separator") << "ld a,1\u2028" << "U+2028 on line 1";
    QTest::newRow("a C1 control Windows-1252 lacks") << "\u0080" << "U+0080 on line 1";
}

void TestSourceFiles::unwritableCharacterIsNamedAndNothingIsSaved()
{
    QFETCH(QString, typed);
    QFETCH(QString, description);
    writeFile(path("old.z80"), "old\r\n");
    m_editor->setText(QString());
    m_editor->x->insertPlainText(QString(typed).replace(QLatin1String("\r\n"), QLatin1String("\n")));
    save(QStringLiteral("old"));
    QCOMPARE(m_dialogs->messages,
        QStringList({ "Run-time error '5':\n\nCharacter " + description
            + " is not in code page Windows-1252" }));
    QCOMPARE(readFile(path("old.z80")), QByteArray("old\r\n"));
    QCOMPARE(namesIn(m_dir->path()), QStringList({ "old.z80" }));
    QCOMPARE(text(), typed);
}

void TestSourceFiles::readingThatFailsMidwayKeepsTheLinesReadAndFreesTheFile()
{
    writeFile(path("long.z80"), "one\r\ntwo\r\nthree\r\n");
    bool sawWaitCursor = false;
    runtime::setInputFilter([&](std::unique_ptr<QIODevice> file) {
        return std::make_unique<FailingDevice>(std::move(file), 9, &sawWaitCursor);
    });
    open(QStringLiteral("long"));
    QCOMPARE(text(), QStringLiteral("one\r\n"));
    QVERIFY(m_dialogs->messages.isEmpty());
    QVERIFY(sawWaitCursor);
    QCOMPARE(QApplication::overrideCursor(), nullptr);

    runtime::setInputFilter({});
    writeFile(path("next.z80"), "ret\r\n");
    open(QStringLiteral("next"));
    QCOMPARE(text(), QStringLiteral("ret\r\n"));
}

QTEST_MAIN(TestSourceFiles)
#include "tst_sourcefiles.moc"
