// Compile: real asm.bat scripts record their words and working folder; no shell reads the answer.
#include "fakes.h"

#include <frmeditor.h>

#include <QAction>
#include <QDialogButtonBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& contents, bool executable = false)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size());
    QVERIFY(!executable || file.setPermissions(file.permissions() | QFile::ExeOwner));
}

// The real prompt; messages recorded, so that a failure cannot leave a box waiting.
struct RealPrompt final : runtime::Dialogs {
    RealPrompt() { runtime::setDialogs(this); }
    ~RealPrompt() override { runtime::setDialogs(nullptr); }
    QString prompt(const QString& t, const QString& c) override { return real.prompt(t, c); }
    void message(const QString& text) override { messages.append(text); }
    runtime::Dialogs& real = runtime::dialogs();
    QStringList messages;
};

} // namespace

class TestCompile : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<editor::frmEditor> m_editor;
    QString m_root; // the only folder of PATH that could hold asm.bat
    QString m_work; // the editor's working folder, inside m_root

    QString inWork(const QString& name) const { return m_work + u'/' + name; }

    // A script recording `tag`, its working folder and its words in ../record, put in place
    // whole, so that a record that exists is complete.
    void writeScript(const QString& path, const QByteArray& tag, bool executable = true,
        const QByteArray& firstLine = "#!/bin/sh\n")
    {
        writeFile(path,
            firstLine + "{ echo '" + tag
                + "'; pwd -P; for w in \"$@\"; do printf '[%s]\\n' \"$w\"; "
                + "done; } >../record.part && mv ../record.part ../record\n",
            executable);
    }

    // The record, once there (a failing test gives up after 10 s); "" when none was written.
    QString record()
    {
        const QString path = m_root + QLatin1String("/record");
        (void)QTest::qWaitFor([&] { return QFile::exists(path); }, 10000);
        return QString::fromLocal8Bit(readAll(path));
    }

    QStringList compile(const QString& answer)
    {
        ScriptedDialogs dialogs;
        dialogs.answers = QStringList { answer };
        m_editor->asfd->trigger();
        return dialogs.messages;
    }

