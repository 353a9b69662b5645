// The Windows layer on the system's own command interpreter and file system, run under Wine here
// in a prefix of the tests' own; tst_about reads the system's registry.
#include "fakes.h"

#include <frmabout.h>
#include <win32.h>

#include <QScopeGuard>

using namespace Qt::StringLiterals;

class TestWindows : public QObject {
    Q_OBJECT

private slots:
    void compileRunsAsmBatThroughTheInterpreterOnly()
    {
        QTemporaryDir dir;
        const QString previous = QDir::currentPath();
        QDir::setCurrent(dir.path());
        const auto restore = qScopeGuard([&] { QDir::setCurrent(previous); });
        const auto launch = [](const QString& answer) {
            return errorOf([&] {
                runtime::launcher().launchCommandLine(
                    u"asm.bat "_s + answer, runtime::WindowStyle::Minimized);
            });
        };
        const auto recorded = [] { return fileBytes(u"recorded.txt"_s, "none").trimmed(); };

        QCOMPARE(launch(u"demo"_s), 53); // no asm.bat anywhere yet
        QVERIFY(writeFile(u"asm.bat"_s, "@echo %*> recorded.txt\r\n"));
        // Each of these would make the interpreter run a command of the answer's own.
        for (const QString& answer : { u"demo & echo x"_s, u"demo | more"_s, u"demo < nul"_s,
                 u"demo > out"_s, u"de^mo"_s, u"%PATH%"_s, u"\"demo\""_s })
            QCOMPARE(launch(answer), 5);
        QTest::qWait(1500);
        QCOMPARE(recorded(), "none");
        QCOMPARE(launch(u"demo"_s), 0);
        QTRY_COMPARE_WITH_TIMEOUT(recorded(), "demo", 15000);
    }

    void aProgramPathWithSpacesStartsThatProgram()
    {
        // Unquoted, "...\my dir\recorder.exe" would start "...\my.exe" first.
        QTemporaryDir dir;
        const QString self = QCoreApplication::applicationFilePath();
        QVERIFY(QDir(dir.path()).mkdir(u"my dir"_s));
        QVERIFY(QFile::copy(self, dir.filePath(u"my dir/recorder.exe"_s)));
        QVERIFY(QFile::copy(self, dir.filePath(u"my.exe"_s)));
        runtime::launcher().launchProgram(
            QDir::toNativeSeparators(dir.filePath(u"my dir/recorder.exe"_s)),
            runtime::WindowStyle::Normal);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(dir.filePath(u"my dir/recorder.ran"_s)), 15000);
        QVERIFY(!QFile::exists(dir.filePath(u"my.ran"_s)));
    }

    void findFileMatchesNormalFilesOnly()
    {
        QTemporaryDir dir;
        const auto path
            = [&](const QString& name) { return QDir::toNativeSeparators(dir.filePath(name)); };
        for (const QString& name :
            { u"Demo.Z80"_s, u"Zeta.z80"_s, u"hidden.z80"_s, u"system.z80"_s })
            QVERIFY(writeFile(path(name), {}));
        QVERIFY(QDir(dir.path()).mkdir(u"folder.z80"_s));
        for (const auto& [name, attribute] : { std::pair(u"hidden.z80"_s, FILE_ATTRIBUTE_HIDDEN),
                 { u"system.z80"_s, FILE_ATTRIBUTE_SYSTEM } })
            QVERIFY(SetFileAttributesW(path(name).toStdWString().c_str(), attribute));

        QCOMPARE(runtime::findFile(path(u"DEMO.z80"_s)), u"Demo.Z80"_s);
        QCOMPARE(runtime::findFile(path(u"z*.Z80"_s)), u"Zeta.z80"_s);
        QCOMPARE(runtime::findFile(path(u"?ETA.z80"_s)), u"Zeta.z80"_s);
        for (const QString& none :
            { u"hidden.z80"_s, u"system.z80"_s, u"folder.z80"_s, u"x.z80"_s })
            QCOMPARE(runtime::findFile(path(none)), QString());
    }
};

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    // Copied under another name, this program stands for one that a launch should start.
    const QFileInfo self(QCoreApplication::applicationFilePath());
    if (self.baseName() != u"tst_windows"_s)
        return writeFile(self.absolutePath() + u'/' + self.baseName() + u".ran"_s, {}) ? 0 : 1;
    TestWindows test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_windows.moc"
