// How the program ends: Exit at once, or when its last window closes. Each case runs the event
// loop to its end, so these tests live in a program of their own.
#include <frmeditor.h>
#include <runtime.h>

#include <QPlainTextEdit>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QWindow>

class TestExit : public QObject {
    Q_OBJECT

private slots:
    void programEndsWithoutAQuestion_data();
    void programEndsWithoutAQuestion();
};

void TestExit::programEndsWithoutAQuestion_data()
{
    QTest::addColumn<bool>("byExit");
    QTest::newRow("closing the window by its frame") << false;
    QTest::newRow("Exit with unsaved text") << true;
}

void TestExit::programEndsWithoutAQuestion()
{
    QFETCH(bool, byExit);
    QPointer<editor::frmEditor> editor = new editor::frmEditor;
    editor->setAttribute(Qt::WA_DeleteOnClose);
    editor->show();
    QVERIFY(QTest::qWaitForWindowExposed(editor));
    QPointer<QWidget> other = new QWidget;
    other->setAttribute(Qt::WA_DeleteOnClose);
    if (byExit)
        other->show();
    bool released = false;
    runtime::atProgramEnd([&] { released = true; });

    QTimer::singleShot(0, editor, [editor, byExit] {
        QTest::keyClicks(editor->x, QStringLiteral("unsaved work"));
        byExit ? editor->exit->trigger() : (void)editor->windowHandle()->close();
    });
    // A question would keep the loop running: the guard ends it with 99 instead of hanging.
    bool askedSomething = false;
    QTimer watch, guard;
    connect(&watch, &QTimer::timeout,
        [&] { askedSomething |= QApplication::activeModalWidget() != nullptr; });
    connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    watch.start(5);
    guard.start(5000);
    QCOMPARE(QCoreApplication::exec(), 0);
    QVERIFY(!askedSomething);

    // Exit releases what is held and closes every window; closing by the frame runs no handler
    // of the program, and main() releases what is held after the loop.
    QCOMPARE(released, byExit);
    runtime::runProgramEndHooks();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(editor.isNull());
    QCOMPARE(other.isNull(), byExit);
    delete other;
}

QTEST_MAIN(TestExit)
#include "tst_exit.moc"
