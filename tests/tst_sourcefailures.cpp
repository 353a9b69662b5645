// What a failing Open or Save leaves: the message the user sees, the editor text, the old file.
// The faults are real: a full disk, a read-only mount, a user without rights, a failing read.
#include "editorintempdir.h"

#include <QPlainTextEdit>

namespace {

// An input file that reads `limit` bytes and then fails, as a disk or network might.
class FailingDevice : public QIODevice {
public:
    FailingDevice(std::unique_ptr<QIODevice> file, qint64 limit, bool* sawWaitCursor)
        : m_file(std::move(file))
        , m_left(limit)
        , m_sawWaitCursor(sawWaitCursor)
    {
        open(QIODevice::ReadOnly);
    }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* data, qint64 size) override
    {
        const QCursor* cursor = QApplication::overrideCursor();
        *m_sawWaitCursor = cursor && cursor->shape() == Qt::WaitCursor;
        if (m_left <= 0)
            return -1;
        const qint64 read = m_file->read(data, std::min(size, m_left));
        m_left -= read;
        return read;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    std::unique_ptr<QIODevice> m_file;
    qint64 m_left;
    bool* m_sawWaitCursor;
};

enum class Fault { MissingFile, Directory, MissingDirectory, ReadOnlyFile, NoPermission, DiskFull };

} // namespace

class TestSourceFailures : public EditorInTempDir {
    Q_OBJECT

private slots:
    void init() { startEditor(); }
    void cleanup() { stopEditor(); }

    void failingOpenShowsNothingAndChangesNothing_data();
    void failingOpenShowsNothingAndChangesNothing();
    void failingSaveShowsItsErrorAndKeepsTheOldFile_data();
    void failingSaveShowsItsErrorAndKeepsTheOldFile();
    void unwritableCharacterIsNamedAndNothingIsSaved_data();
    void unwritableCharacterIsNamedAndNothingIsSaved();
    void readingThatFailsMidwayKeepsTheLinesReadAndFreesTheFile();

private:
    std::unique_ptr<Mount> makeFault(Fault fault, const QString& folder);
};

// Makes `fault` happen to `folder`/old.z80, which holds "old" where it can hold anything.
std::unique_ptr<Mount> TestSourceFailures::makeFault(Fault fault, const QString& folder)
{
    const QString dir = path(folder);
    const QString old = dir + QStringLiteral("/old.z80");
    switch (fault) {
    case Fault::MissingFile:
        QDir().mkpath(dir);
        return nullptr;
    case Fault::Directory:
        QDir().mkpath(old);
        return nullptr;
    case Fault::MissingDirectory:
        return nullptr;
    case Fault::ReadOnlyFile:
        // Root writes whatever the permission bits say, but not through a read-only mount.
        if (isRoot()) {
            QDir().mkpath(path("source"));
            writeFile(path("source/old.z80"), "old\r\n");
            return Mount::readOnly(path("source"), dir);
        }
        QDir().mkpath(dir);
        writeFile(old, "old\r\n");
        QFile::setPermissions(old, QFile::ReadOwner | QFile::ReadOther);
        return nullptr;
    case Fault::NoPermission: {
        // The file can be neither read nor replaced, for the folder cannot take a new file.
        QDir().mkpath(dir);
        writeFile(old, "old\r\n");
        QFile::setPermissions(old, {});
        // "nobody" keeps root's group, so the group's bits are the ones that bind it.
        const auto readAndEnter = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup
            | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
        QFile::setPermissions(dir, readAndEnter);
        QFile::setPermissions(m_dir->path(), readAndEnter | QFile::WriteOwner);
        return nullptr;
    }
    case Fault::DiskFull:
        return Mount::fullDisk(dir, 64, 8192, [&] { writeFile(old, "old\r\n"); });
    }
    return nullptr;
}

void TestSourceFailures::failingOpenShowsNothingAndChangesNothing_data()
{
    QTest::addColumn<Fault>("fault");
    QTest::newRow("a missing file") << Fault::MissingFile;
    QTest::newRow("a directory of that name") << Fault::Directory;
    QTest::newRow("a missing directory") << Fault::MissingDirectory;
    QTest::newRow("no permission") << Fault::NoPermission;
}

void TestSourceFailures::failingOpenShowsNothingAndChangesNothing()
{
    QFETCH(Fault, fault);
    makeFault(fault, QStringLiteral("in"));
    QTest::keyClicks(m_editor->x, QStringLiteral("typed"));
    {
        const AsNobody nobody(fault == Fault::NoPermission);
        open(QStringLiteral("in/old"));
    }
    QVERIFY(m_dialogs->messages.isEmpty());
    QCOMPARE(text(), QStringLiteral("typed"));
    QCOMPARE(QApplication::overrideCursor(), nullptr);

    // The failure left no file open to stop the next Open.
    writeFile(path("good.z80"), "nop\r\n");
    open(QStringLiteral("good"));
    QCOMPARE(text(), QStringLiteral("nop\r\n"));
}

