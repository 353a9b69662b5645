// The Windows layer on the system's own registry, command interpreter and file system: run
// under Wine here, in a prefix of the tests' own.
#include <frmabout.h>
#include <runtime.h>
#include <services.h>
#include <win32.h>

#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString kPathKey = u"SOFTWARE\\Microsoft\\Shared Tools\\MSINFO"_s;
const QString kFolderKey = u"SOFTWARE\\Microsoft\\Shared Tools Location"_s;

int reg(const QStringList& arguments)
{
    return QProcess::execute(u"reg"_s, arguments);
}

// The system's registry, counting the keys opened and not yet closed.
struct CountingRegistry final : runtime::Registry {
    CountingRegistry() { runtime::setRegistry(this); }
    ~CountingRegistry() override { runtime::setRegistry(nullptr); }

    int openKey(runtime::RegKey root, const QByteArray& subKey, std::uint32_t access,
        runtime::RegKey* key) override
    {
        const int result = native.openKey(root, subKey, access, key);
        open += result == runtime::kRegSuccess;
        return result;
    }
    int queryValue(runtime::RegKey key, const QByteArray& name, std::uint32_t* type, char* data,
        std::uint32_t* size) override
    {
        return native.queryValue(key, name, type, data, size);
    }
    int closeKey(runtime::RegKey key) override
    {
        open -= native.closeKey(key) == runtime::kRegSuccess;
        return runtime::kRegSuccess;
    }

    runtime::Registry& native = runtime::registry();
    int open = 0;
};

} // namespace

class TestWindows : public QObject {
    Q_OBJECT

private slots:
    void getKeyValueReadsTheSystemRegistry_data();
    void getKeyValueReadsTheSystemRegistry();
    void compileRunsAsmBatThroughTheInterpreterOnly();
    void aProgramPathWithSpacesStartsThatProgram();
    void findFileMatchesNormalFilesOnly_data();
    void findFileMatchesNormalFilesOnly();
};

// ---- The registry ---------------------------------------------------------------------------

void TestWindows::getKeyValueReadsTheSystemRegistry_data()
{
    // How the value is written: reg add arguments, or the data line of a file for reg import
    // where reg add cannot write it (a string without its NUL, or of no size at all).
    QTest::addColumn<QString>("key");
    QTest::addColumn<QStringList>("add");
    QTest::addColumn<QString>("import");
    QTest::addColumn<int>("result"); // 1 true, 0 false, or the run-time error raised
    QTest::addColumn<QString>("text");

    const QString path = u"C:\\Program Files\\Info\\msinfo32.exe"_s;
    QTest::newRow("string, its NUL counted")
        << kPathKey << QStringList { u"/t"_s, u"REG_SZ"_s, u"/d"_s, path } << QString() << 1 << path;
    QTest::newRow("string, no NUL counted")
        << kPathKey << QStringList() << u"hex(1):41,42,43"_s << 1 << u"ABC"_s;
    QTest::newRow("size 0") << kPathKey << QStringList() << u"hex(1):"_s << 5 << u"as passed"_s;
    QTest::newRow("dword") << kPathKey
                           << QStringList { u"/t"_s, u"REG_DWORD"_s, u"/d"_s, u"0x12345678"_s }
                           << QString() << 1 << u"305419896"_s;
    QTest::newRow("1023 characters fit") << kPathKey << QStringList { u"/d"_s, QString(1023, u'a') }
                                         << QString() << 1 << QString(1023, u'a');
    QTest::newRow("over 1024 bytes") << kPathKey << QStringList { u"/d"_s, QString(1100, u'a') }
                                     << QString() << 0 << QString();
    QTest::newRow("missing value") << kPathKey << QStringList() << QString() << 0 << QString();
    QTest::newRow("missing key") << kFolderKey << QStringList() << QString() << 0 << QString();
}

void TestWindows::getKeyValueReadsTheSystemRegistry()
{
    QFETCH(QString, key);
    QFETCH(QStringList, add);
    QFETCH(QString, import);
    QFETCH(int, result);
    QFETCH(QString, text);

    const QString hklmKey = u"HKLM\\"_s + key;
    reg({ u"delete"_s, u"HKLM\\"_s + kFolderKey, u"/f"_s });
    reg({ u"delete"_s, hklmKey, u"/v"_s, u"PATH"_s, u"/f"_s });
    if (!add.isEmpty())
        QCOMPARE(reg(QStringList { u"add"_s, hklmKey, u"/v"_s, u"PATH"_s, u"/f"_s } + add), 0);
    if (!import.isEmpty()) {
        QTemporaryDir dir;
        QFile file(dir.filePath(u"value.reg"_s));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("REGEDIT4\r\n\r\n[" + hklmKey.toLatin1() + "]\r\n\"PATH\"=" + import.toLatin1()
            + "\r\n");
        file.close();
        QCOMPARE(reg({ u"import"_s, QDir::toNativeSeparators(file.fileName()) }), 0);
    }

    CountingRegistry registry;
    about::frmAbout form;
    QString value = u"as passed"_s;
    int got = -1;
    try {
        got = form.GetKeyValue(runtime::kHKeyLocalMachine, key, u"PATH"_s, value) ? 1 : 0;
    } catch (const runtime::RuntimeError& error) {
        got = error.number();
    }
    QCOMPARE(got, result);
    QCOMPARE(value, text);
    QCOMPARE(registry.open, 0);
}

