// Exit at once, or as the last window closes, each end hook once: the event loop run to its end.
#include "fakes.h"

#include <frmabout.h>
#include <frmeditor.h>

#include <QPlainTextEdit>
#include <QWindow>

#include <new>
#include <stdexcept>

class TestExit : public QObject {
    Q_OBJECT

private slots:
    void programEndsWithoutAQuestion_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("Exit with unsaved text, About open") << "exit";
        QTest::newRow("closing the window by its frame") << "frame";
        QTest::newRow("the editor's frame, then About's") << "about";
    }

    void programEndsWithoutAQuestion()
    {
        QFETCH(QString, how);
        QPointer<editor::frmEditor> editor = new editor::frmEditor;
        editor->setAttribute(Qt::WA_DeleteOnClose);
        editor->show();
        if (how != "frame")
            editor->about->trigger();
        // Each hook runs once, even after ones that fail, whose failures show as run-time errors.
        ScriptedDialogs dialogs;
        int released = 0;
        runtime::atProgramEnd([] { runtime::raise(runtime::Error::PrinterError); });
        runtime::atProgramEnd([] { throw std::bad_alloc(); });
        runtime::atProgramEnd([] { throw std::runtime_error("gearbox jammed"); });
        runtime::atProgramEnd([&] { ++released; });
        QTimer::singleShot(0, editor, [editor, how] {
            QTest::keyClicks(editor->x, QStringLiteral("unsaved work"));
            how == "exit" ? editor->exit->trigger() : (void)editor->windowHandle()->close();
        });
        // A question would keep the loop running: the guard ends it with 99 instead of hanging.
        bool askedSomething = false, outlived = false;
        QTimer watch;
        // About outlives the editor closed by its frame: the program goes on until it closes.
        QTimer::singleShot(300, &watch, [&] {
            for (QWidget* window : QApplication::topLevelWidgets())
                if (qobject_cast<about::frmAbout*>(window) && window->isVisible())
                    outlived = window->close();
        });
        connect(&watch, &QTimer::timeout,
            [&] { askedSomething |= QApplication::activeModalWidget() != nullptr; });
        QTimer::singleShot(5000, &watch, [] { QCoreApplication::exit(99); });
        watch.start(5);
        QCOMPARE(QCoreApplication::exec(), 0);
        QVERIFY(!askedSomething && dialogs.prompts.isEmpty());
        QCOMPARE(outlived, how == "about");
        // Exit releases what is held; after the frame main() does, when the loop has ended.
        QCOMPARE(released, how == "exit");
        runtime::runProgramEndHooks();
        QCOMPARE(released, 1);
        QCOMPARE(dialogs.messages.join('|'),
            "Run-time error '482':\n\nPrinter error|Run-time error '7':\n\nOut of memory|"
            "Run-time error '51':\n\ngearbox jammed");
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(editor.isNull());
    }
};

QTEST_MAIN(TestExit)
#include "tst_exit.moc"
