// The registry stand-in read from the registry editor's export format, and finding a file.
#include <services.h>

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using runtime::Registry;

namespace {

constexpr auto kKey = "SOFTWARE\\Brindlehof";

struct Read {
    int result = -1;
    std::uint32_t type = 0;
    QByteArray data;
};

// One value of HKEY_LOCAL_MACHINE\`key` read as GetKeyValue reads it, the key closed after.
Read read(Registry& registry, const QByteArray& name, const char* key = kKey)
{
    Read read;
    runtime::RegKey handle = 0;
    read.result = registry.openKey(runtime::kHKeyLocalMachine, key, runtime::kKeyRead, &handle);
    if (read.result != runtime::kRegSuccess)
        return read;
    QByteArray buffer(1024, '\0');
    auto size = static_cast<std::uint32_t>(buffer.size());
    read.result = registry.queryValue(handle, name, &read.type, buffer.data(), &size);
    read.data = buffer.left(size);
    registry.closeKey(handle);
    return read;
}

std::unique_ptr<Registry> hive(const QByteArray& lines)
{
    return runtime::parseRegFile(
        "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brindlehof]\r\n" + lines);
}

QByteArray utf16(const QString& text)
{
    return QByteArray("\xff\xfe", 2)
        + QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
}

} // namespace

class TestRegistry : public QObject {
    Q_OBJECT

private slots:
    // ---- the export format ----
    void valuesReadAsWindowsGivesThem_data();
    void valuesReadAsWindowsGivesThem();
    void version5ExportsInUtf16AreRead();
    void keysAndNamesIgnoreCaseAndParentsExist();
    void aMalformedLineIsSkipped_data();
    void aMalformedLineIsSkipped();
    void whatIsNotAnExportGivesAnEmptyRegistry_data();
    void whatIsNotAnExportGivesAnEmptyRegistry();
    void damagedHivesNeverCrash();
    void theShippedHiveNamesHardinfo();

    // ---- answers as advapi32 gives them ----
    void writeAccessIsRefused();
    void aBufferTooSmallIsLeftUntouched();
    void closedAndUnknownKeysAreInvalid();

    // ---- finding a file ----
    void findFile_data();
    void findFile();
};

void TestRegistry::valuesReadAsWindowsGivesThem_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<uint>("type");
    QTest::addColumn<QByteArray>("data");
    QTest::newRow("string, with its NUL")
        << QByteArray("\"v\"=\"hello\"") << QByteArray("v") << 1u << QByteArray("hello\0", 6);
    QTest::newRow("escaped backslash and quote")
        << QByteArray(R"("v"="C:\\a \"b\"")") << QByteArray("v") << 1u
        << QByteArray("C:\\a \"b\"\0", 9);
    QTest::newRow("default value")
        << QByteArray("@=\"x\"") << QByteArray() << 1u << QByteArray("x\0", 2);
    QTest::newRow("dword, little-endian") << QByteArray("\"v\"=dword:12345678") << QByteArray("v")
                                          << 4u << QByteArray("\x78\x56\x34\x12");
    QTest::newRow("binary") << QByteArray("\"v\"=hex:00,01,02,ff") << QByteArray("v") << 3u
                            << QByteArray("\x00\x01\x02\xff", 4);
    QTest::newRow("string without its NUL")
        << QByteArray("\"v\"=hex(1):68,69") << QByteArray("v") << 1u << QByteArray("hi");
    QTest::newRow("no bytes") << QByteArray("\"v\"=hex(1):") << QByteArray("v") << 1u
                              << QByteArray();
    QTest::newRow("hex over lines") << QByteArray("\"v\"=hex(2):41,\\\r\n  42,00")
                                    << QByteArray("v") << 2u << QByteArray("AB\0", 3);
    QTest::newRow("later line wins") << QByteArray("\"v\"=\"a\"\r\n\"v\"=\"b\"") << QByteArray("v")
                                     << 1u << QByteArray("b\0", 2);
}

void TestRegistry::valuesReadAsWindowsGivesThem()
{
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, name);
    QFETCH(uint, type);
    QFETCH(QByteArray, data);
    const auto registry = hive(line + "\r\n");
    const Read value = read(*registry, name);
    QCOMPARE(value.result, runtime::kRegSuccess);
    QCOMPARE(value.type, type);
    QCOMPARE(value.data, data);
}

void TestRegistry::version5ExportsInUtf16AreRead()
{
    // As the registry editor writes it: UTF-16 with a byte order mark, string data in UTF-16.
    const auto registry = runtime::parseRegFile(utf16(QStringLiteral(
        "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brindlehof]\r\n"
        "\"s\"=\"caf\u00e9\"\r\n\"e\"=hex(2):25,00,41,00,25,00,00,00\r\n\"d\"=dword:"
        "00000001\r\n")));
    QCOMPARE(read(*registry, "s").data, QByteArray("caf\xc3\xa9\0", 6));
    QCOMPARE(read(*registry, "e").data, QByteArray("%A%\0", 4));
    QCOMPARE(read(*registry, "d").data, QByteArray("\x01\0\0\0", 4));
}

