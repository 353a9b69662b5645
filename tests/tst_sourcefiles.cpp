// New, Open and Save and the numbered files under them, on real files and real faults.
#include "fakes.h"

#include <frmeditor.h>

#include <QBuffer>
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

// File access as "nobody" until the guard ends, so that permission bits bind even root.
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
    QString text() const { return m_editor->text(); }
    void open(const QString& name) { m_dialogs->answers << name, m_editor->open->trigger(); }
    void save(const QString& name) { m_dialogs->answers << name, m_editor->save->trigger(); }

private slots:
    // Names without a folder are in the current one, which "nobody" may enter. It holds what
    // input cannot open: a folder, a file only root may read, a named pipe.
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid() && QDir::setCurrent(m_dir->path()));
        ::chmod(".", 0755);
        writeFile("plain.z80", "nop\r\n");
        writeFile("locked.z80", "nop\r\n");
        ::chmod("locked.z80", 0);
        QDir().mkdir("folder.z80");
        ::mkfifo("pipe.z80", 0600);
        m_dialogs = std::make_unique<ScriptedDialogs>();
        m_editor = std::make_unique<editor::frmEditor>();
    }

    void cleanup()
    {
        m_editor.reset();
        m_dialogs.reset();
        runtime::setInputFilter({});
        runtime::skipOnError(runtime::closeAllFiles);
        // Lazily, so that a file a failed test left open cannot keep a mount on dir behind.
        QProcess::execute("sh", { "-c", "umount --lazy dir 2>/dev/null; chmod 700 dir" });
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
        QTest::newRow("write, input") << Statement([] { runtime::writeLine(8, u"x"); }) << 54;
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
        QTest::newRow("a missing folder") << input("nowhere/a.z80") << 76;
        QTest::newRow("a folder") << input("folder.z80") << 75;
        // Opened, a pipe with no writer would block the editor for good, a device never end.
        QTest::newRow("a named pipe") << input("pipe.z80") << 75;
        QTest::newRow("a device") << input("/dev/zero") << 75;
        QTest::newRow("a name too long") << input(QString(300, u'n')) << 75;
        QTest::newRow("a NUL in the name") << input(QString("plain.z80") + QChar(0) + "x") << 75;
        QTest::newRow("no permission") << input("locked.z80") << 70;
    }

    // Each with file 8 open, which must not count otherwise; a failed open leaves its number free.
    void servicesRaiseTheirErrors()
    {
        QFETCH(Statement, statement);
        QFETCH(int, error);
        runtime::openFile("plain.z80", FileMode::Input, 8);
        const auto nobody = asNobody(error == 70);
        QCOMPARE(errorOf(statement), error);
        if (error != 0)
            QCOMPARE(errorOf([] { runtime::closeFile(1); }), 52);
    }

    // Opened and saved three times, with ".z80" added to the name every time.
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
        QTest::newRow("LF first; LF, CR, CR LF; LF CR is two")
            << QByteArray("\na\r\nb\nc\rd\n\re\r")
            << QByteArray("\r\na\r\nb\r\nc\r\nd\r\n\r\ne\r\n");
        // Files are read in chunks of 64 KiB, so a line end may straddle two of them.
        const QByteArray x(65535, 'x');
        QTest::newRow("CR LF across chunks") << x + "\r\nb" << x + "\r\nb\r\n";
        QTest::newRow("CR ending a chunk") << x + "\rb" << x + "\r\nb\r\n";
        QTest::newRow("LF CR across chunks") << x + "\n\rb" << x + "\r\n\r\nb\r\n";
        QTest::newRow("LF starting the second chunk") << x + "x\nb" << x + "x\r\nb\r\n";
    }

    void openThenSaveGivesTheLinesBack()
    {
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, saved);
        writeFile("src.z80.z80", file);
        for (int round = 0; round < 3; ++round)
            open("src.z80"), save("src.z80");
        QCOMPARE(readFile("src.z80.z80"), saved.isNull() ? file : saved);
        QCOMPARE(m_dialogs->prompts.mid(0, 2),
            QStringList({ "Open: Enter Name of File to Retrieve", "Save As: Enter a Name" }));
        QVERIFY(m_dialogs->messages.isEmpty());
        m_editor->new_->trigger();
        QCOMPARE(text(), QString());
    }

    void failingSaveShowsItsErrorAndKeepsTheOldFile_data()
    {
        QTest::addColumn<QString>("fault"); // shell commands that make it
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("error");
        const QString old = QStringLiteral("mkdir -p dir && printf 'old\\r\\n' >dir/old.z80");
        const QString notIn = QStringLiteral(" is not in code page Windows-1252");
        const QString none;
        QTest::newRow("a folder")
            << "mkdir -p dir/old.z80" << none << "75':\n\nPath/File access error";
        QTest::newRow("a missing folder") << none << none << "76':\n\nPath not found";
        // "nobody" keeps root's group, so the group's bits are the ones that bind it.
        QTest::newRow("no permission")
            << old + " && chmod 555 dir" << none << "70':\n\nPermission denied";
        // Three pages: one for old.z80, 8 KiB to spare.
        const QString tmpfs = QStringLiteral("mkdir dir && mount -t tmpfs -o size=12k tmpfs dir && ");
        QTest::newRow("a full disk") << tmpfs + old << none << "61':\n\nDisk full";
        QTest::newRow("an arrow") << old << "ld a,1\r\njp → loop\r\n"
                                  << "5':\n\nCharacter \"→\" (U+2192) on line 2" + notIn;
        QTest::newRow("beyond 16 bits") << old << "\r\n\r\n; 😀\r\n"
                                        << "5':\n\nCharacter \"😀\" (U+1F600) on line 3" + notIn;
        QTest::newRow("a C1 control not in 1252")
            << old << "\u0080" << "5':\n\nCharacter U+0080 on line 1" + notIn;
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
        const QStringList names = QDir("dir").entryList(QDir::Files | QDir::Hidden);
        typed += QString(100, u'x').append("\r\n").repeated(90);
        m_editor->x->insertPlainText(QString(typed).replace("\r\n", "\n"));
        {
            const auto nobody = asNobody(fault.contains("chmod"));
            save("dir/old");
        }
        QCOMPARE(m_dialogs->messages, QStringList({ "Run-time error '" + error }));
        QCOMPARE(text(), typed);
        QCOMPARE(readFile("dir/old.z80"), before);
        QCOMPARE(QDir("dir").entryList(QDir::Files | QDir::Hidden), names); // no temporary left
        QCOMPARE(QApplication::overrideCursor(), nullptr);
        QCOMPARE(errorOf([] { runtime::closeFile(2); }), 52); // nothing left open
    }

    // Nothing changes, not even the font; an empty answer or Cancel opens or saves no ".z80".
    // A failure midway keeps the lines read, put in once, in the rule's font set first.
    void failingOpenChangesNothingButKeepsTheLinesRead()
    {
        struct FailingDevice : QBuffer {
            qint64 readData(char* data, qint64 max) override
            {
                return atEnd() ? -1 : QBuffer::readData(data, max);
            }
        };
        writeFile(".z80", "old\r\n");
        writeFile("empty.z80", "");
        writeFile("long.z80", "one\r\ntwo\r\nthree\r\n");
        QSignalSpy changed(m_editor->x, &QPlainTextEdit::textChanged);
        {
            const auto nobody = asNobody();
            for (const char* name : { "missing", "folder", "nowhere/a", "locked", "" })
                open(name);
        }
        open("pipe"); // as root, who could open it and wait for a writer
        open("empty");
        save("");
        QCOMPARE(changed.count(), 0);
        QCOMPARE(m_editor->x->font().pointSize(), QApplication::font().pointSize());
        QCOMPARE(readFile(".z80"), "old\r\n");
        // The read after the first 9 bytes fails, as a disk might.
        runtime::setInputFilter([](std::unique_ptr<QIODevice> file) {
            auto failing = std::make_unique<FailingDevice>();
            failing->setData(file->read(9));
            failing->open(QIODevice::ReadOnly);
            return failing;
        });
        open("long");
        // "two" ends with the CR that the failed read would have completed: it is kept too.
        QCOMPARE(text(), "one\r\ntwo\r\n");
        QCOMPARE(changed.count(), 1);
        QCOMPARE(m_editor->x->font().pointSize(), 8);
        QVERIFY(m_dialogs->messages.isEmpty());
        QCOMPARE(errorOf([] { runtime::closeFile(1); }), 52); // left open, no Open would work
    }
};

QTEST_MAIN(TestSourceFiles)
#include "tst_sourcefiles.moc"
