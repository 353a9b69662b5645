// Print the whole way to paper: a private CUPS server whose default queue is a cups-pdf printer
// (tests/cups-pdf-server.sh), the program's own Print and Exit, and the PDF that comes out.
// Exit ends the event loop for good, so this test has a program of its own.
#include "fakes.h"
#include "pdf.h"

#include <frmeditor.h>

#include <QAction>
#include <QDir>
#include <QPointer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

class TestPrintCups : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void printTwiceAndExitSendOneDocumentToTheDefaultQueue();

private:
    // Runs the server script; its exit status, its complaint in `errors`.
    int server(const QString& action, QString* errors = nullptr);
    QStringList jobsEverQueued();
    QStringList printedFiles() const;

    std::unique_ptr<QTemporaryDir> m_dir;
    bool m_started = false;
};

int TestPrintCups::server(const QString& action, QString* errors)
{
    QProcess script;
    script.start(QStringLiteral("/bin/sh"),
        { QStringLiteral(BRINDLEHOF_TESTS_DIR "/cups-pdf-server.sh"), action, m_dir->path() });
    // The script bounds its own waits (10 s for the server, 60 s for the queue).
    if (!script.waitForFinished(90000)) {
        script.kill();
        script.waitForFinished();
    }
    if (errors)
        *errors = QString::fromLocal8Bit(script.readAllStandardError()).trimmed();
    return script.exitStatus() == QProcess::NormalExit ? script.exitCode() : -1;
}

void TestPrintCups::initTestCase()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QString errors;
    const int status = server(QStringLiteral("start"), &errors);
    if (status == 77)
        QSKIP(qPrintable(errors));
    QVERIFY2(status == 0, qPrintable(errors));
    m_started = true;

    // Only the private server, and only its default: no queue named by the environment or by a
    // ~/.cups/lpoptions of whoever runs the test.
    qputenv("CUPS_SERVER", m_dir->filePath(QStringLiteral("cups.sock")).toLocal8Bit());
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("home")));
    qputenv("HOME", m_dir->filePath(QStringLiteral("home")).toLocal8Bit());
    qunsetenv("PRINTER");
    qunsetenv("LPDEST");
}

void TestPrintCups::cleanupTestCase()
{
    if (m_started)
        QCOMPARE(server(QStringLiteral("stop")), 0);
}

QStringList TestPrintCups::jobsEverQueued()
{
    QProcess lpstat;
    lpstat.start(QStringLiteral("lpstat"),
        { QStringLiteral("-W"), QStringLiteral("all"), QStringLiteral("-o") });
    lpstat.waitForFinished(30000);
    return QString::fromLocal8Bit(lpstat.readAllStandardOutput())
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QStringList TestPrintCups::printedFiles() const
{
    // cups-pdf makes its own file name from the job's title.
    const QDir out(m_dir->filePath(QStringLiteral("out")));
    QStringList files;
    for (const QString& name : out.entryList({ QStringLiteral("*.pdf") }, QDir::Files))
        files.append(out.filePath(name));
    return files;
}

void TestPrintCups::printTwiceAndExitSendOneDocumentToTheDefaultQueue()
{
    ScriptedDialogs dialogs;
    QPointer<editor::frmEditor> editor = new editor::frmEditor;
    editor->setAttribute(Qt::WA_DeleteOnClose);
    editor->show();
    QVERIFY(QTest::qWaitForWindowExposed(editor));

    QStringList queuedBeforeExit;
    QTimer::singleShot(0, editor, [&] {
        editor->setText(QStringLiteral("first print\r\n\tLD A,1"));
        editor->print->trigger();
        editor->setText(QStringLiteral("second print"));
        editor->print->trigger();
        queuedBeforeExit = jobsEverQueued();
        editor->exit->trigger();
    });
    QTimer guard;
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    guard.start(60000);
    QCOMPARE(QCoreApplication::exec(), 0);

    QCOMPARE(dialogs.messages, QStringList());
    // The document stayed with the program until it ended; then it went out as one job.
    QCOMPARE(queuedBeforeExit, QStringList());
    QString errors;
    QVERIFY2(server(QStringLiteral("idle"), &errors) == 0, qPrintable(errors));
    QCOMPARE(jobsEverQueued().size(), 1);
    const QStringList files = printedFiles();
    QCOMPARE(files.size(), 1);
    QCOMPARE(pdfText(files.first()), QStringLiteral("first print\nLD A,1\nsecond print\n\n\f"));
}

QTEST_MAIN(TestPrintCups)
#include "tst_print_cups.moc"
