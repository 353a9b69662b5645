// Exit ends the whole program at once. It runs in a program of its own because ending the event
// loop is final for the process that does it.
#include <frmeditor.h>
#include <runtime.h>

#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTest>
#include <QTimer>

class TestExit : public QObject {
    Q_OBJECT

private slots:
    void exitWithUnsavedTextEndsWithoutAQuestion();
};

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
    bool askedSomething = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        askedSomething |= QApplication::activeModalWidget() != nullptr;
    });
    watch.start(5);

    QTimer::singleShot(0, editor, [editor] {
        QTest::keyClicks(editor->x, QStringLiteral("unsaved work"));
        editor->exit->trigger();
    });
    // A question would keep the loop running; the guard fails the test instead of hanging.
    QTimer::singleShot(5000, [] { QCoreApplication::exit(99); });
    QCOMPARE(QCoreApplication::exec(), 0);

    QVERIFY(!askedSomething);
    QVERIFY(released);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(editor.isNull());
    QVERIFY(other.isNull());
}

QTEST_MAIN(TestExit)
#include "tst_exit.moc"
