// Compile: the assembler script started on the typed source name, with no shell between the
// answer and the script. Real scripts in a temporary folder record what they were given.
#include "fakes.h"

#include <frmeditor.h>
#include <services.h>

#include <QAction>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using editor::frmEditor;

namespace {

// Commands started by detached scripts land well within this; it only bounds a failing test.
constexpr int kScriptTimeoutMs = 10000;

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& contents, bool executable)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(contents), contents.size());
    file.close();
    if (executable)
        QVERIFY(file.setPermissions(file.permissions() | QFile::ExeOwner));
}

} // namespace

class TestCompile : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    // ---- the prompt and the command line ----
    void promptAsksForTheSourceUnderItsTitle();
    void cancellingThePromptStillRunsTheScript();
    void commandLineIsAsmBatAndTheAnswerInAMinimisedWindow_data();
    void commandLineIsAsmBatAndTheAnswerInAMinimisedWindow();

    // ---- what the script receives ----
    void scriptReceivesTheAnswerAsWordsAndNoShellReadsIt_data();
    void scriptReceivesTheAnswerAsWordsAndNoShellReadsIt();
    void editorReturnsWhileTheScriptStillRuns();

    // ---- where asm.bat is looked for ----
    void aScriptRunsWithOrWithoutItsExecutableBitAndHashBang_data();
    void aScriptRunsWithOrWithoutItsExecutableBitAndHashBang();
    void aScriptForAMissingInterpreterIsNotReadBySh();
    void asmBatIsLookedUpInTheWorkingFolderThenOnPath_data();
    void asmBatIsLookedUpInTheWorkingFolderThenOnPath();
    void withoutAsmBatCompileShowsError53AndTheEditorGoesOn();

    // ---- the example script ----
    void exampleScriptAssemblesTheSourceIntoABinary();
    void exampleScriptLeavesTheAssemblersMessagesInTheLog();

    // ---- launching a program by its path ----
    void aProgramPathWithSpacesIsNeverSplit();
    void aMissingProgramRaisesError53();
    void aProgramPathWrittenTheWindowsWayStartsTheFileItNames();

private:
    // asm.bat in `folder`, recording `tag`, its working folder and its arguments one per line.
    void writeRecordingScript(const QString& folder, const QByteArray& tag, bool executable = true,
        const QByteArray& firstLine = "#!/bin/sh\n",
        const QString& name = QStringLiteral("asm.bat"));
    // Waits for the recording script to finish; its record, or "" when it never ran.
    QString record();
    QString inWork(const QString& name) const { return QDir(m_work).filePath(name); }
    void copyExampleScript();
    void compile(const QString& answer);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<frmEditor> m_editor;
    QString m_work;
    QString m_bin;
    QString m_savedCurrent;
    QByteArray m_savedPath;
};

void TestCompile::initTestCase()
{
    m_savedCurrent = QDir::currentPath();
    m_savedPath = qgetenv("PATH");
}

void TestCompile::init()
{
    // work/ is the editor's working folder, bin/ the only folder of PATH that could hold asm.bat.
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QDir root(m_dir->path());
    QVERIFY(root.mkdir(QStringLiteral("work")) && root.mkdir(QStringLiteral("bin")));
    m_work = QDir(root.filePath(QStringLiteral("work"))).canonicalPath();
    m_bin = QDir(root.filePath(QStringLiteral("bin"))).canonicalPath();
    QVERIFY(QDir::setCurrent(m_work));
    qputenv("PATH", (m_bin + QLatin1String(":/usr/bin:/bin")).toLocal8Bit());
    m_editor = std::make_unique<frmEditor>();
    m_editor->show();
}

void TestCompile::cleanup()
{
    m_editor.reset();
    QDir::setCurrent(m_savedCurrent);
    qputenv("PATH", m_savedPath);
    m_dir.reset();
}

void TestCompile::writeRecordingScript(const QString& folder, const QByteArray& tag,
    bool executable, const QByteArray& firstLine, const QString& name)
{
    const QByteArray record = m_dir->filePath(QStringLiteral("record")).toLocal8Bit();
    // Written whole and then renamed, so that a record that exists is complete.
    writeFile(QDir(folder).filePath(name),
        firstLine + "{ echo '" + tag
            + "'; pwd -P; for word in \"$@\"; do printf '[%s]\\n' \"$word\"; done; } >'" + record
            + ".part' && mv '" + record + ".part' '" + record + "'\n",
        executable);
}

QString TestCompile::record()
{
    const QString path = m_dir->filePath(QStringLiteral("record"));
    (void)QTest::qWaitFor([&] { return QFile::exists(path); }, kScriptTimeoutMs);
    return QString::fromLocal8Bit(readAll(path));
}