private slots:
    void init()
    {
        m_editor.reset();
        m_dir = std::make_unique<QTemporaryDir>();
        m_root = QDir(m_dir->path()).canonicalPath();
        m_work = m_root + QLatin1String("/work");
        QVERIFY(QDir().mkdir(m_work) && QDir::setCurrent(m_work));
        qputenv("PATH", (m_root + QLatin1String(":/usr/bin:/bin")).toLocal8Bit());
        m_editor = std::make_unique<editor::frmEditor>();
        m_editor->show();
    }

    void theAnswerReachesTheScriptAndNoShell_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("words");
        QTest::newRow("a source name") << "demo" << true << "[demo]\n";
        QTest::newRow("cancelled") << "demo" << false << "";
        QTest::newRow("words, quotes group")
            << "fast  \"my demo\"" << true << "[fast]\n[my demo]\n";
        QTest::newRow("a second command") << "demo; touch x" << true << "[demo;]\n[touch]\n[x]\n";
        QTest::newRow("substitution, wildcards, variables")
            << "$(touch y) *.bat $HOME" << true << "[$(touch]\n[y)]\n[*.bat]\n[$HOME]\n";
    }

    void theAnswerReachesTheScriptAndNoShell()
    {
        QFETCH(QString, answer);
        QFETCH(bool, ok);
        QFETCH(QString, words);
        writeScript(inWork(QStringLiteral("asm.bat")), "here");
        RealPrompt dialogs;
        QString title, label;
        whenModalBoxShows([&](QWidget* box) {
            title = box->windowTitle();
            if (const auto* text = box->findChild<QLabel*>())
                label = text->text();
            QTest::keyClicks(box->findChild<QLineEdit*>(), answer);
            box->findChild<QDialogButtonBox*>()
                ->button(ok ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel)
                ->click();
        });
        m_editor->asfd->trigger();
        QCOMPARE(dialogs.messages, QStringList());
        QCOMPARE(title, QStringLiteral("Name of Source to Compile"));
        QCOMPARE(label, QStringLiteral("Compilation"));
        QCOMPARE(record(), QStringLiteral("here\n%1\n").arg(m_work) + words);
        QCOMPARE(QDir(m_work).entryList(QDir::Files), QStringList { QStringLiteral("asm.bat") });
    }

    void theEditorReturnsWhileTheScriptStillRuns()
    {
        // asm.bat records only once released; a launcher that waited would return after it gave up.
        writeScript(m_root + QLatin1String("/recorder"), "released");
        writeFile(inWork(QStringLiteral("asm.bat")),
            "#!/bin/sh\ni=0; while [ ! -e ../release ] && [ $i -lt 400 ]; do sleep 0.05; "
            "i=$((i+1)); done\nexec recorder \"$@\"\n",
            true);
        QCOMPARE(compile(QStringLiteral("demo")), QStringList());
        QVERIFY(!QFile::exists(m_root + QLatin1String("/record")));
        m_editor->x->setPlainText(QStringLiteral("still editing"));
        writeFile(m_root + QLatin1String("/release"), "");
        QCOMPARE(record(), QStringLiteral("released\n%1\n[demo]\n").arg(m_work));
    }

    void asmBatIsFoundInTheWorkingFolderThenOnPathOrIsError53_data()
    {
        QTest::addColumn<QString>("where");
        QTest::addColumn<bool>("executable");
        QTest::addColumn<QByteArray>("firstLine");
        QTest::addColumn<QString>("found"); // "" for error 53
        QTest::newRow("working folder") << "work" << true << QByteArray("#!/bin/sh\n") << "work";
        QTest::newRow("PATH, no #! line") << "path" << true << QByteArray("# asm.bat\n") << "path";
        QTest::newRow("both, not executable")
            << "both" << false << QByteArray("#!/bin/sh\n") << "work";
        QTest::newRow("not executable, no #!") << "work" << false << QByteArray() << "work";
        QTest::newRow("a folder named asm.bat") << "folder" << false << QByteArray() << "";
        QTest::newRow("its interpreter missing: sh must not read it")
            << "work" << true << QByteArray("#!/nonexistent/sh\n") << "";
    }

    void asmBatIsFoundInTheWorkingFolderThenOnPathOrIsError53()
    {
        QFETCH(QString, where);
        QFETCH(bool, executable);
        QFETCH(QByteArray, firstLine);
        QFETCH(QString, found);
        if (where == QLatin1String("folder"))
            QVERIFY(QDir().mkdir(inWork(QStringLiteral("asm.bat"))));
        if (where == QLatin1String("path") || where == QLatin1String("both"))
            writeScript(m_root + QLatin1String("/asm.bat"), "path", executable, firstLine);
        if (where == QLatin1String("work") || where == QLatin1String("both"))
            writeScript(inWork(QStringLiteral("asm.bat")), "work", executable, firstLine);
        m_editor->setText(QStringLiteral("kept"));
        const QStringList shown = compile(QStringLiteral("demo"));
        if (found.isEmpty()) {
            QCOMPARE(shown, QStringList { "Run-time error '53':\n\nFile not found" });
        } else {
            QCOMPARE(shown, QStringList());
            QCOMPARE(record(), QStringLiteral("%1\n%2\n[demo]\n").arg(found, m_work));
        }
        m_editor->x->moveCursor(QTextCursor::End);
        QTest::keyClicks(m_editor->x, QStringLiteral(" on"));
        QCOMPARE(m_editor->text(), QStringLiteral("kept on"));
    }

    void theExampleScriptAssemblesOrLogsWhyNot()
    {
        QVERIFY(QFile::copy(BRINDLEHOF_EXAMPLES_DIR "/asm.bat", inWork("asm.bat")));
        const QString source = inWork("demo.z80"), log = inWork("demo.log");
        writeFile(source, "start:  ld a,\r\n");
        writeFile(inWork("demo.bin"), "stale");
        QCOMPARE(compile(QStringLiteral("demo")), QStringList());
        QTRY_VERIFY_WITH_TIMEOUT(readAll(log).contains("asm.bat:"), 10000);
        QVERIFY2(readAll(log).startsWith("ERROR on line 1 of file demo.z80"), readAll(log).data());
        QVERIFY(readAll(log).endsWith("asm.bat: demo.z80 not assembled (pasmo exit status 1)\n"));
        QVERIFY(!QFile::exists(inWork("demo.bin")));
        writeFile(source, "        org 0\r\nstart:  ld a,1\r\n        ret\r\n");
        QCOMPARE(compile(QStringLiteral("demo")), QStringList());
        QTRY_COMPARE_WITH_TIMEOUT(
            readAll(log), QByteArray("asm.bat: demo.z80 assembled into demo.bin\n"), 10000);
        QCOMPARE(readAll(inWork("demo.bin")), QByteArray("\x3e\x01\xc9"));
    }

    void aProgramPathIsStartedWholeEvenWrittenTheWindowsWay()
    {
        // As the registry gives it: backslashes, another case; split at its space it starts "My".
        QVERIFY(QDir(m_work).mkdir(QStringLiteral("My Tools")));
        writeScript(inWork("My"), "split");
        writeScript(inWork("My Tools/msinfo32.exe"), "whole");
        const auto style = runtime::WindowStyle::Normal;
        runtime::launcher().launchProgram(inWork("My TOOLS\\MSINFO32.EXE"), style);
        QCOMPARE(record(), QStringLiteral("whole\n%1\n").arg(m_work));
        try {
            runtime::launcher().launchProgram(inWork("absent"), style);
            QFAIL("no error raised");
        } catch (const runtime::RuntimeError& error) {
            QCOMPARE(error.number(), 53);
        }
    }
};

QTEST_MAIN(TestCompile)
#include "tst_compile.moc"
