// System Info against a registry each test writes: reading a value as text, and what starts.
#include "fakes.h"
#include "sysinfo_fakes.h"

#include <frmabout.h>

#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using about::frmAbout;

namespace {

constexpr auto kLocation1 = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools\\MSINFO]\n";
constexpr auto kLocation2 = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools Location]\n";
constexpr auto kUnavailable = "System Information Is Unavailable At This Time";

} // namespace

class TestSysInfo : public QObject {
    Q_OBJECT

private slots:
    // ---- GetKeyValue ----
    void getKeyValueReadsAsText_data();
    void getKeyValueReadsAsText();
    void aValueOfNoBytesRaisesAndStillClosesTheKey();
    void aKeyThatRefusesAccessGivesFalse();

    // ---- StartSysInfo ----
    void startSysInfo_data();
    void startSysInfo();
};

void TestSysInfo::getKeyValueReadsAsText_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("read");
    QTest::addColumn<QString>("text");
    const QString passed = QStringLiteral("as passed");
    const QString key = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
    QTest::newRow("string, its NUL counted") << QByteArray("\"PATH\"=\"C:\\\\Tools\\\\info.exe\"")
                                             << key << true << "C:\\Tools\\info.exe";
    QTest::newRow("string, its NUL not counted")
        << QByteArray("\"PATH\"=hex(1):68,65,6c,6c,6f") << key << true << "hello";
    QTest::newRow("empty string") << QByteArray("\"PATH\"=\"\"") << key << true << "";
    QTest::newRow("32-bit number, not appended to what was passed")
        << QByteArray("\"PATH\"=dword:00000102") << key << true << "258";
    QTest::newRow("32-bit number, high bit set")
        << QByteArray("\"PATH\"=dword:ffffffff") << key << true << "4294967295";
    QTest::newRow("another type leaves the text")
        << QByteArray("\"PATH\"=hex:01,02") << key << true << passed;
    QTest::newRow("1023 characters and NUL fill the buffer")
        << "\"PATH\"=\"" + QByteArray(1023, 'a') + '"' << key << true << QString(1023, u'a');
    QTest::newRow("1024 characters and NUL do not fit")
        << "\"PATH\"=\"" + QByteArray(1024, 'a') + '"' << key << false << "";
    QTest::newRow("missing value") << QByteArray("\"Other\"=\"x\"") << key << false << "";
    QTest::newRow("missing key") << QByteArray("\"PATH\"=\"x\"")
                                 << QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\None")
                                 << false << "";
}

void TestSysInfo::getKeyValueReadsAsText()
{
    QFETCH(QByteArray, value);
    QFETCH(QString, key);
    QFETCH(bool, read);
    QFETCH(QString, text);
    ScriptedRegistry registry(kLocation1 + value + "\n");
    frmAbout form;
    QString keyVal = QStringLiteral("as passed");
    QCOMPARE(
        form.GetKeyValue(runtime::kHKeyLocalMachine, key, QStringLiteral("PATH"), keyVal), read);
    QCOMPARE(keyVal, text);
    QCOMPARE(registry.masks, QList<std::uint32_t>({ runtime::kKeyRead }));
    QCOMPARE(registry.open, 0);
}

void TestSysInfo::aValueOfNoBytesRaisesAndStillClosesTheKey()
{
    ScriptedRegistry registry(QByteArray(kLocation1) + "\"PATH\"=hex(1):\n");
    frmAbout form;
    QString keyVal = QStringLiteral("as passed");
    try {
        form.GetKeyValue(runtime::kHKeyLocalMachine,
            QStringLiteral("software\\microsoft\\shared tools\\msinfo"), QStringLiteral("path"),
            keyVal);
        QFAIL("no run-time error");
    } catch (const runtime::RuntimeError& error) {
        QCOMPARE(error.number(), 5);
    }
    QCOMPARE(keyVal, QStringLiteral("as passed"));
    QCOMPARE(registry.opened.size(), 1);
    QCOMPARE(registry.open, 0);
}

void TestSysInfo::aKeyThatRefusesAccessGivesFalse()
{
    ScriptedRegistry registry(QByteArray(kLocation1) + "\"PATH\"=\"/usr/bin/tool\"\n");
    registry.refuse = true;
    frmAbout form;
    QString keyVal = QStringLiteral("as passed");
    QVERIFY(!form.GetKeyValue(runtime::kHKeyLocalMachine,
        QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO"), QStringLiteral("PATH"),
        keyVal));
    QCOMPARE(keyVal, QString());
}

void TestSysInfo::startSysInfo_data()
{
    QTest::addColumn<QByteArray>("hive");
    QTest::addColumn<bool>("programInFolder");
    QTest::addColumn<bool>("launchFails");
    QTest::addColumn<QStringList>("launched");
    QTest::addColumn<int>("lookups");
    const QByteArray spaced = QByteArray(kLocation1) + "\"PATH\"=\"/opt/sys info/tool -x\"\n";
    const QByteArray folder = QByteArray(kLocation2) + "\"MSINFO\"=\"%DIR%\"\n";
    const QStringList none;
    QTest::newRow("neither location") << QByteArray() << true << false << none << 2;
    QTest::newRow("location 1, as it stands, before location 2")
        << spaced + folder << true << false << QStringList({ "/opt/sys info/tool -x" }) << 1;
    QTest::newRow("location 2 holding MSINFO32.EXE")
        << folder << true << false << QStringList({ "%DIR%\\MSINFO32.EXE" }) << 2;
    QTest::newRow("location 2 without MSINFO32.EXE") << folder << false << false << none << 2;
    QTest::newRow("a launch that fails")
        << spaced << true << true << QStringList({ "/opt/sys info/tool -x" }) << 1;
    QTest::newRow("location 1 of no bytes: location 2 is not tried")
        << QByteArray(kLocation1) + "\"PATH\"=hex(1):\n" + folder << true << false << none << 1;
    QTest::newRow("location 1 of another type: the empty path fails")
        << QByteArray(kLocation1) + "\"PATH\"=hex:01\n" + folder << true << false
        << QStringList({ "" }) << 1;
}

void TestSysInfo::startSysInfo()
{
    QFETCH(QByteArray, hive);
    QFETCH(bool, programInFolder);
    QFETCH(bool, launchFails);
    QFETCH(QStringList, launched);
    QFETCH(int, lookups);
    QTemporaryDir dir;
    if (programInFolder) {
        QFile program(dir.filePath(QStringLiteral("msinfo32.exe")));
        QVERIFY(program.open(QIODevice::WriteOnly));
    }
    ScriptedRegistry registry(hive.replace("%DIR%", dir.path().toLocal8Bit()));
    RecordingLauncher launcher;
    launcher.fail = launchFails;
    ScriptedDialogs dialogs;

    frmAbout form;
    form.cmdSysInfo(0)->click();

    launched.replaceInStrings(QStringLiteral("%DIR%"), dir.path());
    QCOMPARE(launcher.programs, launched);
    QVERIFY(launcher.commandLines.isEmpty());
    QVERIFY(!launcher.styles.contains(runtime::WindowStyle::Minimized));
    const bool started = !launched.isEmpty() && !launched.first().isEmpty() && !launchFails;
    QCOMPARE(dialogs.messages, started ? QStringList() : QStringList({ kUnavailable }));
    QCOMPARE(registry.opened.size(), lookups);
    QCOMPARE(registry.open, 0);
}

QTEST_MAIN(TestSysInfo)
#include "tst_sysinfo.moc"