void TestCompile::copyExampleScript()
{
    QVERIFY(QFile::copy(
        QStringLiteral(BRINDLEHOF_EXAMPLES_DIR "/asm.bat"), inWork(QStringLiteral("asm.bat"))));
}

void TestCompile::compile(const QString& answer)
{
    ScriptedDialogs dialogs;
    dialogs.answers = QStringList { answer };
    m_editor->asfd->trigger();
    QCOMPARE(dialogs.messages, QStringList());
}

// ---- the prompt and the command line ------------------------------------------------------------

namespace {

// The real prompt, and messages recorded: a failure then shows in the test instead of leaving
// a message box waiting.
class RealPrompt final : public runtime::Dialogs {
public:
    RealPrompt() { runtime::setDialogs(this); }
    ~RealPrompt() override { runtime::setDialogs(nullptr); }
    Q_DISABLE_COPY_MOVE(RealPrompt)

    QString prompt(const QString& text, const QString& title) override
    {
        return m_real.prompt(text, title);
    }
    void message(const QString& text) override { messages.append(text); }

    QStringList messages;

private:
    runtime::Dialogs& m_real = runtime::dialogs();
};

enum class Close { Ok, Cancel };

// Answers the real prompt: types `keys`, then OK or Cancel.
void answerThePrompt(const QString& keys, Close how, QString* title, QString* label)
{
    whenModalBoxShows([=](QWidget* box) {
        *title = box->windowTitle();
        if (const auto* text = box->findChild<QLabel*>())
            *label = text->text();
        QTest::keyClicks(box->findChild<QLineEdit*>(), keys);
        box->findChild<QDialogButtonBox*>()
            ->button(how == Close::Ok ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel)
            ->click();
    });
}

} // namespace

void TestCompile::promptAsksForTheSourceUnderItsTitle()
{
    writeRecordingScript(m_work, "here");
    RealPrompt dialogs;
    QString title, label;
    answerThePrompt(QStringLiteral("demo"), Close::Ok, &title, &label);
    m_editor->asfd->trigger();
    QCOMPARE(dialogs.messages, QStringList());
    QCOMPARE(title, QStringLiteral("Name of Source to Compile"));
    QCOMPARE(label, QStringLiteral("Compilation"));
    QCOMPARE(record(), QStringLiteral("here\n%1\n[demo]\n").arg(m_work));
}

void TestCompile::cancellingThePromptStillRunsTheScript()
{
    writeRecordingScript(m_work, "here");
    RealPrompt dialogs;
    QString title, label;
    answerThePrompt(QStringLiteral("demo"), Close::Cancel, &title, &label);
    m_editor->asfd->trigger();
    QCOMPARE(dialogs.messages, QStringList());
    QCOMPARE(record(), QStringLiteral("here\n%1\n").arg(m_work));
}

void TestCompile::commandLineIsAsmBatAndTheAnswerInAMinimisedWindow_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("commandLine");
    QTest::newRow("a source name") << QStringLiteral("demo") << QStringLiteral("asm.bat demo");
    QTest::newRow("nothing, not even .z80, added") << QString() << QStringLiteral("asm.bat ");
    QTest::newRow("the answer as typed")
        << QStringLiteral(" Demo.Z80 ") << QStringLiteral("asm.bat  Demo.Z80 ");
}

void TestCompile::commandLineIsAsmBatAndTheAnswerInAMinimisedWindow()
{
    QFETCH(QString, answer);
    QFETCH(QString, commandLine);
    RecordingLauncher launcher;
    compile(answer);
    QCOMPARE(launcher.commandLines, QStringList { commandLine });
    QCOMPARE(launcher.styles, QList { runtime::WindowStyle::Minimized });
}

// ---- what the script receives -------------------------------------------------------------------

void TestCompile::scriptReceivesTheAnswerAsWordsAndNoShellReadsIt_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("words");
    QTest::newRow("a source name") << QStringLiteral("demo") << QStringLiteral("[demo]\n");
    QTest::newRow("an empty answer") << QString() << QString();
    QTest::newRow("two words") << QStringLiteral("fast  demo")
                               << QStringLiteral("[fast]\n[demo]\n");
    QTest::newRow("quotes group") << QStringLiteral("\"my demo\" x")
                                  << QStringLiteral("[my demo]\n[x]\n");
    QTest::newRow("a second command")
        << QStringLiteral("demo; touch x") << QStringLiteral("[demo;]\n[touch]\n[x]\n");
    QTest::newRow("substitution") << QStringLiteral("$(touch y)")
                                  << QStringLiteral("[$(touch]\n[y)]\n");
    QTest::newRow("backquotes") << QStringLiteral("`touch z`")
                                << QStringLiteral("[`touch]\n[z`]\n");
    QTest::newRow("redirection") << QStringLiteral("demo >out")
                                 << QStringLiteral("[demo]\n[>out]\n");
    QTest::newRow("a pipe") << QStringLiteral("demo|touch p")
                            << QStringLiteral("[demo|touch]\n[p]\n");
    QTest::newRow("wildcards and variables")
        << QStringLiteral("*.bat $HOME") << QStringLiteral("[*.bat]\n[$HOME]\n");
}