// ---- Launching ------------------------------------------------------------------------------

void TestWindows::compileRunsAsmBatThroughTheInterpreterOnly()
{
    QTemporaryDir dir;
    const QString previous = QDir::currentPath();
    QDir::setCurrent(dir.path());
    const auto launch = [](const QString& answer) {
        try {
            runtime::launcher().launchCommandLine(
                u"asm.bat "_s + answer, runtime::WindowStyle::Minimized);
        } catch (const runtime::RuntimeError& error) {
            return error.number();
        }
        return 0;
    };

    QCOMPARE(launch(u"demo"_s), 53); // no asm.bat anywhere yet
    QFile script(u"asm.bat"_s);
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write("@echo %*> recorded.txt\r\n");
    script.close();
    // Each of these would make the interpreter run a command of the answer's own.
    for (const QString& answer : { u"demo & echo x"_s, u"demo | more"_s, u"demo < nul"_s,
             u"demo > out"_s, u"de^mo"_s, u"%PATH%"_s, u"\"demo\""_s })
        QCOMPARE(launch(answer), 5);
    QTest::qWait(1500);
    QVERIFY(!QFile::exists(u"recorded.txt"_s));

    QCOMPARE(launch(u"demo"_s), 0);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(u"recorded.txt"_s), 15000);
    QFile recorded(u"recorded.txt"_s);
    QTRY_VERIFY(recorded.open(QIODevice::ReadOnly) && recorded.size() > 0);
    QCOMPARE(recorded.readAll().trimmed(), "demo");
    recorded.close();
    QDir::setCurrent(previous);
}

void TestWindows::aProgramPathWithSpacesStartsThatProgram()
{
    // Unquoted, "...\my dir\recorder.exe" would start "...\my.exe" first.
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(u"my dir"_s));
    const QString self = QCoreApplication::applicationFilePath();
    QVERIFY(QFile::copy(self, dir.filePath(u"my dir/recorder.exe"_s)));
    QVERIFY(QFile::copy(self, dir.filePath(u"my.exe"_s)));

    runtime::launcher().launchProgram(
        QDir::toNativeSeparators(dir.filePath(u"my dir/recorder.exe"_s)),
        runtime::WindowStyle::Normal);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(dir.filePath(u"my dir/recorder.ran"_s)), 15000);
    QVERIFY(!QFile::exists(dir.filePath(u"my.ran"_s)));
}

// ---- Finding files --------------------------------------------------------------------------

void TestWindows::findFileMatchesNormalFilesOnly_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("found");
    QTest::newRow("other case") << u"DEMO.z80"_s << u"Demo.Z80"_s;
    QTest::newRow("star") << u"z*.Z80"_s << u"Zeta.z80"_s;
    QTest::newRow("question mark") << u"?ETA.z80"_s << u"Zeta.z80"_s;
    QTest::newRow("hidden") << u"hidden.z80"_s << QString();
    QTest::newRow("system") << u"system.z80"_s << QString();
    QTest::newRow("folder") << u"folder.z80"_s << QString();
    QTest::newRow("missing") << u"missing.z80"_s << QString();
}

void TestWindows::findFileMatchesNormalFilesOnly()
{
    QFETCH(QString, pattern);
    QFETCH(QString, found);
    QTemporaryDir dir;
    for (const QString& name : { u"Demo.Z80"_s, u"Zeta.z80"_s, u"hidden.z80"_s, u"system.z80"_s })
        QFile(dir.filePath(name)).open(QIODevice::WriteOnly);
    QVERIFY(QDir(dir.path()).mkdir(u"folder.z80"_s));
    const auto native = [&](const QString& name) {
        return QDir::toNativeSeparators(dir.filePath(name)).toStdWString();
    };
    QVERIFY(SetFileAttributesW(native(u"hidden.z80"_s).c_str(), FILE_ATTRIBUTE_HIDDEN));
    QVERIFY(SetFileAttributesW(native(u"system.z80"_s).c_str(), FILE_ATTRIBUTE_SYSTEM));

    QCOMPARE(runtime::findFile(QDir::toNativeSeparators(dir.filePath(pattern))), found);
}

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    // Copied under another name, this program stands for one that a launch should start.
    const QFileInfo self(QCoreApplication::applicationFilePath());
    if (self.baseName() != u"tst_windows"_s) {
        QFile(self.absolutePath() + u'/' + self.baseName() + u".ran"_s)
            .open(QIODevice::WriteOnly);
        return 0;
    }
    TestWindows test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_windows.moc"
