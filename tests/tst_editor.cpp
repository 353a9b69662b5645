// The editor window as a user meets it: its frame, layout and font rules, menu bar and keys, and
// the boxes its commands show.
#include "fakes.h"

#include <frmeditor.h>

#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTextBlock>

using runtime::twipsRect;

class TestEditor : public QObject {
    Q_OBJECT

    std::unique_ptr<editor::frmEditor> m_editor;
    QWidget* client() const { return m_editor->centralWidget(); }
    QPlainTextEdit* x() const { return m_editor->x; }
    int m_fontChanges = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        return m_fontChanges += event->type() == QEvent::FontChange, false;
    }

private slots:
    void init()
    {
        m_editor = std::make_unique<editor::frmEditor>();
        m_editor->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_editor.get()));
    }
    void cleanup() { m_editor.reset(); }

    void windowAndTextBoxAreAsDesigned()
    {
        QCOMPARE(m_editor->windowTitle(), "Kalvenmark");
        QVERIFY(m_editor->windowFlags().testFlags(
            Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
        QCOMPARE(client()->size(), twipsRect(0, 0, 10095, 7785).size());
        // Load lays the box out before the window is first shown; the random user resizes it.
        QCOMPARE(editor::frmEditor().x->geometry(), twipsRect(100, 100, 10095 - 200, 7785 - 200));
        QVERIFY(client()->y() >= m_editor->menuBar()->height());
        QCOMPARE(m_editor->windowIcon().availableSizes(), QList<QSize>({ { 32, 32 }, { 16, 16 } }));
        QVERIFY(x()->toPlainText().isEmpty() && x()->hasFocus());
        // A long line wraps at the box's width instead of scrolling sideways.
        QTest::keyClicks(x(), QString(400, u'w'));
        QVERIFY(x()->document()->firstBlock().layout()->lineCount() > 1);
        QVERIFY(x()->verticalScrollBar()->isVisible() && !x()->horizontalScrollBar()->isVisible());
    }

    // The face is fixed-pitch, for assembly's columns; 8-point bold from the first change on,
    // set once, since setting it lays out the whole text again.
    void firstChangeTurnsTheWholeText8PointBold()
    {
        QCOMPARE(x()->font().family(), runtime::fixedPitchFont(8).family());
        QCOMPARE(x()->font().pointSize(), QApplication::font().pointSize());
        QVERIFY(!x()->font().bold());
        x()->installEventFilter(this);
        QTest::keyClick(x(), Qt::Key_A);
        // Shift+Enter breaks the line like Enter, not with a separator no source file can hold.
        QTest::keyClick(x(), Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(m_editor->text(), "a\r\n");
        m_editor->setText(QStringLiteral("ld a,(hl)\r\nret\r\n"));
        QVERIFY(QFontInfo(x()->font()).fixedPitch() && x()->font().bold());
        QCOMPARE(x()->font().pointSize(), 8);
        QCOMPARE(m_fontChanges, 1);
    }

    // Shown, both pairs of separators take room.
    void menuBarHasItsCaptionsInOrder()
    {
        QStringList bar, items;
        for (QAction* action : m_editor->menuBar()->actions())
            bar << action->text() + (action->menu() ? ">" : "");
        QCOMPARE(bar, QStringList({ "&File>", "&About", "&Compile" }));
        m_editor->fileMenu->popup(m_editor->mapToGlobal(QPoint(0, 0)));
        QVERIFY(QTest::qWaitForWindowExposed(m_editor->fileMenu));
        for (QAction* action : m_editor->fileMenu->actions()) {
            items << (action->isSeparator() ? "" : action->text()) + " " + action->objectName();
            QVERIFY(action->shortcut().isEmpty());
            QVERIFY(!m_editor->fileMenu->actionGeometry(action).isEmpty());
        }
        m_editor->fileMenu->close();
        QCOMPARE(items.join(u','),
            "&New new, sfdart, sdafdsfa,&Open open,&Save save, sdfsdafdsaf,"
            " asdfsdaf,&Print print,E&xit exit");
    }

    void commandsAnswerAClickAndTheirAccessKeys_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("key");
        QTest::newRow("About") << "about" << int(Qt::Key_A);
        QTest::newRow("Compile") << "asfd" << int(Qt::Key_C);
        QTest::newRow("File, Open") << "open" << int(Qt::Key_O);
    }

    // Cancelled, Compile's prompt still gives asm.bat, with nothing after it, minimised.
    void commandsAnswerAClickAndTheirAccessKeys()
    {
        QFETCH(QString, name);
        QFETCH(int, key);
        ScriptedDialogs dialogs;
        RecordingLauncher launcher;
        auto* action = m_editor->findChild<QAction*>(name);
        QSignalSpy triggered(action, &QAction::triggered);
        if (m_editor->fileMenu->actions().contains(action)) {
            QTest::keyClick(x(), Qt::Key_F, Qt::AltModifier);
            QTRY_VERIFY(m_editor->fileMenu->isVisible());
            QTest::keyClick(m_editor->fileMenu, Qt::Key(key));
            QTRY_COMPARE(triggered.count(), 1);
            return;
        }
        QMenuBar* bar = m_editor->menuBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(action).center());
        QTest::keyClick(x(), Qt::Key(key), Qt::AltModifier);
        QTRY_COMPARE(triggered.count(), 2);
        QVERIFY(x()->toPlainText().isEmpty());
        QCOMPARE(
            launcher.commandLines.join(u'|'), action == m_editor->asfd ? "asm.bat |asm.bat " : "");
        QVERIFY(!launcher.styles.contains(runtime::WindowStyle::Normal));
    }

    // Alt with a letter that is no access key types nothing; AltGr, Ctrl+Alt on Windows and
    // no Alt at all on X11, types its character.
    void onlyKeysWithoutAltOrWithAltGrType()
    {
        QTest::keyClick(x(), Qt::Key_S, Qt::AltModifier);
        QTest::keyClick(x(), Qt::Key_Q, Qt::AltModifier | Qt::ShiftModifier);
        QTest::keyClick(x(), '@', Qt::GroupSwitchModifier);
        QTest::keyClick(x(), '{', Qt::ControlModifier | Qt::AltModifier);
        QTest::keyClick(x(), 'q');
        QCOMPARE(x()->toPlainText(), "@{q");
    }

    // F10, or Alt alone as X11 reports it (without the Alt modifier).
    void f10AndALoneAltPutTheFocusOnTheMenuBar()
    {
        QApplication::setActiveWindow(m_editor.get());
        for (Qt::Key key : { Qt::Key_F10, Qt::Key_Alt }) {
            QTest::keyClick(x(), key);
            QTRY_VERIFY(m_editor->menuBar()->hasFocus());
            QVERIFY(!m_editor->fileMenu->isVisible());
            QTest::keyClick(m_editor->menuBar(), Qt::Key_Escape);
            QTRY_VERIFY(x()->hasFocus());
        }
    }

    // A failing command's error belongs to its window, whole title and all, even right after a
    // prompt closed; after each box the focus is back in the text, which is kept.
    void boxesBelongToTheCommandsWindowAndGiveTheFocusBack()
    {
        QTest::keyClicks(x(), QStringLiteral("org 8000h"));
        QStringList seen;
        const auto see = [&](QWidget* box) {
            seen << box->windowTitle() + (box->parentWidget() == m_editor.get() ? "" : " unowned");
            QVERIFY(box->width() > box->fontMetrics().horizontalAdvance(box->windowTitle()) + 100);
            if (auto* message = qobject_cast<QMessageBox*>(box))
                seen << message->text() + QString(message->buttons().size(), u'!');
        };
        whenModalBoxShows([&](QWidget* box) {
            see(box);
            QTest::keyClicks(box->findChild<QLineEdit*>(), QStringLiteral("nowhere/demo"));
            whenModalBoxShows([&](QWidget* message) {
                see(message);
                QTest::keyClick(message, Qt::Key_Return);
            });
            QTest::keyClick(box->findChild<QLineEdit*>(), Qt::Key_Return);
        });
        m_editor->save->trigger();
        QCOMPARE(seen,
            QStringList({ "Save As", "Brindlehof", "Run-time error '76':\n\nPath not found!" }));
        QTRY_VERIFY(x()->hasFocus());
        QCOMPARE(x()->toPlainText(), "org 8000h");
    }
};

QTEST_MAIN(TestEditor)
#include "tst_editor.moc"
