// Compile: real asm.bat scripts record their words where they run; no shell reads the answer.
#include "fakes.h"

#include <frmeditor.h>

#include <QLineEdit>

static const QString notFound = QStringLiteral("Run-time error '53':\n\nFile not found");

// Once ./release is there, the script records `tag` and its words a line each in ./record, put in
// place whole: a launcher that waited for it returns only after it gave up.
static void writeScript(const QString& path, const QByteArray& tag,
    const QByteArray& head = "#!/bin/sh\n", bool executable = true)
{
    QVERIFY(writeFile(path,
        head + "i=0; while [ ! -e release ] && [ $i -lt 400 ]; do sleep 0.05; i=$((i+1)); done\n"
            + "printf '%s\\n' '" + tag + "' \"$@\" >record.part && mv record.part record\n"));
    QVERIFY(!executable || QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner));
}

// The prompts are the real box; messages are recorded, so that none can leave a box waiting.
class TestCompile : public QObject, runtime::Dialogs {
    Q_OBJECT

    runtime::Dialogs& m_real = runtime::dialogs();
    QStringList m_messages;
    editor::frmEditor m_editor;
    // The only folder of PATH that could hold asm.bat; the working folder is its ./work.
    std::unique_ptr<QTemporaryDir> m_dir;

    QString prompt(const QString& t, const QString& c) override { return m_real.prompt(t, c); }
    void message(const QString& text) override { m_messages.append(text); }

    // The record, written once released (a failing test gives up after 10 s).
    QString recorded()
    {
        if (QFile::exists("record"))
            return QStringLiteral("written before the launcher returned");
        writeFile("release", {});
        (void)QTest::qWaitFor([&] { return QFile::exists("record"); }, 10000);
        return QString::fromLocal8Bit(fileBytes("record", ""));
    }

private slots:
    void init()
    {
        runtime::setDialogs(this);
        m_messages.clear();
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir(m_dir->path()).mkdir("work") && QDir::setCurrent(m_dir->filePath("work")));
        qputenv("PATH", (m_dir->path() + QLatin1String(":/usr/bin:/bin")).toLocal8Bit());
    }

    void theAnswerReachesAsmBatFromTheWorkingFolderOrPath_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("where"); // of asm.bat
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<QString>("seen"); // what asm.bat recorded, or the message shown
        const QByteArray sh = "#!/bin/sh\n";
        QTest::newRow("cancelled") << "demo" << false << "work" << sh << "work\n";
        QTest::newRow("a second command, substitution, wildcards; quotes group")
            << "demo; touch x \"$(touch y)  *.bat\" $HOME" << true << "work" << sh
            << "work\ndemo;\ntouch\nx\n$(touch y)  *.bat\n$HOME\n";
        QTest::newRow("PATH, no #! line")
            << "demo" << true << "path" << QByteArray("# asm.bat\n") << "path\ndemo\n";
        QTest::newRow("both: the working folder's, not executable, run by sh")
            << "demo" << true << "both" << sh << "work\ndemo\n";
        QTest::newRow("not executable, for bash, its #! line ending in CR")
            << "demo" << true << "both" << QByteArray("#!/bin/bash\r\n[ \"$BASH\" ] || exit\n")
            << "work\ndemo\n";
        QTest::newRow("none, only a folder of that name")
            << "demo" << true << "folder" << sh << notFound;
        QTest::newRow("its interpreter missing: sh must not read it")
            << "demo" << true << "work" << QByteArray("#!/nonexistent/sh\n") << notFound;
    }

    void theAnswerReachesAsmBatFromTheWorkingFolderOrPath()
    {
        QFETCH(QString, answer);
        QFETCH(bool, ok);
        QFETCH(QString, where);
        QFETCH(QByteArray, head);
        QFETCH(QString, seen);
        if (where == u"folder")
            QVERIFY(QDir().mkdir("asm.bat"));
        if (where == u"path" || where == u"both")
            writeScript(m_dir->filePath(QStringLiteral("asm.bat")), "path", head);
        if (where == u"work" || where == u"both")
            writeScript("asm.bat", "work", head, where == u"work");
        // The prompt answered and confirmed with Return, or cancelled with Escape.
        whenModalBoxShows([&](QWidget* box) {
            QTest::keyClicks(box->findChild<QLineEdit*>(), answer + (ok ? u'\r' : u'\x1b'));
        });
        m_editor.asfd->trigger();
        QCOMPARE(m_messages.isEmpty() ? recorded() : m_messages.join(u'|'), seen);
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
        QCOMPARE(m_messages, QStringList { notFound });
    }
};

QTEST_MAIN(TestCompile)
#include "tst_compile.moc"
