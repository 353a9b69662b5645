// Sequential files by number: their error numbers, line ends, code page and closing.
#include "filefaults.h"

#include <services.h>

#include <QTemporaryDir>
#include <QTest>

#include <memory>

using runtime::FileMode;

class TestFiles : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    // ---- file numbers ----
    void numbersOutsideOneTo255AreBad_data();
    void numbersOutsideOneTo255AreBad();
    void openingANumberAlreadyOpenIs55AndKeepsTheFirst();
    void usingANumberNotOpenIs52_data();
    void usingANumberNotOpenIs52();

    // ---- reading ----
    void inputOpenFailuresHaveTheirNumbers_data();
    void inputOpenFailuresHaveTheirNumbers();
    void readingPastTheEndIs62();
    void lineEndsAcrossReadChunks_data();
    void lineEndsAcrossReadChunks();

    // ---- writing ----
    void everyByteButCrAndLfReadsAndWritesBack();
    void outputReplacesTheFileOnlyWhenClosed();
    void aFailedWriteIsDiscardedOnClose();
    void aFullDiskIs61AndKeepsTheOldFile();
    void endClosesEveryFile();

private:
    QString path(const QString& name) const { return m_dir->filePath(name); }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestFiles::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestFiles::cleanup()
{
    runtime::skipOnError(runtime::closeAllFiles);
    m_dir.reset();
}

// ---- file numbers -----------------------------------------------------------------------------

void TestFiles::numbersOutsideOneTo255AreBad_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<int>("error");
    QTest::newRow("0") << 0 << 52;
    QTest::newRow("1") << 1 << 0;
    QTest::newRow("255") << 255 << 0;
    QTest::newRow("256") << 256 << 52;
    QTest::newRow("-1") << -1 << 52;
}

void TestFiles::numbersOutsideOneTo255AreBad()
{
    QFETCH(int, number);
    QFETCH(int, error);
    QCOMPARE(errorOf([&] { runtime::openFile(path("a.z80"), FileMode::Output, number); }), error);
}

void TestFiles::openingANumberAlreadyOpenIs55AndKeepsTheFirst()
{
    writeFile(path("in.z80"), "first\r\n");
    runtime::openFile(path("in.z80"), FileMode::Input, 1);
    QCOMPARE(errorOf([&] { runtime::openFile(path("out.z80"), FileMode::Output, 1); }), 55);
    QCOMPARE(runtime::readLine(1), QStringLiteral("first"));
    QVERIFY(!QFile::exists(path("out.z80")));
}

void TestFiles::usingANumberNotOpenIs52_data()
{
    QTest::addColumn<std::function<void()>>("use");
    using F = std::function<void()>;
    QTest::newRow("read a line") << F([] { runtime::readLine(7); });
    QTest::newRow("end-of-file test") << F([] { runtime::atEndOfFile(7); });
    QTest::newRow("write a line") << F([] { runtime::writeLine(7, u"nop"); });
    QTest::newRow("close") << F([] { runtime::closeFile(7); });
}

void TestFiles::usingANumberNotOpenIs52()
{
    QFETCH(std::function<void()>, use);
    runtime::openFile(path("other.z80"), FileMode::Output, 8);
    QCOMPARE(errorOf(use), 52);
}

// ---- reading ----------------------------------------------------------------------------------

void TestFiles::inputOpenFailuresHaveTheirNumbers_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("error");
    QTest::newRow("a missing file") << "missing.z80" << 53;
    QTest::newRow("a missing directory") << "nowhere/a.z80" << 76;
    QTest::newRow("a file used as a directory") << "plain.z80/a.z80" << 76;
    QTest::newRow("a directory") << "folder.z80" << 75;
    QTest::newRow("a name too long") << QString(300, QLatin1Char('n')) << 75;
    // The name must not be cut at the NUL, which would open plain.z80.
    QTest::newRow("a NUL in the name") << QStringLiteral("plain.z80") + QChar(0) + "x" << 75;
    QTest::newRow("no permission") << "locked.z80" << 70;
}