void TestRegistry::keysAndNamesIgnoreCaseAndParentsExist()
{
    const auto registry = hive("\"Path\"=\"x\"\r\n");
    QCOMPARE(read(*registry, "PATH", "software\\BRINDLEHOF").data, QByteArray("x\0", 2));
    QCOMPARE(read(*registry, "none", "SOFTWARE").result, runtime::kRegFileNotFound);
    QCOMPARE(read(*registry, "none", "SOFTWARE\\Other").result, runtime::kRegFileNotFound);
}

void TestRegistry::aMalformedLineIsSkipped_data()
{
    QTest::addColumn<QByteArray>("bad");
    QTest::addColumn<bool>("afterIsInTheKey");
    QTest::newRow("unterminated string") << QByteArray("\"bad\"=\"abc") << true;
    QTest::newRow("text after the string") << QByteArray("\"bad\"=\"abc\"x") << true;
    QTest::newRow("unknown escape") << QByteArray("\"bad\"=\"C:\\dir\"") << true;
    QTest::newRow("dword too long") << QByteArray("\"bad\"=dword:123456789") << true;
    QTest::newRow("dword not hex") << QByteArray("\"bad\"=dword:12z4") << true;
    QTest::newRow("byte not hex") << QByteArray("\"bad\"=hex:00,0g") << true;
    QTest::newRow("byte of three digits") << QByteArray("\"bad\"=hex:100") << true;
    QTest::newRow("type without brackets") << QByteArray("\"bad\"=hex(2:00") << true;
    QTest::newRow("no equals sign") << QByteArray("\"bad\" \"x\"") << true;
    QTest::newRow("unquoted name") << QByteArray("bad=\"x\"") << true;
    QTest::newRow("binary junk") << QByteArray("\x00\xff\xfe\"\\[", 7) << true;
    QTest::newRow("a long line") << "\"bad\"=hex:" + QByteArray(100000, ',') << true;
    QTest::newRow("unknown root") << QByteArray("[HKEY_NOWHERE\\SOFTWARE\\Brindlehof]") << false;
    QTest::newRow("unclosed section")
        << QByteArray("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other") << false;
    QTest::newRow("deleted key") << QByteArray("[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Brindlehof]")
                                 << false;
}

void TestRegistry::aMalformedLineIsSkipped()
{
    QFETCH(QByteArray, bad);
    QFETCH(bool, afterIsInTheKey);
    const auto registry = hive("\"before\"=\"1\"\r\n" + bad + "\r\n\"after\"=\"2\"\r\n");
    QCOMPARE(read(*registry, "before").data, QByteArray("1\0", 2));
    QCOMPARE(read(*registry, "bad").result, runtime::kRegFileNotFound);
    QCOMPARE(read(*registry, "after").result,
        afterIsInTheKey ? runtime::kRegSuccess : runtime::kRegFileNotFound);
}

void TestRegistry::whatIsNotAnExportGivesAnEmptyRegistry_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("no header") << QByteArray(
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brindlehof]\n\"v\"=\"x\"\n");
    QTest::newRow("unknown header")
        << QByteArray("REGEDIT5\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brindlehof]\n\"v\"=\"x\"\n");
}

void TestRegistry::whatIsNotAnExportGivesAnEmptyRegistry()
{
    QFETCH(QByteArray, contents);
    const auto registry = runtime::parseRegFile(contents);
    QCOMPARE(read(*registry, "v").result, runtime::kRegFileNotFound);
}

void TestRegistry::damagedHivesNeverCrash()
{
    const QByteArray good = "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brindlehof]\r\n"
                            "\"v\"=hex(1):41,42,\\\r\n 43\r\n\"d\"=dword:1\r\n@=\"a\\\\b\"\r\n";
    QRandomGenerator random(20240605);
    for (int round = 0; round < 3000; ++round) {
        QByteArray damaged = good;
        for (int cut = random.bounded(1, 6); cut > 0; --cut) {
            const int at = random.bounded(int(damaged.size()));
            if (random.bounded(2))
                damaged[at] = char(random.bounded(256));
            else
                damaged.remove(at, random.bounded(1, 8));
        }
        const auto registry = runtime::parseRegFile(damaged);
        for (const char* name : { "v", "d", "" })
            QVERIFY(read(*registry, name).data.size() <= 1024);
    }
}

