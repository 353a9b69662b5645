// The runtime layer: run-time errors and their handling, prompts, messages, twips and Move.
#include "fakes.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <new>
#include <stdexcept>

using runtime::Error;
using runtime::RuntimeError;

class TestRuntime : public QObject {
    Q_OBJECT

private slots:
    // ---- errors and their handling ----
    void errorNumbersHaveTheirDescriptions();
    void foreignExceptionsBecomeRuntimeErrors();
    void skipAndJumpAbandonWhatTheySay();
    void defaultHandlingShowsARealMessageBoxAndGoesOn();
    void aFailureAtProgramEndIsShownAndTheRestStillRuns();

    // ---- prompts ----
    void promptReturnsWhatWasTyped();
    void promptReturnsEmptyWhenNotConfirmed_data();
    void promptReturnsEmptyWhenNotConfirmed();

    // ---- twips and Move ----
    void twipsFollowTheLogicalDpi();
    void moveRefusesANegativeSizeAndKeepsTheControl();
};

void TestRuntime::errorNumbersHaveTheirDescriptions()
{
    const std::pair<int, const char*> table[] = { { 5, "Invalid procedure call or argument" },
        { 7, "Out of memory" }, { 52, "Bad file name or number" }, { 53, "File not found" },
        { 55, "File already open" }, { 57, "Device I/O error" }, { 61, "Disk full" },
        { 62, "Input past end of file" }, { 70, "Permission denied" },
        { 75, "Path/File access error" }, { 76, "Path not found" }, { 482, "Printer error" },
        { 31999, "Application-defined or object-defined error" } };
    for (const auto& [number, description] : table)
        QCOMPARE(runtime::describe(number), QString::fromLatin1(description));
}

void TestRuntime::foreignExceptionsBecomeRuntimeErrors()
{
    auto caught = [](auto&& thrower) {
        try {
            thrower();
        } catch (...) {
            return runtime::currentError();
        }
        return RuntimeError(0, {});
    };
    QCOMPARE(caught([] { throw std::bad_alloc(); }).number(), 7);
    const RuntimeError other = caught([] { throw std::runtime_error("gearbox jammed"); });
    QCOMPARE(other.number(), 51);
    QCOMPARE(other.description(), QStringLiteral("gearbox jammed"));
    QCOMPARE(caught([] { runtime::raise(Error::DiskFull); }).description(), "Disk full");
}

void TestRuntime::skipAndJumpAbandonWhatTheySay()
{
    QStringList ran;
    runtime::skipOnError([&] {
        ran << "skipped";
        runtime::raise(Error::PathNotFound);
        ran << "unreachable";
    });
    runtime::onErrorGoTo(
        [&] {
            ran << "jumped";
            throw std::bad_alloc();
        },
        [&](const RuntimeError& error) { ran << QString::number(error.number()); });
    QCOMPARE(ran, QStringList({ "skipped", "jumped", "7" }));
}

void TestRuntime::defaultHandlingShowsARealMessageBoxAndGoesOn()
{
    QString title, text;
    qsizetype buttons = 0;
    whenModalBoxShows([&](QWidget* box) {
        auto* messageBox = qobject_cast<QMessageBox*>(box);
        QVERIFY(messageBox);
        title = messageBox->windowTitle();
        text = messageBox->text();
        buttons = messageBox->buttons().size();
        QTest::keyClick(box, Qt::Key_Return);
    });
    runtime::dispatch([] { runtime::raise(Error::PrinterError); });
    QCOMPARE(title, QStringLiteral("Brindlehof"));
    QCOMPARE(text, QStringLiteral("Run-time error '482':\n\nPrinter error"));
    QCOMPARE(buttons, 1);
    QVERIFY(!QApplication::activeModalWidget());
}

void TestRuntime::aFailureAtProgramEndIsShownAndTheRestStillRuns()
{
    ScriptedDialogs dialogs;
    int released = 0;
    runtime::atProgramEnd([] { runtime::raise(Error::PrinterError); });
    runtime::atProgramEnd([&] { ++released; });
    runtime::runProgramEndHooks();
    runtime::runProgramEndHooks();
    QCOMPARE(dialogs.messages, QStringList({ "Run-time error '482':\n\nPrinter error" }));
    QCOMPARE(released, 1);
}

void TestRuntime::promptReturnsWhatWasTyped()
{
    QString title, label;
    whenModalBoxShows([&](QWidget* box) {
        title = box->windowTitle();
        label = box->findChild<QLabel*>()->text();
        // The title bar has room for the whole title.
        QVERIFY(box->width() > box->fontMetrics().horizontalAdvance(title) + 100);
        QTest::keyClicks(box->findChild<QLineEdit*>(), QStringLiteral("demo"));
        QTest::keyClick(box->findChild<QLineEdit*>(), Qt::Key_Return);
    });
    QCOMPARE(runtime::prompt(QStringLiteral("Compilation"),
                 QStringLiteral("Name of Source to Compile")),
        QStringLiteral("demo"));
    QCOMPARE(title, QStringLiteral("Name of Source to Compile"));
    QCOMPARE(label, QStringLiteral("Compilation"));
}

void TestRuntime::promptReturnsEmptyWhenNotConfirmed_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Cancel") << "cancel";
    QTest::newRow("Escape") << "escape";
    QTest::newRow("closing the box") << "close";
}

void TestRuntime::promptReturnsEmptyWhenNotConfirmed()
{
    QFETCH(QString, how);
    whenModalBoxShows([how](QWidget* box) {
        QTest::keyClicks(box->findChild<QLineEdit*>(), QStringLiteral("typed"));
        if (how == "cancel")
            box->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
        else if (how == "escape")
            QTest::keyClick(box->findChild<QLineEdit*>(), Qt::Key_Escape);
        else
            box->close();
    });
    QCOMPARE(runtime::prompt(QStringLiteral("Enter a Name"), QStringLiteral("Save As")), QString());
}

void TestRuntime::twipsFollowTheLogicalDpi()
{
    const double dpi = QGuiApplication::primaryScreen()->logicalDotsPerInchX();
    QCOMPARE(runtime::twipsToPixelsX(2 * 1440), qRound(2 * dpi));
    QCOMPARE(qRound(runtime::pixelsToTwipsX(qRound(dpi))), 1440);
}

void TestRuntime::moveRefusesANegativeSizeAndKeepsTheControl()
{
    QWidget parent;
    QWidget control(&parent);
    runtime::move(&control, 150, 300, 1500, 750);
    const QRect placed = control.geometry();
    QCOMPARE(placed, runtime::twipsRect(150, 300, 1500, 750));
    for (auto [width, height] : { std::pair { -1.0f, 10.0f }, std::pair { 10.0f, -0.5f } }) {
        try {
            runtime::move(&control, 0, 0, width, height);
            QFAIL("a negative size was accepted");
        } catch (const RuntimeError& error) {
            QCOMPARE(error.number(), 380);
        }
        QCOMPARE(control.geometry(), placed);
    }
}

QTEST_MAIN(TestRuntime)
#include "tst_runtime.moc"