void TestCompile::scriptReceivesTheAnswerAsWordsAndNoShellReadsIt()
{
    QFETCH(QString, answer);
    QFETCH(QString, words);
    writeRecordingScript(m_work, "here");
    compile(answer);
    QCOMPARE(record(), QStringLiteral("here\n%1\n").arg(m_work) + words);
    // The words did nothing of their own: no file came into being.
    QCOMPARE(QDir(m_work).entryList(QDir::Files), QStringList { QStringLiteral("asm.bat") });
}

void TestCompile::editorReturnsWhileTheScriptStillRuns()
{
    // The script records only once the test lets it go; a launcher that waited for it would
    // return only after it gave up, with the record already there.
    const QByteArray release = m_dir->filePath(QStringLiteral("release")).toLocal8Bit();
    writeRecordingScript(m_bin, "released");
    writeFile(inWork(QStringLiteral("asm.bat")),
        "#!/bin/sh\ni=0; while [ ! -e '" + release
            + "' ] && [ $i -lt 400 ]; do sleep 0.05; i=$((i+1)); done\n"
              "exec '"
            + m_bin.toLocal8Bit() + "/asm.bat' \"$@\"\n",
        true);
    compile(QStringLiteral("demo"));
    QVERIFY(!QFile::exists(m_dir->filePath(QStringLiteral("record"))));
    m_editor->x->setPlainText(QStringLiteral("still editing"));
    writeFile(QString::fromLocal8Bit(release), "", false);
    QCOMPARE(record(), QStringLiteral("released\n%1\n[demo]\n").arg(m_work));
}

// ---- where asm.bat is looked for ----------------------------------------------------------------

void TestCompile::aScriptRunsWithOrWithoutItsExecutableBitAndHashBang_data()
{
    QTest::addColumn<bool>("executable");
    QTest::addColumn<QByteArray>("firstLine");
    QTest::newRow("executable with #!") << true << QByteArray("#!/bin/sh\n");
    QTest::newRow("executable, no #! line") << true << QByteArray("# asm.bat\n");
    QTest::newRow("not executable, with #!") << false << QByteArray("#!/bin/sh\n");
    QTest::newRow("not executable, no #! line") << false << QByteArray();
}

void TestCompile::aScriptRunsWithOrWithoutItsExecutableBitAndHashBang()
{
    QFETCH(bool, executable);
    QFETCH(QByteArray, firstLine);
    writeRecordingScript(m_work, "ran", executable, firstLine);
    compile(QStringLiteral("demo"));
    QCOMPARE(record(), QStringLiteral("ran\n%1\n[demo]\n").arg(m_work));
}

void TestCompile::aScriptForAMissingInterpreterIsNotReadBySh()
{
    writeRecordingScript(m_work, "read by sh", true, "#!/nonexistent/interpreter\n");
    ScriptedDialogs dialogs;
    dialogs.answers = QStringList { QStringLiteral("demo") };
    m_editor->asfd->trigger();
    QCOMPARE(
        dialogs.messages, QStringList { QStringLiteral("Run-time error '53':\n\nFile not found") });
    // Had sh read the script, it would have recorded by now: compile a second one and wait.
    writeRecordingScript(m_work, "second");
    compile(QStringLiteral("next"));
    QCOMPARE(record(), QStringLiteral("second\n%1\n[next]\n").arg(m_work));
}

void TestCompile::asmBatIsLookedUpInTheWorkingFolderThenOnPath_data()
{
    QTest::addColumn<bool>("inWork");
    QTest::addColumn<bool>("onPath");
    QTest::addColumn<QString>("found");
    QTest::newRow("in the working folder") << true << false << QStringLiteral("work");
    QTest::newRow("on PATH") << false << true << QStringLiteral("path");
    QTest::newRow("in both") << true << true << QStringLiteral("work");
}

