// What Save and Open must keep: the file's links, owner and mode, and the program itself when
// memory runs short; on real files, mounts, users and limits.
#include "fakes.h"

#include <frmeditor.h>

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>
#include <unistd.h>

static QByteArray sh(const QString& command) // what it prints
{
    QProcess shell;
    shell.start("sh", { "-c", command });
    return shell.waitForFinished(-1) ? shell.readAllStandardOutput() : "";
}

class TestSaveFile : public QObject {
    Q_OBJECT
    std::optional<QTemporaryDir> m_dir;
    std::optional<ScriptedDialogs> m_dialogs;
    std::optional<editor::frmEditor> m_editor;

private slots:
    void init()
    {
        QVERIFY(QDir::setCurrent(m_dir.emplace().path()));
        m_dialogs.emplace();
        m_editor.emplace().show();
    }

    void cleanup() { sh("umount --lazy dir 2>/dev/null"); } // before the next init removes it

    void saveKeepsTheFileItWrites_data()
    {
        QTest::addColumn<QString>("setUp"); // shell commands, in a folder holding dir/old.z80
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("error"); // "" when saved
        const auto row = [](const char* tag, const char* setUp, QString name, QString error = "") {
            QTest::newRow(tag) << QString(setUp) << name << error;
        };
        const char* access = "75':\n\nPath/File access error";
        row("a second hard link", "ln dir/old.z80 dir/b.z80", "dir/old");
        row("another user's file, saved by root", "chown nobody:nogroup dir/old.z80", "dir/old");
        row("a read-only file", "chmod 444 dir/old.z80", "dir/old");
        row("a folder nobody may create in, as nobody", "chown nobody dir/old.z80", "dir/old");
        row("a symbolic link, followed", "ln -s old.z80 dir/b.z80", "dir/b");
        row("a symbolic link to itself", "ln -s b.z80 dir/b.z80", "dir/b", access);
        row("a missing folder, then ..", "true", "dir/sub/../old", "76':\n\nPath not found");
        row("a name of 300 characters", "true", "dir/" + QString(296, u'n'), access);
        row("a full disk, written in place", // three pages, less than the text
            "mount -t tmpfs -o size=12k tmpfs dir && cp old.z80 dir && ln dir/old.z80 dir/b.z80",
            "dir/old", "61':\n\nDisk full");
    }

    void saveKeepsTheFileItWrites()
    {
        QFETCH(QString, setUp);
        QFETCH(QString, name);
        QFETCH(QString, error);
        const QString old = "chmod 755 .; printf 'old\\r\\n' >old.z80; mkdir dir; cp old.z80 dir; ";
        if (QProcess::execute("sh", { "-c", old + setUp })) // nobody may enter "."
            QSKIP("needs root and a system that lets it mount");
        // Owner, group, mode and links of each name (a link not followed), then its text.
        const auto files = "find dir -mindepth 1 -printf '%U:%G %m %n %p\\n' -exec cat {} \\; 2>&1";
        const QByteArray text = QByteArray(100, 'x').append("\r\n").repeated(130);
        const auto expected = error.isEmpty() ? sh(files).replace("old\r\n", text) : sh(files);
        m_editor->setText(text);
        m_dialogs->answers << name;
        const bool nobody = QByteArray(QTest::currentDataTag()).endsWith("as nobody");
        QVERIFY(!nobody || ::setresuid(65534, 65534, 0) == 0); // root, or chown would have failed
        m_editor->save->trigger();
        QVERIFY(!nobody || ::setresuid(0, 0, 0) == 0);
        QCOMPARE(m_dialogs->messages.join(""), error.isEmpty() ? "" : "Run-time error '" + error);
        QCOMPARE(sh(files), expected);
    }

    // Some 4,000,000 lines cost the text box far more than the 128 MiB the limit leaves.
    void openRefusesATextMemoryCannotHold()
    {
        QCOMPARE(QProcess::execute("sh", { "-c", "yes '' | head -n 4000000 >lines.z80" }), 0);
        m_editor->setText("kept");
        m_dialogs->answers << "lines";
        rlimit unlimited {};
        QVERIFY(::getrlimit(RLIMIT_AS, &unlimited) == 0);
        const auto used = sh("cut -d' ' -f1 /proc/$PPID/statm").trimmed().toULong() * getpagesize();
        const rlimit limit { used + (128 << 20), unlimited.rlim_max };
        QCOMPARE(::setrlimit(RLIMIT_AS, &limit), 0);
        m_editor->open->trigger();
        QCOMPARE(::setrlimit(RLIMIT_AS, &unlimited), 0);
        QCOMPARE(m_dialogs->messages, QStringList { "Run-time error '7':\n\nOut of memory" });
        QCOMPARE(m_editor->text(), QStringLiteral("kept"));
    }
};

QTEST_MAIN(TestSaveFile)
#include "tst_savefile.moc"
