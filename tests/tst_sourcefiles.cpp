// New, Open and Save and the numbered files under them, on real files and real faults.
#include "fakes.h"

#include <frmeditor.h>

#include <QBuffer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using runtime::FileMode;
using Statement = std::function<void()>;

namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// The number of the run-time error `statement` raises, 0 when it raises none.
int errorOf(const Statement& statement)
{
    int number = 0;
    runtime::onErrorGoTo(statement, [&](const runtime::RuntimeError& e) { number = e.number(); });
    return number;
}

// plain.z80, and what input cannot open: a directory, a file only root may read, a named pipe.
void makeInputs()
{
    writeFile("plain.z80", "nop\r\n");
    writeFile("locked.z80", "nop\r\n");
    ::chmod("locked.z80", 0);
    QDir().mkdir("folder.z80");
    ::mkfifo("pipe.z80", 0600);
}

// File access as "nobody" until the guard ends, so that permission bits bind even root; the
// saved user ID stays root to return to. Without root, permission bits bind the test already.
auto asNobody(bool wanted = true)
{
    const bool changed = wanted && ::geteuid() == 0 && ::setresuid(65534, 65534, 0) == 0;
    return qScopeGuard([changed] {
        if (changed && ::setresuid(0, 0, 0) != 0)
            qFatal("cannot return to root");
    });
}

} // namespace