void TestCompile::asmBatIsLookedUpInTheWorkingFolderThenOnPath()
{
    QFETCH(bool, inWork);
    QFETCH(bool, onPath);
    QFETCH(QString, found);
    if (onPath)
        writeRecordingScript(m_bin, "path");
    if (inWork)
        writeRecordingScript(m_work, "work");
    compile(QStringLiteral("demo"));
    QCOMPARE(record(), QStringLiteral("%1\n%2\n[demo]\n").arg(found, m_work));
}

void TestCompile::withoutAsmBatCompileShowsError53AndTheEditorGoesOn()
{
    QVERIFY(QDir().mkdir(inWork(QStringLiteral("asm.bat")))); // a folder is not the script
    ScriptedDialogs dialogs;
    dialogs.answers = QStringList { QStringLiteral("demo") };
    m_editor->setText(QStringLiteral("kept"));
    m_editor->asfd->trigger();
    QCOMPARE(
        dialogs.messages, QStringList { QStringLiteral("Run-time error '53':\n\nFile not found") });
    QCOMPARE(m_editor->text(), QStringLiteral("kept"));
    m_editor->x->moveCursor(QTextCursor::End);
    QTest::keyClicks(m_editor->x, QStringLiteral(" on"));
    QCOMPARE(m_editor->text(), QStringLiteral("kept on"));
}

// ---- the example script -------------------------------------------------------------------------

void TestCompile::exampleScriptAssemblesTheSourceIntoABinary()
{
    copyExampleScript();
    writeFile(inWork(QStringLiteral("demo.z80")),
        "        org 0\r\nstart:  ld a,1\r\n        ret\r\n", false);
    compile(QStringLiteral("demo"));
    const QString log = inWork(QStringLiteral("demo.log"));
    QTRY_VERIFY_WITH_TIMEOUT(readAll(log).contains("asm.bat:"), kScriptTimeoutMs);
    QCOMPARE(readAll(log), QByteArray("asm.bat: demo.z80 assembled into demo.bin\n"));
    QCOMPARE(readAll(inWork(QStringLiteral("demo.bin"))), QByteArray("\x3e\x01\xc9"));
}

void TestCompile::exampleScriptLeavesTheAssemblersMessagesInTheLog()
{
    copyExampleScript();
    writeFile(inWork(QStringLiteral("demo.z80")), "start:  ld a,\r\n", false);
    writeFile(inWork(QStringLiteral("demo.bin")), "stale", false);
    compile(QStringLiteral("demo"));
    const QString log = inWork(QStringLiteral("demo.log"));
    QTRY_VERIFY_WITH_TIMEOUT(readAll(log).contains("asm.bat:"), kScriptTimeoutMs);
    QVERIFY2(readAll(log).startsWith("ERROR on line 1 of file demo.z80"), readAll(log).constData());
    QVERIFY(readAll(log).endsWith("asm.bat: demo.z80 not assembled (pasmo exit status 1)\n"));
    QVERIFY(!QFile::exists(inWork(QStringLiteral("demo.bin"))));
}

// ---- launching a program by its path ------------------------------------------------------------

void TestCompile::aProgramPathWithSpacesIsNeverSplit()
{
    // Split at its space, the path would start "run" with the argument "me".
    writeRecordingScript(m_work, "split", true, "#!/bin/sh\n", QStringLiteral("run"));
    writeRecordingScript(m_work, "whole", true, "#!/bin/sh\n", QStringLiteral("run me"));
    runtime::launcher().launchProgram(
        inWork(QStringLiteral("run me")), runtime::WindowStyle::Normal);
    QCOMPARE(record(), QStringLiteral("whole\n%1\n").arg(m_work));
}

void TestCompile::aMissingProgramRaisesError53()
{
    try {
        runtime::launcher().launchProgram(
            inWork(QStringLiteral("absent")), runtime::WindowStyle::Normal);
        QFAIL("no error raised");
    } catch (const runtime::RuntimeError& error) {
        QCOMPARE(error.number(), 53);
    }
}

void TestCompile::aProgramPathWrittenTheWindowsWayStartsTheFileItNames()
{
    // As a registry folder plus "\\MSINFO32.EXE" names it: backslashes, and another case.
    QVERIFY(QDir(m_work).mkpath(QStringLiteral("Tools")));
    writeRecordingScript(inWork(QStringLiteral("Tools")), "msinfo", true, "#!/bin/sh\n",
        QStringLiteral("msinfo32.exe"));
    QString path = inWork(QStringLiteral("TOOLS\\MSINFO32.EXE"));
    runtime::launcher().launchProgram(path, runtime::WindowStyle::Normal);
    QCOMPARE(record(), QStringLiteral("msinfo\n%1\n").arg(m_work));
}

QTEST_MAIN(TestCompile)
#include "tst_compile.moc"
