// What Save and Open must keep: the file's links, owner and mode, and the program itself when
// memory runs short; on real files, mounts, users and limits.
#include "fakes.h"

#include <frmeditor.h>

#include <QDir>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// Owner, group, mode and links of the name itself, a link not followed; "" when there is none.
QString identity(const QString& path)
{
    struct stat status {};
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
        return {};
    return QString::asprintf("%u:%u %o %u", status.st_uid, status.st_gid, status.st_mode,
        unsigned(status.st_nlink));
}

} // namespace

class TestSaveFile : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    std::unique_ptr<editor::frmEditor> m_editor;

    void run(QAction* command, const QString& name)
    {
        m_dialogs->answers << name;
        command->trigger();
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid() && QDir::setCurrent(m_dir->path()));
        ::chmod(".", 0755); // "nobody" may enter
        m_dialogs = std::make_unique<ScriptedDialogs>();
        m_editor = std::make_unique<editor::frmEditor>();
        m_editor->show();
    }

    void cleanup()
    {
        m_editor.reset();
        m_dialogs.reset();
        QProcess::execute("sh", { "-c", "umount --lazy dir 2>/dev/null" });
        m_dir.reset();
    }

    void saveKeepsTheFileItWrites_data()
    {
        QTest::addColumn<QString>("setUp"); // shell commands, in a folder holding dir/old.z80
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("error"); // "" when saved
        QTest::newRow("a second hard link") << "ln dir/old.z80 dir/b.z80" << "dir/old" << "";
        QTest::newRow("another user's file, saved by root")
            << "chown nobody:nogroup dir/old.z80" << "dir/old" << "";
        QTest::newRow("a read-only file") << "chmod 444 dir/old.z80" << "dir/old" << "";
        QTest::newRow("a folder nobody may create in, as nobody")
            << "chown nobody dir/old.z80" << "dir/old" << "";
        QTest::newRow("a symbolic link, followed") << "ln -s old.z80 dir/b.z80" << "dir/b" << "";
        QTest::newRow("a symbolic link to itself")
            << "ln -s b.z80 dir/b.z80" << "dir/b" << "75':\n\nPath/File access error";
        QTest::newRow("a missing folder, then ..")
            << "true" << "dir/sub/../old" << "76':\n\nPath not found";
        QTest::newRow("a name of 300 characters")
            << "true" << "dir/" + QString(296, u'n') << "75':\n\nPath/File access error";
        // Three pages, less than the text.
        QTest::newRow("a full disk, written in place")
            << "mount -t tmpfs -o size=12k tmpfs dir && printf 'old\\r\\n' >dir/old.z80"
               " && ln dir/old.z80 dir/b.z80"
            << "dir/old" << "61':\n\nDisk full";
    }

    void saveKeepsTheFileItWrites()
    {
        QFETCH(QString, setUp);
        QFETCH(QString, name);
        QFETCH(QString, error);
        const QString old = "mkdir dir && printf 'old\\r\\n' >dir/old.z80 && ";
        if (QProcess::execute("sh", { "-c", old + setUp }) != 0)
            QSKIP("needs root and a system that lets it mount");
        const QStringList names = { "dir/old.z80", "dir/b.z80" };
        QStringList before;
        for (const QString& file : names)
            before << identity(file) + " " + readFile(file);
        const auto entries = [] { return QDir("dir").entryList(QDir::AllEntries | QDir::System); };
        const QStringList listed = entries();
        const QString text = QString(100, u'x').append("\r\n").repeated(130);
        m_editor->setText(text);
        const bool nobody = QByteArray(QTest::currentDataTag()).endsWith("as nobody");
        if (nobody && ::setresuid(65534, 65534, 0) != 0)
            QSKIP("needs root to become nobody");
        run(m_editor->save, name);
        if (nobody && ::setresuid(0, 0, 0) != 0)
            qFatal("cannot return to root");
        QCOMPARE(m_dialogs->messages.join(""), error.isEmpty() ? "" : "Run-time error '" + error);
        for (int i = 0; i < names.size(); ++i) {
            const QString& kept = before[i];
            const bool hadText = !kept.endsWith("<unreadable>");
            QCOMPARE(identity(names[i]) + " " + readFile(names[i]),
                error.isEmpty() && hadText ? kept.section(' ', 0, 2) + " " + text : kept);
        }
        QCOMPARE(entries(), listed);
    }

    // Some 4,000,000 lines cost the text box far more than the 128 MiB the limit leaves.
    void openRefusesATextMemoryCannotHold()
    {
        QFile file("lines.z80");
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(QByteArray(4'000'000, '\n')));
        file.close();
        m_editor->setText("kept");
        QFile statm("/proc/self/statm");
        QVERIFY(statm.open(QIODevice::ReadOnly));
        rlimit limit {};
        QCOMPARE(::getrlimit(RLIMIT_AS, &limit), 0);
        const rlimit unlimited = limit;
        limit.rlim_cur = statm.readAll().split(' ').first().toULongLong() * ::sysconf(_SC_PAGESIZE)
            + (128 << 20);
        QCOMPARE(::setrlimit(RLIMIT_AS, &limit), 0);
        run(m_editor->open, "lines");
        QCOMPARE(::setrlimit(RLIMIT_AS, &unlimited), 0);
        QCOMPARE(m_dialogs->messages, QStringList { "Run-time error '7':\n\nOut of memory" });
        QCOMPARE(m_editor->text(), QStringLiteral("kept"));
    }
};

QTEST_MAIN(TestSaveFile)
#include "tst_savefile.moc"
