// The editor window: frame, font rule, menu bar, keys (the random user checks its layout rule).
#include "fakes.h"

#include <frmeditor.h>

#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalSpy>

using runtime::twipsRect;

class TestEditor : public QObject {
    Q_OBJECT

    std::optional<editor::frmEditor> m_editor;
    QPlainTextEdit* x() const { return m_editor->findChild<QPlainTextEdit*>("x"); } // its UIA id

private slots:
    void initTestCase() { QCoreApplication::setAttribute(Qt::AA_Use96Dpi, false); } // as a program
    void init() // the last editor goes with the test object
    {
        m_editor.emplace().show();
        QVERIFY(QTest::qWaitForWindowExposed(&*m_editor));
    }

    void windowAndTextBoxAreAsDesigned()
    {
        QVERIFY(m_editor->windowFlags().testFlags(
            Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
        QCOMPARE(m_editor->centralWidget()->size(), twipsRect(0, 0, 10095, 7785).size());
        QCOMPARE(twipsRect(0, 0, 1440, 0).width(), m_editor->logicalDpiX()); // a screen's inch
        // Load lays the box out before the window is first shown; the random user resizes it.
        QCOMPARE(editor::frmEditor().x->geometry(), twipsRect(100, 100, 10095 - 200, 7785 - 200));
        QCOMPARE(m_editor->windowIcon().availableSizes(), QList<QSize>({ { 32, 32 }, { 16, 16 } }));
        QVERIFY(x()->toPlainText().isEmpty() && x()->hasFocus());
        // A long line wraps at the box's width, beside a vertical scroll bar always there.
        QTest::keyClicks(x(), QString(400, u'w'));
        QVERIFY(x()->verticalScrollBar()->isVisible() && !x()->horizontalScrollBar()->isVisible());
        // A text holding a run over 64 Ki characters breaks lines anywhere: Qt's word wrap would
        // take minutes a megabyte.
        m_editor->setText(QString(64 * 1024 + 1, u'w'));
        QCOMPARE(x()->wordWrapMode(), QTextOption::WrapAnywhere);
    }

    // Fixed-pitch, 8-point bold from the first change on.
    void firstChangeTurnsTheWholeText8PointBold()
    {
        QCOMPARE(x()->font().family(), runtime::fixedPitchFont(8).family());
        QCOMPARE(x()->font().pointSize(), QApplication::font().pointSize());
        QVERIFY(!x()->font().bold());
        QTest::keyClick(x(), Qt::Key_A);
        // Shift+Enter breaks the line like Enter, not with a separator no source file can hold.
        QTest::keyClick(x(), Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(m_editor->text(), "a\r\n");
        m_editor->setText(QStringLiteral("ld a,(hl)\r\nret\r\n"));
        QVERIFY(QFontInfo(x()->font()).fixedPitch() && x()->font().bold());
        QCOMPARE(x()->font().pointSize(), 8);
        // Tabs stop every 8 columns of that face, as on paper: each X stands where the third does.
        m_editor->setText(QStringLiteral("\tX\r\n1234567\tX\r\n12345678X"));
        QList<int> lefts;
        for (QTextCursor cursor(x()->document()); int position : { 1, 11, 21 })
            cursor.setPosition(position), lefts << x()->cursorRect(cursor).left();
        QCOMPARE(lefts, QList<int>(3, lefts.last()));
    }

    // Cancelled, Compile's prompt still starts asm.bat, with nothing after it, minimised.
    void menusAnswerTheirAccessKeysAndClicksInOrder()
    {
        ScriptedDialogs dialogs;
        RecordingLauncher launcher;
        QStringList bar, items; // with the names Windows' UI Automation gives as AutomationId
        for (QAction* action : m_editor->menuBar()->actions())
            bar << action->text() + " " + action->objectName()
                    + (action->menu() ? ">" + action->menu()->objectName() : "");
        QCOMPARE(bar, QStringList({ "&File file>file", "&About about", "&Compile asfd" }));
        QTest::keyClick(x(), Qt::Key_F, Qt::AltModifier);
        QTRY_VERIFY(m_editor->fileMenu->isVisible());
        for (QAction* action : m_editor->fileMenu->actions()) { // both separator pairs take room
            items << (action->isSeparator() ? "" : action->text()) + " " + action->objectName();
            QVERIFY(!m_editor->fileMenu->actionGeometry(action).isEmpty());
        }
        QCOMPARE(items.join(u','),
            "&New new, sfdart, sdafdsfa,&Open open,&Save save, sdfsdafdsaf,"
            " asdfsdaf,&Print print,E&xit exit");
        QSignalSpy opened(m_editor->open, &QAction::triggered);
        QTest::keyClick(m_editor->fileMenu, Qt::Key_O);
        QTRY_COMPARE(opened.count(), 1);
        for (const auto& [action, key] :
            { std::pair(m_editor->asfd, Qt::Key_C), { m_editor->about, Qt::Key_A } }) {
            QSignalSpy triggered(action, &QAction::triggered);
            QMenuBar* menuBar = m_editor->menuBar();
            QTest::mouseClick(
                menuBar, Qt::LeftButton, {}, menuBar->actionGeometry(action).center());
            QTest::keyClick(x(), key, Qt::AltModifier);
            QTRY_COMPARE(triggered.count(), 2);
        }
        QVERIFY(x()->toPlainText().isEmpty());
        QCOMPARE(launcher.commandLines.join(u'|'), "asm.bat |asm.bat ");
        QVERIFY(!launcher.styles.contains(runtime::WindowStyle::Normal));
    }

    // Alt with a letter that is no access key types nothing, AltGr (Ctrl+Alt on Windows) types;
    // F10 and a lone Alt, its press with the Alt modifier or without, focus the menu bar.
    void altTypesNothingAndF10OrAloneReachesTheMenuBar()
    {
        QTest::keyClick(x(), Qt::Key_S, Qt::AltModifier);
        QTest::keyClick(x(), Qt::Key_Q, Qt::AltModifier | Qt::ShiftModifier);
        QTest::keyClick(x(), '@', Qt::GroupSwitchModifier);
        QTest::keyClick(x(), '{', Qt::ControlModifier | Qt::AltModifier);
        QTest::keyClick(x(), 'q');
        QCOMPARE(x()->toPlainText(), "@{q");
        QApplication::setActiveWindow(&*m_editor);
        for (const auto& [key, modifier] :
            { std::pair(Qt::Key_Alt, Qt::AltModifier), { Qt::Key_F10, Qt::NoModifier } }) {
            for (bool press : { true, false })
                QTest::simulateEvent(x(), press, key, modifier, {}, false);
            QTRY_VERIFY(m_editor->menuBar()->hasFocus());
            QVERIFY(!m_editor->fileMenu->isVisible());
            QTest::keyClick(m_editor->menuBar(), Qt::Key_Escape);
            QTRY_VERIFY(x()->hasFocus());
        }
    }
};

QTEST_MAIN(TestEditor)
#include "tst_editor.moc"