void TestFiles::inputOpenFailuresHaveTheirNumbers()
{
    QFETCH(QString, name);
    QFETCH(int, error);
    writeFile(path("plain.z80"), "nop\r\n");
    writeFile(path("locked.z80"), "nop\r\n");
    QFile::setPermissions(path("locked.z80"), {});
    QFile::setPermissions(m_dir->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
            | QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
    QDir(m_dir->path()).mkdir(QStringLiteral("folder.z80"));
    const AsNobody nobody;
    QCOMPARE(errorOf([&] { runtime::openFile(path(name), FileMode::Input, 1); }), error);
    QCOMPARE(errorOf([] { runtime::closeFile(1); }), 52);
}

void TestFiles::readingPastTheEndIs62()
{
    writeFile(path("one.z80"), "ret");
    runtime::openFile(path("one.z80"), FileMode::Input, 1);
    QVERIFY(!runtime::atEndOfFile(1));
    QCOMPARE(runtime::readLine(1), QStringLiteral("ret"));
    QVERIFY(runtime::atEndOfFile(1));
    QCOMPARE(errorOf([] { runtime::readLine(1); }), 62);
}

void TestFiles::lineEndsAcrossReadChunks_data()
{
    // Files are read in chunks of 64 KiB; a line end may straddle two of them.
    QTest::addColumn<int>("before");
    QTest::addColumn<QByteArray>("lineEnd");
    QTest::addColumn<int>("lines");
    for (int before : { 65534, 65535, 65536 }) {
        const QByteArray at = QByteArray::number(before);
        QTest::newRow("CR LF after " + at) << before << QByteArray("\r\n") << 2;
        QTest::newRow("CR after " + at) << before << QByteArray("\r") << 2;
        QTest::newRow("LF CR after " + at) << before << QByteArray("\n\r") << 3;
    }
}

void TestFiles::lineEndsAcrossReadChunks()
{
    QFETCH(int, before);
    QFETCH(QByteArray, lineEnd);
    QFETCH(int, lines);
    writeFile(path("long.z80"), QByteArray(before, 'x') + lineEnd + "last");
    runtime::openFile(path("long.z80"), FileMode::Input, 1);
    QStringList read;
    while (!runtime::atEndOfFile(1))
        read << runtime::readLine(1);
    QCOMPARE(read.size(), lines);
    QCOMPARE(read.first().size(), before);
    QCOMPARE(read.last(), QStringLiteral("last"));
}

// ---- writing ----------------------------------------------------------------------------------

void TestFiles::everyByteButCrAndLfReadsAndWritesBack()
{
    QByteArray bytes;
    for (int byte = 0; byte < 256; ++byte) {
        if (byte != '\r' && byte != '\n')
            bytes += char(byte);
    }
    writeFile(path("bytes.z80"), bytes + "\r\n");
    runtime::openFile(path("bytes.z80"), FileMode::Input, 1);
    const QString line = runtime::readLine(1);
    runtime::closeFile(1);

    QCOMPARE(line.size(), 254);
    QCOMPARE(QSet<QChar>(line.begin(), line.end()).size(), 254);
    QCOMPARE(line.at(0x80 - 2), QChar(0x20AC));
    QCOMPARE(line.at(0x81 - 2), QChar(0x0081));
    QCOMPARE(line.at(0x9F - 2), QChar(0x0178));
    QCOMPARE(line.at(0xA0 - 2), QChar(0x00A0));

    runtime::openFile(path("copy.z80"), FileMode::Output, 2);
    runtime::writeLine(2, line);
    runtime::closeFile(2);
    QCOMPARE(readFile(path("copy.z80")), bytes + "\r\n");
}

void TestFiles::outputReplacesTheFileOnlyWhenClosed()
{
    writeFile(path("a.z80"), "old\r\n");
    runtime::openFile(path("a.z80"), FileMode::Output, 2);
    runtime::writeLine(2, u"new");
    QCOMPARE(readFile(path("a.z80")), QByteArray("old\r\n"));
    runtime::closeFile(2);
    QCOMPARE(readFile(path("a.z80")), QByteArray("new\r\n"));
}

void TestFiles::aFailedWriteIsDiscardedOnClose()
{
    writeFile(path("a.z80"), "old\r\n");
    runtime::openFile(path("a.z80"), FileMode::Output, 2);
    runtime::writeLine(2, u"first");
    QCOMPARE(errorOf([] { runtime::writeLine(2, u"a → b"); }), 5);
    QCOMPARE(errorOf([] { runtime::writeLine(2, u"later"); }), 57);
    QCOMPARE(errorOf([] { runtime::closeFile(2); }), 0);
    QCOMPARE(readFile(path("a.z80")), QByteArray("old\r\n"));
    QCOMPARE(namesIn(m_dir->path()), QStringList({ "a.z80" }));
}

// Even a line short enough to wait in a buffer finds the disk full, and the old file stays.
void TestFiles::aFullDiskIs61AndKeepsTheOldFile()
{
    const QString dir = path("full");
    const auto mount = Mount::fullDisk(dir, 64, 0, [&] { writeFile(dir + "/a.z80", "old\r\n"); });
    if (!mount)
        QSKIP("needs root and a system that lets it mount");
    runtime::openFile(dir + "/a.z80", FileMode::Output, 2);
    const int error = errorOf([] {
        runtime::writeLine(2, u"new");
        runtime::closeFile(2);
    });
    QCOMPARE(error, 61);
    runtime::skipOnError(runtime::closeAllFiles);
    QCOMPARE(readFile(dir + "/a.z80"), QByteArray("old\r\n"));
    QCOMPARE(namesIn(dir), QStringList({ "a.z80", "filler" }));
}

void TestFiles::endClosesEveryFile()
{
    writeFile(path("in.z80"), "nop\r\n");
    runtime::openFile(path("in.z80"), FileMode::Input, 1);
    runtime::openFile(path("out.z80"), FileMode::Output, 3);
    runtime::writeLine(3, u"ret");
    runtime::runProgramEndHooks();
    QCOMPARE(readFile(path("out.z80")), QByteArray("ret\r\n"));
    QCOMPARE(errorOf([] { runtime::closeFile(1); }), 52);
    QCOMPARE(errorOf([] { runtime::closeFile(3); }), 52);

    // Files opened after an End are closed by the next one.
    runtime::openFile(path("in.z80"), FileMode::Input, 1);
    runtime::runProgramEndHooks();
    QCOMPARE(errorOf([] { runtime::closeFile(1); }), 52);
}

QTEST_GUILESS_MAIN(TestFiles)
#include "tst_files.moc"