class TestSourceFiles : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    std::unique_ptr<editor::frmEditor> m_editor;
    // The document's length, and whether the wait cursor showed, at each font change.
    QList<std::pair<int, bool>> m_fontChanges;

    QString text() const { return m_editor->text(); }
    void open(const QString& name) { m_dialogs->answers << name, m_editor->open->trigger(); }
    void save(const QString& name) { m_dialogs->answers << name, m_editor->save->trigger(); }
    bool eventFilter(QObject*, QEvent* event) override
    {
        const QCursor* cursor = QApplication::overrideCursor();
        if (event->type() == QEvent::FontChange)
            m_fontChanges.append({ m_editor->x->document()->characterCount(),
                cursor && cursor->shape() == Qt::WaitCursor });
        return false;
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        // Names without a directory resolve against the current one, which "nobody" may enter.
        QVERIFY(m_dir->isValid() && QDir::setCurrent(m_dir->path()));
        ::chmod(".", 0755);
        m_dialogs = std::make_unique<ScriptedDialogs>();
        m_editor = std::make_unique<editor::frmEditor>();
        m_editor->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_editor.get()));
    }

    void cleanup()
    {
        m_editor.reset();
        m_dialogs.reset();
        runtime::setInputFilter({});
        runtime::skipOnError(runtime::closeAllFiles);
        // Lazily, so that a file a failed test left open cannot keep a mount on dir behind.
        QProcess::execute("sh", { "-c", "umount --lazy dir 2>/dev/null" });
        ::chmod("dir", 0700); // what a test locked must be removable again
        m_dir.reset();
    }

    void servicesRaiseTheirErrors_data()
    {
        QTest::addColumn<Statement>("statement");
        QTest::addColumn<int>("error");
        const auto input = [](const QString& name, int number = 1) {
            return Statement([=] { runtime::openFile(name, FileMode::Input, number); });
        };
        QTest::newRow("number 0") << input("plain.z80", 0) << 52;
        QTest::newRow("number 255") << input("plain.z80", 255) << 0;
        QTest::newRow("number 256") << input("plain.z80", 256) << 52;
        QTest::newRow("number in use") << input("plain.z80", 8) << 55;
        QTest::newRow("read, not open") << Statement([] { runtime::readLine(1); }) << 52;
        QTest::newRow("end-of-file, not open") << Statement([] { runtime::atEndOfFile(1); }) << 52;
        QTest::newRow("write, not open") << Statement([] { runtime::writeLine(1, u"x"); }) << 52;
        QTest::newRow("close, not open") << Statement([] { runtime::closeFile(1); }) << 52;
        QTest::newRow("read past the end")
            << Statement([] { runtime::readLine(8), runtime::readLine(8); }) << 62;
        QTest::newRow("write after a failed one") << Statement([] {
            runtime::openFile("out.z80", FileMode::Output, 2);
            runtime::skipOnError([] { runtime::writeLine(2, u"→"); });
            runtime::writeLine(2, u"later");
        }) << 57;
        // Twice: the second End must close what was opened after the first.
        for (const char* row : { "closed by End", "closed by the next End" })
            QTest::newRow(row) << Statement([] {
                runtime::runProgramEndHooks();
                runtime::closeFile(8);
            }) << 52;
        QTest::newRow("a missing file") << input("missing.z80") << 53;
        QTest::newRow("a missing directory") << input("nowhere/a.z80") << 76;
        QTest::newRow("a directory") << input("folder.z80") << 75;
        // Opened, a pipe with no writer would block the editor for good, a device never end.
        QTest::newRow("a named pipe") << input("pipe.z80") << 75;
        QTest::newRow("a device") << input("/dev/zero") << 75;
        QTest::newRow("a name too long") << input(QString(300, QLatin1Char('n'))) << 75;
        // Cut at the NUL, the name would open plain.z80.
        QTest::newRow("a NUL in the name") << input(QString("plain.z80") + QChar(0) + "x") << 75;
        QTest::newRow("no permission") << input("locked.z80") << 70;
    }

    // Each with file 8 open, which must not count otherwise; a failed open leaves its number free.
    void servicesRaiseTheirErrors()
    {
        QFETCH(Statement, statement);
        QFETCH(int, error);
        makeInputs();
        runtime::openFile("plain.z80", FileMode::Input, 8);
        const auto nobody = asNobody(error == 70);
        QCOMPARE(errorOf(statement), error);
        if (error != 0)
            QCOMPARE(errorOf([] { runtime::closeFile(1); }), 52);
    }

    void openThenSaveGivesTheLinesBack_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QByteArray>("saved"); // when not the file itself
        QByteArray everyByte; // CR and LF as line ends, NUL first, no line end last
        for (int byte = 0; byte < 256; ++byte)
            everyByte
                += byte == '\r' || byte == '\n' ? QByteArray("\r\n") : QByteArray(1, char(byte));
        QTest::newRow("every byte") << everyByte << everyByte + "\r\n";
        QTest::newRow("an empty file") << QByteArray("") << QByteArray("\r\n");
        QTest::newRow("empty lines") << QByteArray("\r\n\r\nnop\r\n\r\n") << QByteArray();
        QTest::newRow("one empty line") << QByteArray("\r\n") << QByteArray();
        QTest::newRow("LF, CR, CR LF")
            << QByteArray("a\r\nb\nc\rd\r") << QByteArray("a\r\nb\r\nc\r\nd\r\n");
        QTest::newRow("LF CR is two line ends")
            << QByteArray("a\n\rb\n") << QByteArray("a\r\n\r\nb\r\n");
        // Files are read in chunks of 64 KiB, so a line end may straddle two of them.
        const QByteArray x(65535, 'x');
        QTest::newRow("CR LF across chunks") << x + "\r\nb" << x + "\r\nb\r\n";
        QTest::newRow("CR ending a chunk") << x + "\rb" << x + "\r\nb\r\n";
        QTest::newRow("LF CR across chunks") << x + "\n\rb" << x + "\r\n\r\nb\r\n";
    }

    void openThenSaveGivesTheLinesBack()
    {
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, saved);
        writeFile("src.z80", file);
        for (int round = 0; round < 3; ++round)
            open("src"), save("src");
        QCOMPARE(readFile("src.z80"), saved.isNull() ? file : saved);
        QVERIFY(m_dialogs->messages.isEmpty());
    }

    // Answered by key clicks; ".z80" goes on every time. An empty or cancelled answer does nothing:
    // a file named ".z80" is there to be loaded, or overwritten, by a command that went on.
    void realPromptsTakeTheNames()
    {
        m_dialogs.reset();
        QDir().mkdir("src");
        writeFile("demo.z80.z80", "\x80\x93\x94\x81\xA0\xE9\x9F"); // Windows-1252, no line end
        writeFile("demo.z80", "ld a,1\r\n");
        writeFile(".z80", "old\r\n");
        QStringList asked;
        const auto answer = [&](QAction* command, const QString& typed, int key = Qt::Key_Return) {
            whenModalBoxShows([&asked, typed, key](QWidget* box) {
                asked << box->windowTitle() + ": " + box->findChild<QLabel*>()->text();
                QTest::keyClicks(box->findChild<QLineEdit*>(), typed);
                QTest::keyClick(box->findChild<QLineEdit*>(), Qt::Key(key));
            });
            command->trigger();
        };
        answer(m_editor->open, "demo.z80");
        QCOMPARE(text(), QStringLiteral("€“”\u0081\u00A0éŸ\r\n"));
        answer(m_editor->save, "src/demo.z80");
        QCOMPARE(asked,
            QStringList({ "Open: Enter Name of File to Retrieve", "Save As: Enter a Name" }));
        QCOMPARE(readFile("src/demo.z80.z80"), QByteArray("\x80\x93\x94\x81\xA0\xE9\x9F\r\n"));
        m_editor->new_->trigger();
        QCOMPARE(text(), QString());

        m_editor->setText(QStringLiteral("typed"));
        for (QAction* command : { m_editor->open, m_editor->save }) {
            answer(command, "");
            answer(command, "demo", Qt::Key_Escape);
        }
        QCOMPARE(asked.size(), 6);
        QCOMPARE(text(), QStringLiteral("typed"));
        QCOMPARE(readFile(".z80") + readFile("demo.z80"), QByteArray("old\r\nld a,1\r\n"));
    }

    void failingSaveShowsItsErrorAndKeepsTheOldFile_data()
    {
        QTest::addColumn<QString>("fault"); // shell commands that make it
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("error");
        const QString old = QStringLiteral("mkdir -p dir && printf 'old\\r\\n' >dir/old.z80");
        const QString notIn = QStringLiteral(" is not in code page Windows-1252");
        const QString denied = QStringLiteral("70':\n\nPermission denied");
        QTest::newRow("a directory")
            << "mkdir -p dir/old.z80" << QString() << "75':\n\nPath/File access error";
        QTest::newRow("a missing directory") << QString() << QString() << "76':\n\nPath not found";
        // Root writes whatever the permission bits say, but not through a read-only mount.
        QTest::newRow("a read-only file")
            << old + " && mount -o bind,ro dir dir" << QString() << denied;
        // "nobody" keeps root's group, so the group's bits are the ones that bind it.
        QTest::newRow("no permission") << old + " && chmod 555 dir" << QString() << denied;
        // Three pages: one for old.z80, 8 KiB to spare.
        const QString tmpfs = QStringLiteral("mkdir dir && mount -t tmpfs -o size=12k tmpfs dir");
        QTest::newRow("a full disk") << tmpfs + " && " + old << QString() << "61':\n\nDisk full";
        QTest::newRow("an arrow") << old << "ld a,1\r\njp → loop\r\n"
                                  << "5':\n\nCharacter \"→\" (U+2192) on line 2" + notIn;
        QTest::newRow("beyond 16 bits") << old << "\r\n\r\n; 😀\r\n"
                                        << "5':\n\nCharacter \"😀\" (U+1F600) on line 3" + notIn;
        QTest::newRow("a line separator") << old << "ld a,1\u2028"
                                          << "5':\n\nCharacter U+2028 on line 1" + notIn;
        QTest::newRow("a C1 control not in 1252") << old << "\u0080"
                                                  << "5':\n\nCharacter U+0080 on line 1" + notIn;
    }

    // After the typed text come 9 KiB, more than the full disk's room and less than a write
    // buffer: the write must neither stop partway unseen nor wait in a buffer that then fails.
    void failingSaveShowsItsErrorAndKeepsTheOldFile()
    {
        QFETCH(QString, fault);
        QFETCH(QString, typed);
        QFETCH(QString, error);
        if (QProcess::execute("sh", { "-c", fault }) != 0)
            QSKIP("needs root and a system that lets it mount");
        const QByteArray before = readFile("dir/old.z80");
        // Also sees a temporary file left behind.
        const QStringList names = QDir("dir").entryList(QDir::Files | QDir::Hidden);
        typed += QString(100, QLatin1Char('x')).append("\r\n").repeated(90);
        m_editor->x->insertPlainText(QString(typed).replace("\r\n", "\n"));
        {
            const auto nobody = asNobody(fault.contains("chmod"));
            save("dir/old");
        }
        QCOMPARE(m_dialogs->messages, QStringList({ "Run-time error '" + error }));
        QCOMPARE(text(), typed);
        QCOMPARE(readFile("dir/old.z80"), before);
        QCOMPARE(QDir("dir").entryList(QDir::Files | QDir::Hidden), names);
        QCOMPARE(QApplication::overrideCursor(), nullptr);
        // Nothing is left open to stop the next Save.
        QCOMPARE(errorOf([] { runtime::closeFile(2); }), 52);
    }

    // Nothing changes, not even the font. A failure midway keeps the lines read, put in once in
    // the rule's font, which was set first, with the wait cursor showing, so it is laid out once.
    void failingOpenChangesNothingButKeepsTheLinesRead()
    {
        struct FailingDevice : QBuffer {
            qint64 readData(char* data, qint64 max) override
            {
                return atEnd() ? -1 : QBuffer::readData(data, max);
            }
        };
        makeInputs();
        writeFile("empty.z80", "");
        writeFile("long.z80", "one\r\ntwo\r\nthree\r\n");
        m_editor->x->installEventFilter(this);
        QSignalSpy changed(m_editor->x, &QPlainTextEdit::textChanged);
        {
            const auto nobody = asNobody();
            for (const char* name : { "missing", "folder", "nowhere/a", "locked" })
                open(name);
        }
        open("pipe"); // as root, who could open it and wait for a writer
        open("empty");
        QCOMPARE(changed.count(), 0);
        QVERIFY(m_fontChanges.isEmpty());
        // The read after the first 9 bytes fails, as a disk might.
        runtime::setInputFilter([](std::unique_ptr<QIODevice> file) {
            auto failing = std::make_unique<FailingDevice>();
            failing->setData(file->read(9));
            failing->open(QIODevice::ReadOnly);
            return failing;
        });
        open("long");
        // "two" ends with the CR that the failed read would have completed: it is kept too.
        QCOMPARE(text(), QStringLiteral("one\r\ntwo\r\n"));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(m_fontChanges, (QList<std::pair<int, bool>> { { 1, true } }));
        QVERIFY(m_dialogs->messages.isEmpty());
        // Left open, file 1 would make every later Open fail.
        QCOMPARE(errorOf([] { runtime::closeFile(1); }), 52);
    }
};

QTEST_MAIN(TestSourceFiles)
#include "tst_sourcefiles.moc"
