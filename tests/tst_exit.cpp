// How the program ends: Exit at once, or when its last window closes. Each case runs the event
// loop to its end, so these tests live in a program of their own.
#include <frmeditor.h>
#include <runtime.h>

#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QWindow>

class TestExit : public QObject {
    Q_OBJECT

private slots:
    void closingTheWindowByItsFrameEndsTheProgram();
    void exitWithUnsavedTextEndsWithoutAQuestion();
};

namespace {

// Runs the event loop until the program ends; a question left open would keep it running, so a
// guard ends it with 99 instead of hanging the test.
int runUntilTheProgramEnds(bool* askedSomething)
{
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout,
        [askedSomething] { *askedSomething |= QApplication::activeModalWidget() != nullptr; });
    watch.start(5);
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    guard.start(5000);
    return QCoreApplication::exec();
}

} // namespace

void TestExit::closingTheWindowByItsFrameEndsTheProgram()
{
    QPointer<editor::frmEditor> editor = new editor::frmEditor;
    editor->setAttribute(Qt::WA_DeleteOnClose);
    editor->show();
    QVERIFY(QTest::qWaitForWindowExposed(editor));
    bool ended = false;
    runtime::atProgramEnd([&] { ended = true; });

    QTimer::singleShot(0, editor, [editor] {
        QTest::keyClicks(editor->x, QStringLiteral("unsaved work"));
        editor->windowHandle()->close();
    });
    bool askedSomething = false;
    QCOMPARE(runUntilTheProgramEnds(&askedSomething), 0);
    QVERIFY(!askedSomething);
    // No handler of the program ran: what is held is released by main() after the loop.
    QVERIFY(!ended);
    runtime::runProgramEndHooks();
    QVERIFY(ended);
}

void TestExit::exitWithUnsavedTextEndsWithoutAQuestion()
{
    QPointer<editor::frmEditor> editor = new editor::frmEditor;
    editor->setAttribute(Qt::WA_DeleteOnClose);
    editor->show();
    QVERIFY(QTest::qWaitForWindowExposed(editor));
    QPointer<QWidget> other = new QWidget;
    other->setAttribute(Qt::WA_DeleteOnClose);
    other->show();

    bool released = false;
    runtime::atProgramEnd([&] { released = true; });

    QTimer::singleShot(0, editor, [editor] {
        QTest::keyClicks(editor->x, QStringLiteral("unsaved work"));
        editor->exit->trigger();
    });
    bool askedSomething = false;
    QCOMPARE(runUntilTheProgramEnds(&askedSomething), 0);
    QVERIFY(!askedSomething);
    QVERIFY(released);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(editor.isNull());
    QVERIFY(other.isNull());
}

QTEST_MAIN(TestExit)
#include "tst_exit.moc"