void TestRegistry::theShippedHiveNamesHardinfo()
{
    const auto registry = runtime::readRegFile(QStringLiteral(BRINDLEHOF_SHIPPED_HIVE));
    const Read path = read(*registry, "PATH", "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
    QCOMPARE(path.type, runtime::kRegSz);
    QCOMPARE(path.data, QByteArray("/usr/bin/hardinfo\0", 18));
    const auto missing = runtime::readRegFile(QStringLiteral("/nonexistent/hklm.reg"));
    QCOMPARE(read(*missing, "PATH", "SOFTWARE\\Microsoft").result, runtime::kRegFileNotFound);
}

void TestRegistry::writeAccessIsRefused()
{
    const auto registry = hive("\"v\"=\"x\"\r\n");
    runtime::RegKey key = 0;
    for (std::uint32_t mask : { 0x2003Fu, 0x20006u, 0xF003Fu })
        QCOMPARE(registry->openKey(runtime::kHKeyLocalMachine, kKey, mask, &key),
            runtime::kRegAccessDenied);
    QCOMPARE(registry->openKey(runtime::kHKeyLocalMachine, kKey, runtime::kKeyRead, &key),
        runtime::kRegSuccess);
}

void TestRegistry::aBufferTooSmallIsLeftUntouched()
{
    const auto registry = hive("\"v\"=\"hello\"\r\n\"raw\"=hex(1):68,69\r\n");
    runtime::RegKey key = 0;
    QCOMPARE(registry->openKey(runtime::kHKeyLocalMachine, kKey, runtime::kKeyRead, &key), 0);
    char buffer[8] = "XXXXXXX";
    std::uint32_t size = 5;
    QCOMPARE(registry->queryValue(key, "v", nullptr, buffer, &size), runtime::kRegMoreData);
    QCOMPARE(size, 6u);
    QCOMPARE(QByteArray(buffer), QByteArray("XXXXXXX"));
    // A string stored without its NUL gets one after it where there is room, not counted.
    size = sizeof buffer;
    QCOMPARE(registry->queryValue(key, "raw", nullptr, buffer, &size), runtime::kRegSuccess);
    QCOMPARE(size, 2u);
    QCOMPARE(QByteArray(buffer), QByteArray("hi"));
}

void TestRegistry::closedAndUnknownKeysAreInvalid()
{
    const auto registry = hive("\"v\"=\"x\"\r\n");
    runtime::RegKey key = 0;
    QCOMPARE(registry->openKey(runtime::kHKeyLocalMachine, kKey, runtime::kKeyRead, &key), 0);
    QCOMPARE(registry->closeKey(key), runtime::kRegSuccess);
    std::uint32_t size = 0;
    QCOMPARE(registry->queryValue(key, "v", nullptr, nullptr, &size), runtime::kRegInvalidHandle);
    QCOMPARE(registry->closeKey(key), runtime::kRegInvalidHandle);
    QCOMPARE(registry->openKey(12345, "", runtime::kKeyRead, &key), runtime::kRegInvalidHandle);
}

void TestRegistry::findFile_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("found");
    QTest::newRow("exact name") << "%D/Sub/Tool.bin"
                                << "Tool.bin";
    QTest::newRow("name in another case") << "%D/sub/TOOL.BIN"
                                          << "Tool.bin";
    QTest::newRow("backslashes") << "%D\\Sub\\MSINFO32.EXE"
                                 << "msinfo32.exe";
    QTest::newRow("star") << "%D\\Sub\\*.BIN"
                          << "Tool.bin";
    QTest::newRow("question marks") << "%D/Sub/?SINFO??.exe"
                                    << "msinfo32.exe";
    QTest::newRow("first of several, by name") << "%D/Sub/*"
                                               << "msinfo32.exe";
    QTest::newRow("a directory is no file") << "%D/Sub/folder.exe"
                                            << "";
    QTest::newRow("a hidden file is no normal file") << "%D/Sub/.hidden"
                                                     << "";
    QTest::newRow("no such file") << "%D/Sub/none.exe"
                                  << "";
    QTest::newRow("no such folder") << "%D/None/Tool.bin"
                                    << "";
    QTest::newRow("a folder, no name") << "%D/Sub/"
                                       << "";
    QTest::newRow("empty") << ""
                           << "";
}

void TestRegistry::findFile()
{
    QFETCH(QString, path);
    QFETCH(QString, found);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("Sub/folder.exe")));
    for (const char* name : { "Sub/Tool.bin", "Sub/msinfo32.exe", "Sub/.hidden" }) {
        QFile file(dir.filePath(QString::fromLatin1(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QCOMPARE(runtime::findFile(path.replace(QStringLiteral("%D"), dir.path())), found);
}

QTEST_MAIN(TestRegistry)
#include "tst_registry.moc"