void TestSourceFailures::failingSaveShowsItsErrorAndKeepsTheOldFile_data()
{
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<QString>("message");
    QTest::newRow("a directory of that name") << Fault::Directory
                                              << "Run-time error '75':\n\nPath/File access error";
    QTest::newRow("a missing directory") << Fault::MissingDirectory
                                         << "Run-time error '76':\n\nPath not found";
    QTest::newRow("a read-only file") << Fault::ReadOnlyFile
                                      << "Run-time error '70':\n\nPermission denied";
    QTest::newRow("no permission") << Fault::NoPermission
                                   << "Run-time error '70':\n\nPermission denied";
    QTest::newRow("a full disk") << Fault::DiskFull << "Run-time error '61':\n\nDisk full";
}

void TestSourceFailures::failingSaveShowsItsErrorAndKeepsTheOldFile()
{
    QFETCH(Fault, fault);
    QFETCH(QString, message);
    const auto mount = makeFault(fault, QStringLiteral("out"));
    if ((fault == Fault::DiskFull || (fault == Fault::ReadOnlyFile && isRoot())) && !mount)
        QSKIP("needs root and a system that lets it mount");
    const QString old = path("out/old.z80");
    const QByteArray before = readFile(old);
    const QStringList namesBefore = namesIn(path("out"));
    // More than the full disk's room, so that the write stops partway.
    const QString typed = (QString(100, QLatin1Char('x')) + QLatin1String("\r\n")).repeated(1000);
    m_editor->setText(typed);
    {
        const AsNobody nobody(fault == Fault::NoPermission);
        save(QStringLiteral("out/old"));
    }
    QCOMPARE(m_dialogs->messages, QStringList({ message }));
    QCOMPARE(text(), typed);
    QCOMPARE(readFile(old), before);
    QCOMPARE(namesIn(path("out")), namesBefore);
    QCOMPARE(QApplication::overrideCursor(), nullptr);

    // The failure left no file open to stop the next Save.
    save(QStringLiteral("elsewhere"));
    QCOMPARE(readFile(path("elsewhere.z80")), typed.toLatin1());
    QCOMPARE(m_dialogs->messages.size(), 1);
}

void TestSourceFailures::unwritableCharacterIsNamedAndNothingIsSaved_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("description");
    QTest::newRow("an arrow") << "ld a,1\r\njp → loop\r\n" << "\"→\" (U+2192) on line 2";
    QTest::newRow("a CJK character") << "; 中" << "\"中\" (U+4E2D) on line 1";
    QTest::newRow("beyond 16 bits") << "\r\n\r\n; 😀\r\n" << "\"😀\" (U+1F600) on line 3";
    QTest::newRow("a line separator") << "ld a,1\u2028" << "U+2028 on line 1";
    QTest::newRow("a C1 control Windows-1252 lacks") << "\u0080" << "U+0080 on line 1";
}

void TestSourceFailures::unwritableCharacterIsNamedAndNothingIsSaved()
{
    QFETCH(QString, typed);
    QFETCH(QString, description);
    writeFile(path("old.z80"), "old\r\n");
    m_editor->setText(QString());
    m_editor->x->insertPlainText(QString(typed).replace(QLatin1String("\r\n"), QChar(u'\n')));
    save(QStringLiteral("old"));
    QCOMPARE(m_dialogs->messages,
        QStringList({ "Run-time error '5':\n\nCharacter " + description
            + " is not in code page Windows-1252" }));
    QCOMPARE(readFile(path("old.z80")), QByteArray("old\r\n"));
    QCOMPARE(namesIn(m_dir->path()), QStringList({ "old.z80" }));
    QCOMPARE(text(), typed);
}

void TestSourceFailures::readingThatFailsMidwayKeepsTheLinesReadAndFreesTheFile()
{
    writeFile(path("long.z80"), "one\r\ntwo\r\nthree\r\n");
    bool sawWaitCursor = false;
    runtime::setInputFilter([&](std::unique_ptr<QIODevice> file) {
        return std::make_unique<FailingDevice>(std::move(file), 9, &sawWaitCursor);
    });
    open(QStringLiteral("long"));
    QCOMPARE(text(), QStringLiteral("one\r\ntwo\r\n"));
    QVERIFY(m_dialogs->messages.isEmpty());
    QVERIFY(sawWaitCursor);
    QCOMPARE(QApplication::overrideCursor(), nullptr);

    runtime::setInputFilter({});
    writeFile(path("next.z80"), "ret\r\n");
    open(QStringLiteral("next"));
    QCOMPARE(text(), QStringLiteral("ret\r\n"));
}

QTEST_MAIN(TestSourceFailures)
#include "tst_sourcefailures.moc"
