// New, Open, Save, Print (to a PDF) and Compile (by no shell) on real files, mounts and programs.
#include "fakes.h"

#include <frmeditor.h>

#include <QBuffer>
#include <QPlainTextEdit>
#include <QScopeGuard>
#include <QSignalSpy>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

// The disk's fault the running row names: dying (each write half done, the next fails), or sync.
QByteArray g_disk;
extern "C" ssize_t write(int fd, const void* data, size_t size)
{
    static unsigned calls = 0;
    struct stat file {};
    const bool dying = g_disk.contains("dying") && ::fstat(fd, &file) == 0 && S_ISREG(file.st_mode);
    if (dying && calls++ % 2)
        return errno = EIO, -1;
    return ::syscall(SYS_write, fd, data, dying ? (size + 1) / 2 : size);
}
extern "C" int fsync(int fd)
{
    return g_disk.contains("failing sync") ? (errno = EIO, -1) : int(::syscall(SYS_fsync, fd));
}

using runtime::FileMode;
using Statement = std::function<void()>;

namespace {

QByteArray sh(const QString& command) // what it prints
{
    QProcess shell;
    shell.start("sh", { "-c", command });
    return shell.waitForFinished(-1) ? shell.readAllStandardOutput() : "";
}

const QString notFound = QStringLiteral("Run-time error '53':\n\nFile not found");

// Once ./release is there, the script records `tag` and its words, a line each, in ./record.
void writeScript(const QString& path, const QByteArray& tag, const QByteArray& head = "#!/bin/sh\n",
    bool executable = true)
{
    QVERIFY(writeFile(path,
        head + "i=0; while [ ! -e release ] && [ $i -lt 400 ]; do sleep 0.05; i=$((i+1)); done\n"
            + "printf '%s\\n' '" + tag + "' \"$@\" >record.part && mv record.part record\n"));
    QVERIFY(!executable || QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner));
}

