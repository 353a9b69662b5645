// The Windows layer on the system's own registry, command interpreter and file system: run
// under Wine here, in a prefix of the tests' own.
#include "fakes.h"

#include <frmabout.h>
#include <runtime.h>
#include <services.h>
#include <win32.h>

#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

int reg(const QStringList& arguments)
{
    return QProcess::execute(u"reg"_s, arguments);
}

} // namespace

class TestWindows : public QObject {
    Q_OBJECT

private slots:
    void getKeyValueReadsTheSystemRegistry_data();
    void getKeyValueReadsTheSystemRegistry();
    void compileRunsAsmBatThroughTheInterpreterOnly();
    void aProgramPathWithSpacesStartsThatProgram();
    void findFileMatchesNormalFilesOnly();
};

void TestWindows::getKeyValueReadsTheSystemRegistry_data()
{
    // The value PATH of location 1 as reg add writes it, or as reg import does where reg add
    // cannot (a string without its NUL, or of no size). Result 1 true, 0 false, or the error.
    QTest::addColumn<QStringList>("add");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("text");
    const QString path = u"C:\\Program Files\\Info\\msinfo32.exe"_s;
    const QString a1023(1023, u'a');
    QTest::newRow("string, its NUL counted") << QStringList { u"/d"_s, path } << 1 << path;
    QTest::newRow("string, no NUL counted") << QStringList { u"hex(1):41,42"_s } << 1 << u"AB"_s;
    QTest::newRow("size 0") << QStringList { u"hex(1):"_s } << 5 << u"as passed"_s;
    QTest::newRow("dword") << QStringList { u"/t"_s, u"REG_DWORD"_s, u"/d"_s, u"0x12345678"_s } << 1
                           << u"305419896"_s;
    QTest::newRow("1023 characters") << QStringList { u"/d"_s, a1023 } << 1 << a1023;
    QTest::newRow("over 1024 bytes") << QStringList { u"/d"_s, a1023 + u"aa"_s } << 0 << QString();
    QTest::newRow("missing value") << QStringList() << 0 << QString();
}

void TestWindows::getKeyValueReadsTheSystemRegistry()
{
    QFETCH(QStringList, add);
    QFETCH(int, result);
    QFETCH(QString, text);
    const QString key = u"SOFTWARE\\Microsoft\\Shared Tools\\MSINFO"_s;
    reg({ u"delete"_s, u"HKLM\\"_s + key, u"/v"_s, u"PATH"_s, u"/f"_s });
    QTemporaryDir dir;
    QFile file(dir.filePath(u"value.reg"_s));
    if (add.size() == 1 && file.open(QIODevice::WriteOnly)) {
        file.write("REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\" + key.toLatin1()
            + "]\r\n\"PATH\"=" + add.first().toLatin1() + "\r\n");
        file.close();
        add = QStringList { u"import"_s, QDir::toNativeSeparators(file.fileName()) };
    } else if (!add.isEmpty()) {
        add = QStringList { u"add"_s, u"HKLM\\"_s + key, u"/v"_s, u"PATH"_s, u"/f"_s } + add;
    }
    QVERIFY(add.isEmpty() || reg(add) == 0);

    CountingRegistry registry(runtime::registry());
    about::frmAbout form;
    QString value = u"as passed"_s;
    int got = -1;
    try {
        got = form.GetKeyValue(runtime::kHKeyLocalMachine, key, u"PATH"_s, value);
    } catch (const runtime::RuntimeError& error) {
        got = error.number();
    }
    QCOMPARE(got, result);
    QCOMPARE(value, text);
    QCOMPARE(registry.open, 0);
    // Location 2 is missing from a fresh system.
    QVERIFY(!form.GetKeyValue(runtime::kHKeyLocalMachine,
        u"SOFTWARE\\Microsoft\\Shared Tools Location"_s, u"MSINFO"_s, value));
}

void TestWindows::compileRunsAsmBatThroughTheInterpreterOnly()
{
    QTemporaryDir dir;
    const QString previous = QDir::currentPath();
    QDir::setCurrent(dir.path());
    const auto restore = qScopeGuard([&] { QDir::setCurrent(previous); });
    const auto launch = [](const QString& answer) {
        try {
            runtime::launcher().launchCommandLine(
                u"asm.bat "_s + answer, runtime::WindowStyle::Minimized);
        } catch (const runtime::RuntimeError& error) {
            return error.number();
        }
        return 0;
    };
    const auto recorded = [] {
        QFile file(u"recorded.txt"_s);
        return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed() : QByteArray("none");
    };

    QCOMPARE(launch(u"demo"_s), 53); // no asm.bat anywhere yet
    QFile script(u"asm.bat"_s);
    QVERIFY(script.open(QIODevice::WriteOnly) && script.write("@echo %*> recorded.txt\r\n") > 0);
    script.close();
    // Each of these would make the interpreter run a command of the answer's own.
    for (const QString& answer : { u"demo & echo x"_s, u"demo | more"_s, u"demo < nul"_s,
             u"demo > out"_s, u"de^mo"_s, u"%PATH%"_s, u"\"demo\""_s })
        QCOMPARE(launch(answer), 5);
    QTest::qWait(1500);
    QCOMPARE(recorded(), "none");
    QCOMPARE(launch(u"demo"_s), 0);
    QTRY_COMPARE_WITH_TIMEOUT(recorded(), "demo", 15000);
}

void TestWindows::aProgramPathWithSpacesStartsThatProgram()
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

void TestWindows::findFileMatchesNormalFilesOnly()
{
    QTemporaryDir dir;
    for (const QString& name : { u"Demo.Z80"_s, u"Zeta.z80"_s, u"hidden.z80"_s, u"system.z80"_s })
        QVERIFY(QFile(dir.filePath(name)).open(QIODevice::WriteOnly));
    QVERIFY(QDir(dir.path()).mkdir(u"folder.z80"_s));
    const auto path
        = [&](const QString& name) { return QDir::toNativeSeparators(dir.filePath(name)); };
    QVERIFY(
        SetFileAttributesW(path(u"hidden.z80"_s).toStdWString().c_str(), FILE_ATTRIBUTE_HIDDEN));
    QVERIFY(
        SetFileAttributesW(path(u"system.z80"_s).toStdWString().c_str(), FILE_ATTRIBUTE_SYSTEM));

    QCOMPARE(runtime::findFile(path(u"DEMO.z80"_s)), u"Demo.Z80"_s);
    QCOMPARE(runtime::findFile(path(u"z*.Z80"_s)), u"Zeta.z80"_s);
    QCOMPARE(runtime::findFile(path(u"?ETA.z80"_s)), u"Zeta.z80"_s);
    for (const QString& none : { u"hidden.z80"_s, u"system.z80"_s, u"folder.z80"_s, u"x.z80"_s })
        QCOMPARE(runtime::findFile(path(none)), QString());
}

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    // Copied under another name, this program stands for one that a launch should start.
    const QFileInfo self(QCoreApplication::applicationFilePath());
    if (self.baseName() != u"tst_windows"_s)
        return QFile(self.absolutePath() + u'/' + self.baseName() + u".ran"_s)
                   .open(QIODevice::WriteOnly)
            ? 0
            : 1;
    TestWindows test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_windows.moc"