// The record, written once released; one there before came from a launcher that waited for it.
QString recorded()
{
    if (QFile::exists("record"))
        return QStringLiteral("written before the launcher returned");
    writeFile("release", {});
    (void)QTest::qWaitFor([&] { return QFile::exists("record"); }, 10000);
    return QString::fromLocal8Bit(fileBytes("record", ""));
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

class TestCommands : public QObject {
    Q_OBJECT

    std::optional<QTemporaryDir> m_dir;
    std::optional<ScriptedDialogs> m_dialogs;
    std::optional<editor::frmEditor> m_editor;
    QString text() const { return m_editor->text(); }
    void open(const QString& name) { m_dialogs->answers << name, m_editor->open->trigger(); }
    void save(const QString& name) { m_dialogs->answers << name, m_editor->save->trigger(); }
    void print(const QString& text) { m_editor->setText(text), m_editor->print->trigger(); }

private slots:
    // In a folder "nobody" may enter: what input cannot open, and ./path, PATH's one for asm.bat.
    void init()
    {
        QVERIFY(QDir::setCurrent(m_dir.emplace().path()));
        ::chmod(".", 0755);
        QVERIFY(writeFile("plain.z80", "nop\r\n") && writeFile("locked.z80", "nop\r\n"));
        ::chmod("locked.z80", 0);
        QDir().mkdir("folder.z80"), ::mkfifo("pipe.z80", 0600);
        QVERIFY(QDir().mkdir("path"));
        qputenv("PATH", m_dir->filePath("path:/usr/bin:/bin").toLocal8Bit());
        // Print goes to a PDF file, and to no queue of this machine: the server named is absent.
        runtime::setPrinterPdfFile(m_dir->filePath("printed.pdf"));
        qputenv("CUPS_SERVER", m_dir->filePath("cups.sock").toLocal8Bit());
        m_dialogs.emplace();
        m_editor.emplace();
    }

    void cleanup()
    {
        m_editor.reset();
        m_dialogs.reset();
        runtime::setInputFilter({});
        runtime::skipOnError(runtime::closeAllFiles);
        // Lazily, so that a file a failed test left open cannot keep a mount on dir behind.
        sh("umount --lazy dir 2>/dev/null; chmod 700 dir 2>/dev/null; [ -f was ] && cat was "
           ">/proc/sys/fs/protected_regular");
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
        const Statement endThenClose = [] { runtime::runProgramEndHooks(), runtime::closeFile(8); };
        for (const char* row : { "closed by End", "closed by the next End" })
            QTest::newRow(row) << endThenClose << 52;
        QTest::newRow("a missing file") << input("missing.z80") << 53;
        QTest::newRow("a missing folder") << input("nowhere/a.z80") << 76;
        QTest::newRow("a folder") << input("folder.z80") << 75;
        // Opened, a pipe with no writer would block the editor for good, a device never end.
        QTest::newRow("a named pipe") << input("pipe.z80") << 75;
        QTest::newRow("a device") << input("/dev/zero") << 75;
        QTest::newRow("a name of 255 bytes, missing") << input(QString(251, u'n') + ".z80") << 53;
        QTest::newRow("a name of 256 bytes") << input(QString(252, u'n') + ".z80") << 75;
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
        QTest::newRow("LF first; LF, CR, CR LF; LF CR is two") << QByteArray(
            "\na\r\nb\nc\rd\n\re\r") << QByteArray("\r\na\r\nb\r\nc\r\nd\r\n\r\ne\r\n");
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
        QVERIFY(writeFile("src.z80.z80", file));
        for (int round = 0; round < 3; ++round)
            open("src.z80"), save("src.z80");
        QCOMPARE(fileBytes("src.z80.z80"), saved.isNull() ? file : saved);
        QCOMPARE(m_dialogs->prompts.mid(0, 2),
            QStringList({ "Open: Enter Name of File to Retrieve", "Save As: Enter a Name" }));
        QVERIFY(m_dialogs->messages.isEmpty());
        m_editor->new_->trigger();
        QCOMPARE(text(), QString());
    }

    void saveWritesTheFileItselfOrShowsWhyAndKeepsIt_data()
    {
        QTest::addColumn<QString>("setUp"); // shell commands, in a folder holding dir/old.z80
        QTest::addColumn<QString>("error"); // "" when saved
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("name");
        const auto row = [](const char* tag, const QString& setUp, const QString& error = {},
                             const QString& typed = {}, const QString& name = "dir/old") {
            QTest::newRow(tag) << setUp << error << typed << name;
        };
        const QString access = "75':\n\nPath/File access error", missing = "76':\n\nPath not found",
                      denied = "70':\n\nPermission denied", full = "61':\n\nDisk full",
                      io = "57':\n\nDevice I/O error", notIn = " is not in code page Windows-1252";
        row("a second hard link", "ln dir/old.z80 dir/b.z80");
        row("another user's file, saved by root", "chown nobody:nogroup dir/old.z80");
        row("another user's file in root's group, saved by root", "chown nobody dir/old.z80");
        row("a read-only file", "chmod 444 dir/old.z80");
        row("a folder nobody may create in, as nobody", "chown nobody dir/old.z80");
        row("a symbolic link, followed", "ln -s old.z80 dir/b.z80", "", "", "dir/b");
        row("a symbolic link to itself", "ln -s b.z80 dir/b.z80", access, "", "dir/b");
        row("a linked folder in a loop", "ln -s loop dir/loop", access, "", "dir/loop/old");
        // The kernel takes s before its "..": the file is d/old.z80, not w/old.z80.
        row("through a linked folder, then ..", "mkdir -p dir/w dir/d/i && mv dir/old.z80 dir/d "
            "&& ln -s ../d/i dir/w/s && ln -s s/../old.z80 dir/w/p.z80", "", "", "dir/w/p");
        row("a name of 255 bytes", "mv dir/old.z80 dir/" + QString(251, u'n') + ".z80", "", "",
            "dir/" + QString(251, u'n'));
        row("attributes and an access list", "setfattr -n user.a -v b dir/old.z80 && setfacl -m "
            "u:nobody:r dir/old.z80");
        // Debian's boot sets fs.protected_regular, which refuses O_CREAT on such a file.
        row("another's file in a sticky folder anyone may write to, as nobody", "cp /proc/sys/fs/"
            "protected_regular was; echo 2 >/proc/sys/fs/protected_regular; chmod 1777 dir && "
            "chown nobody dir && chmod 666 dir/old.z80");
        row("write-only with a second link, as nobody", "chmod 777 dir && chown nobody dir/old.z80 "
            "&& chmod 200 dir/old.z80 && ln dir/old.z80 dir/b.z80", denied);
        row("a dying disk, in place", "ln dir/old.z80 dir/b.z80", io);
        row("a failing sync", "", io);
        row("a folder", "rm dir/old.z80 && mkdir dir/old.z80", access);
        row("a missing folder", "rm -r dir", missing);
        row("a missing folder, then ..", "", missing, "", "dir/sub/../old");
        row("a name of 300 characters", "", access, "", "dir/" + QString(296, u'n'));
        // "nobody" keeps root's group, so the group's bits are the ones that bind it.
        row("no permission, as nobody", "chmod 555 dir", denied);
        row("no permission for a new file, as nobody", "chmod 555 dir", denied, "", "dir/new");
        // Three pages: one for old.z80, 8 KiB to spare. Its owner and empty attribute go to a copy.
        const QString tmpfs = "mount -t tmpfs -o size=12k tmpfs dir && cp old.z80 dir";
        row("a full disk", tmpfs + " && chown nobody dir/old.z80 && setfattr -n trusted.a "
            "dir/old.z80", full);
        // In place the old page counts too: 4 KiB more fill the disk there.
        row("a full disk, written in place", tmpfs + " && ln dir/old.z80 dir/b.z80", full,
            QString(100, u'y').append("\r\n").repeated(40));
        row("a file mounted over, which no rename replaces",
            "mount -t tmpfs tmpfs dir && cp old.z80 dir && : >m && mount --bind m dir/old.z80", io);
        row("an arrow", "", "5':\n\nCharacter \"→\" (U+2192) on line 2" + notIn,
            "ld a,1\r\njp → loop\r\n");
        row("beyond 16 bits", "", "5':\n\nCharacter \"😀\" (U+1F600) on line 3" + notIn,
            "\r\n\r\n; 😀\r\n");
        row("a C1 control not in 1252", "", "5':\n\nCharacter U+0080 on line 1" + notIn, "\u0080");
    }

    // The typed text and 9 KiB: beyond the full disk, within a write buffer; no write fails unseen.
    void saveWritesTheFileItselfOrShowsWhyAndKeepsIt()
    {
        QFETCH(QString, setUp);
        QFETCH(QString, error);
        QFETCH(QString, typed);
        QFETCH(QString, name);
        if (QProcess::execute(
                "sh", { "-c", "printf 'old\\r\\n' >old.z80; mkdir dir; cp old.z80 dir; " + setUp }))
            QSKIP("needs root and a system that lets it mount");
        // Owner, group, mode and links of each name (a link not followed), its text, attributes.
        const auto files = "find dir -mindepth 1 -printf '%U:%G %m %n %p\\n' -exec cat {} \\; "
                           "-exec getfattr -hdm- {} \\; 2>&1";
        const QByteArray before = sh(files);
        typed += QString(100, u'x').append("\r\n").repeated(90);
        m_editor->setText(typed);
        {
            const auto nobody = asNobody((g_disk = QTest::currentDataTag()).endsWith("as nobody"));
            save(name);
        }
        g_disk.clear();
        QCOMPARE(m_dialogs->messages.join(""), error.isEmpty() ? "" : "Run-time error '" + error);
        QCOMPARE(sh(files),
            error.isEmpty() ? QByteArray(before).replace("old\r\n", typed.toLatin1()) : before);
        QCOMPARE(text(), typed);
        QCOMPARE(QApplication::overrideCursor(), nullptr);
        QCOMPARE(errorOf([] { runtime::closeFile(2); }), 52); // nothing left open
    }

    // Nor the font; no ".z80" for "". A failure midway keeps the lines read, put in at once.
    void failingOpenChangesNothingButKeepsTheLinesRead()
    {
        struct FailingDevice : QBuffer {
            qint64 readData(char* data, qint64 max) override
            {
                return atEnd() ? -1 : QBuffer::readData(data, max);
            }
        };
        QVERIFY(writeFile(".z80", "old\r\n") && writeFile("empty.z80", "")
            && writeFile("long.z80", "one\r\ntwo\r\nthree\r\n"));
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
        QCOMPARE(fileBytes(".z80"), "old\r\n");
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

    // The limit leaves `spare` MiB. Refused, no part of the file shows, which Save would cut it to.
    void openLoadsOrRefusesWhatMemoryCannotHold_data()
    {
        QTest::addColumn<QString>("make"); // lines.z80
        QTest::addColumn<int>("spare");
        QTest::addColumn<bool>("loads");
        QTest::newRow("4,000,000 empty lines") << "yes '' | head -n 4000000" << 128 << false;
        QTest::newRow("1,000,000 empty lines") << "yes '' | head -n 1000000" << 240 << true;
        QTest::newRow("1,000,000 lines of a letter") << "yes x | head -n 1000000" << 300 << true;
        QTest::newRow("tab space tab") << "yes '\t ' | tr -d '\\n' | head -c 1M" << 100 << false;
        QTest::newRow("a line of 64 MiB") << "head -c 64M /dev/zero | tr '\\0' x" << 100 << false;
    }

    void openLoadsOrRefusesWhatMemoryCannotHold()
    {
        QFETCH(QString, make);
        QFETCH(int, spare);
        QFETCH(bool, loads);
#ifdef __SANITIZE_ADDRESS__
        QSKIP("AddressSanitizer's allocator takes more and aborts where memory runs out");
#endif
        QCOMPARE(QProcess::execute("sh", { "-c", "(" + make + ") >lines.z80" }), 0);
        m_editor->setText("kept");
        rlimit unlimited {};
        QVERIFY(::getrlimit(RLIMIT_AS, &unlimited) == 0);
        const auto used = sh("cut -d' ' -f1 /proc/$PPID/statm").trimmed().toULong() * getpagesize();
        const rlimit limit { used + (rlim_t(spare) << 20), unlimited.rlim_max };
        QCOMPARE(::setrlimit(RLIMIT_AS, &limit), 0);
        open("lines");
        QCOMPARE(::setrlimit(RLIMIT_AS, &unlimited), 0);
        QCOMPARE(m_dialogs->messages.join(""), loads ? "" : "Run-time error '7':\n\nOut of memory");
        QCOMPARE(text(), loads ? fileBytes("lines.z80").replace("\n", "\r\n") : "kept");
    }

    // Fixed pitch, tabs to a multiple of 8, a word wider than the page wrapped whole, pages filled.
    void printsAppendLinesInColumnsToOneDocument()
    {
        QStringList lines { QString("ABCDEFGHIJ").repeated(30) };
        for (int i = 1; i <= 150; ++i)
            lines.append(QStringLiteral("line %1").arg(i));
        print("loop:\tdjnz loop\r\nWWWWWWW ld a,b\r\n\r\niiiiiii\tret");
        print(""); // an empty editor prints a line end
        print(lines.join("\r\n"));
        runtime::runProgramEndHooks(); // the document goes out as the program ends
        const QString read = QString::fromUtf8(sh("pdftotext -layout printed.pdf -")), // \f a page
                      head = "loop:   djnz loop\nWWWWWWW ld a,b\n\niiiiiii ret\n\n";
        QCOMPARE(read.left(head.size()), head);
        QCOMPARE(read.mid(head.size()).simplified().remove(u' '), lines.join("").remove(u' '));
        QCOMPARE(read.count(u'\f'), 3); // no printer at all: tests/accessibility.py
    }

    void theAnswerReachesAsmBatFromTheWorkingFolderOrPath_data()
    {
        QTest::addColumn<QString>("answer"); // null: cancelled
        QTest::addColumn<QString>("where"); // of asm.bat
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<QString>("seen"); // what asm.bat recorded, or the message shown
        const auto row = [](const char* tag, const char* where, const QByteArray& head,
                             const QString& seen, const QString& answer = "demo") {
            QTest::newRow(tag) << answer << where << head << seen;
        };
        const QByteArray sh = "#!/bin/sh\n";
        row("cancelled", "work", sh, "work\n", QString());
        row("a second command, substitution, wildcards; quotes group", "work", sh,
            "work\ndemo;\ntouch\nx\n$(touch y)  *.bat\n$HOME\n",
            "demo; touch x \"$(touch y)  *.bat\" $HOME");
        row("PATH, no #! line", "path", "# asm.bat\n", "path\ndemo\n");
        row("both: the working folder's, not executable, run by sh", "both", sh, "work\ndemo\n");
        row("not executable, for bash, its #! line ending in CR", "both",
            "#!/bin/bash\r\n[ \"$BASH\" ] || exit\n", "work\ndemo\n");
        row("for bash, a byte-order mark before its #! line", "work",
            "\xEF\xBB\xBF#!/bin/bash\n[ \"$BASH\" ] || exit\n", "work\ndemo\n");
        row("none, only a folder of that name", "folder", sh, notFound);
        row("its interpreter missing: sh must not read it", "work", "#!/nonexistent/sh\n",
            notFound);
    }

    void theAnswerReachesAsmBatFromTheWorkingFolderOrPath()
    {
        QFETCH(QString, answer);
        QFETCH(QString, where);
        QFETCH(QByteArray, head);
        QFETCH(QString, seen);
        if (where == u"folder")
            QVERIFY(QDir().mkdir("asm.bat"));
        if (where == u"path" || where == u"both")
            writeScript("path/asm.bat", "path", head);
        if (where == u"work" || where == u"both")
            writeScript("asm.bat", "work", head, where == u"work");
        m_dialogs->answers << answer;
        m_editor->asfd->trigger();
        QCOMPARE(m_dialogs->messages.isEmpty() ? recorded() : m_dialogs->messages.join(u'|'), seen);
        QVERIFY(!QFile::exists("x") && !QFile::exists("y"));
    }

    // As the registry gives it: backslashes, another case; split at its space it starts "My".
    void aProgramPathIsStartedWholeEvenWrittenTheWindowsWay()
    {
        QVERIFY(QDir().mkdir("My Tools"));
        writeScript("My", "split");
        writeScript("My Tools/msinfo32.exe", "whole");
        const auto style = runtime::WindowStyle::Normal;
        runtime::launcher().launchProgram(QDir::currentPath() + "/My TOOLS\\MSINFO32.EXE", style);
        QCOMPARE(recorded(), QStringLiteral("whole\n"));
        // A wildcard names no program: nothing starts.
        runtime::dispatch([&] {
            runtime::launcher().launchProgram(
                QDir::currentPath() + "/My TOOLS\\MSINFO*.EXE", style);
        });
        QCOMPARE(m_dialogs->messages, QStringList { notFound });
    }
};

QTEST_MAIN(TestCommands)
#include "tst_commands.moc"
