// The editor window as a user meets it: its frame, layout rule, font rule and menu bar.
#include "fakes.h"

#include <frmeditor.h>

#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>

#include <memory>

using editor::frmEditor;
using runtime::twipsRect;

namespace {

QRect marginsIn(const QWidget* client)
{
    return twipsRect(100, 100, runtime::pixelsToTwipsX(client->width()) - 200,
        runtime::pixelsToTwipsY(client->height()) - 200);
}

class FontChanges : public QObject {
public:
    int count = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        count += event->type() == QEvent::FontChange;
        return false;
    }
};

} // namespace

class TestEditor : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    // ---- the window ----
    void windowAndTextBoxAreAsDesigned();

    // ---- the layout rule ----
    void textBoxKeepsAMarginInsideTheClientArea();
    void tooSmallAClientLeavesTheTextBoxAsItWas_data();
    void tooSmallAClientLeavesTheTextBoxAsItWas();

    // ---- the font rule ----
    void firstChangeTurnsTheWholeText8PointBold();

    // ---- the menu bar ----
    void menuBarHasItsCaptionsInOrder();
    void fileMenuShowsBothPairsOfSeparators();
    void commandsAnswerAClickAndTheirAccessKeys_data();
    void commandsAnswerAClickAndTheirAccessKeys();

    // ---- default handling ----
    void aFailingCommandShowsItsErrorAndKeepsTheText();

private:
    std::unique_ptr<frmEditor> m_editor;
    QWidget* client() const { return m_editor->centralWidget(); }
};

void TestEditor::init()
{
    m_editor = std::make_unique<frmEditor>();
    m_editor->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_editor.get()));
}

void TestEditor::cleanup() { m_editor.reset(); }

void TestEditor::windowAndTextBoxAreAsDesigned()
{
    QCOMPARE(m_editor->windowTitle(), QStringLiteral("Kalvenmark"));
    const Qt::WindowFlags flags = m_editor->windowFlags();
    QVERIFY(flags & Qt::WindowMinimizeButtonHint && flags & Qt::WindowMaximizeButtonHint);
    // The client area, below the menu bar, is 10095 x 7785 twips.
    QCOMPARE(client()->size(), twipsRect(0, 0, 10095, 7785).size());
    QVERIFY(client()->y() >= m_editor->menuBar()->height());
    const QList<QSize> sizes = m_editor->windowIcon().availableSizes();
    QVERIFY(sizes.contains(QSize(32, 32)) && sizes.contains(QSize(16, 16)));

    QPlainTextEdit* x = m_editor->x;
    QVERIFY(x->toPlainText().isEmpty());
    QVERIFY(x->hasFocus());
    QVERIFY(x->verticalScrollBar()->isVisible());
    // A long line wraps at the box's width instead of scrolling sideways.
    QTest::keyClicks(x, QString(400, QLatin1Char('w')));
    QVERIFY(x->document()->firstBlock().layout()->lineCount() > 1);
    QVERIFY(!x->horizontalScrollBar()->isVisible());
}

void TestEditor::textBoxKeepsAMarginInsideTheClientArea()
{
    // Load lays the box out before the window is first shown.
    frmEditor hidden;
    QCOMPARE(hidden.x->geometry(), twipsRect(100, 100, 10095 - 200, 7785 - 200));

    QCOMPARE(m_editor->x->geometry(), marginsIn(client()));
    m_editor->resize(500, 400);
    QTRY_COMPARE(m_editor->x->geometry(), marginsIn(client()));

    // Minimising leaves the box as it was; restoring lays it out again.
    ScriptedDialogs dialogs;
    const QRect before = m_editor->x->geometry();
    m_editor->showMinimized();
    QTRY_VERIFY(m_editor->isMinimized());
    QCOMPARE(m_editor->x->geometry(), before);
    m_editor->showNormal();
    m_editor->resize(640, 480);
    QTRY_COMPARE(m_editor->x->geometry(), marginsIn(client()));
    QVERIFY(dialogs.messages.isEmpty());
}

void TestEditor::tooSmallAClientLeavesTheTextBoxAsItWas_data()
{
    QTest::addColumn<double>("widthTwips");
    QTest::addColumn<double>("heightTwips");
    QTest::newRow("narrower than 200 twips") << 150.0 << 3000.0;
    QTest::newRow("lower than 200 twips") << 3000.0 << 150.0;
}

void TestEditor::tooSmallAClientLeavesTheTextBoxAsItWas()
{
    QFETCH(double, widthTwips);
    QFETCH(double, heightTwips);
    ScriptedDialogs dialogs;
    m_editor->resize(600, 450);
    QTRY_COMPARE(m_editor->x->geometry(), marginsIn(client()));
    const QRect before = m_editor->x->geometry();

    m_editor->setMinimumSize(0, 0);
    m_editor->resize(runtime::twipsToPixelsX(widthTwips),
        client()->y() + runtime::twipsToPixelsY(heightTwips));
    QTRY_VERIFY(runtime::pixelsToTwipsX(client()->width()) < 200
        || runtime::pixelsToTwipsY(client()->height()) < 200);
    QCOMPARE(m_editor->x->geometry(), before);
    QVERIFY(dialogs.messages.isEmpty());

    m_editor->resize(700, 500);
    QTRY_COMPARE(m_editor->x->geometry(), marginsIn(client()));
}

void TestEditor::firstChangeTurnsTheWholeText8PointBold()
{
    QCOMPARE(m_editor->x->font(), QApplication::font(m_editor->x));
    QVERIFY(!m_editor->x->font().bold());

    FontChanges changes;
    m_editor->x->installEventFilter(&changes);
    QTest::keyClick(m_editor->x, Qt::Key_A);
    QCOMPARE(m_editor->x->font().pointSize(), 8);
    QVERIFY(m_editor->x->font().bold());

    // Later changes, typed or replacing the whole text, keep it without setting it again.
    // Shift+Enter breaks the line like Enter, not with a separator no source file can hold.
    QTest::keyClick(m_editor->x, Qt::Key_Return, Qt::ShiftModifier);
    QCOMPARE(m_editor->text(), QStringLiteral("a\r\n"));
    m_editor->setText(QStringLiteral("ld a,(hl)\r\nret\r\n"));
    QCOMPARE(m_editor->x->font().pointSize(), 8);
    QVERIFY(m_editor->x->font().bold());
    QCOMPARE(changes.count, 1);
    m_editor->x->removeEventFilter(&changes);
}

void TestEditor::menuBarHasItsCaptionsInOrder()
{
    QStringList bar;
    for (QAction* action : m_editor->menuBar()->actions())
        bar << action->text();
    QCOMPARE(bar, QStringList({ "&File", "&About", "&Compile" }));
    QCOMPARE(m_editor->about->menu(), nullptr);
    QCOMPARE(m_editor->asfd->menu(), nullptr);

    QStringList items, names;
    for (QAction* action : m_editor->fileMenu->actions()) {
        items << (action->isSeparator() ? QStringLiteral("-") : action->text());
        names << action->objectName();
        QVERIFY(action->shortcut().isEmpty());
    }
    QCOMPARE(items,
        QStringList({ "&New", "-", "-", "&Open", "&Save", "-", "-", "&Print", "E&xit" }));
    QCOMPARE(names,
        QStringList({ "new", "sfdart", "sdafdsfa", "open", "save", "sdfsdafdsaf", "asdfsdaf",
            "print", "exit" }));
}

void TestEditor::fileMenuShowsBothPairsOfSeparators()
{
    QMenu* menu = m_editor->fileMenu;
    menu->popup(m_editor->mapToGlobal(QPoint(0, 0)));
    QVERIFY(QTest::qWaitForWindowExposed(menu));
    for (QAction* separator : { m_editor->sfdart, m_editor->sdafdsfa, m_editor->sdfsdafdsaf,
             m_editor->asdfsdaf }) {
        QVERIFY2(!menu->actionGeometry(separator).isEmpty(), qPrintable(separator->objectName()));
    }
    menu->close();
}

void TestEditor::commandsAnswerAClickAndTheirAccessKeys_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("key");
    QTest::newRow("About") << "about" << int(Qt::Key_A);
    QTest::newRow("Compile") << "asfd" << int(Qt::Key_C);
    QTest::newRow("File, Open") << "open" << int(Qt::Key_O);
}

void TestEditor::commandsAnswerAClickAndTheirAccessKeys()
{
    QFETCH(QString, name);
    QFETCH(int, key);
    // Open and Compile ask for a name, and Compile starts a script: answered and recorded here.
    ScriptedDialogs dialogs;
    RecordingLauncher launcher;
    auto* action = m_editor->findChild<QAction*>(name);
    QSignalSpy triggered(action, &QAction::triggered);
    m_editor->activateWindow();

    if (m_editor->fileMenu->actions().contains(action)) {
        QTest::keyClick(m_editor.get(), Qt::Key_F, Qt::AltModifier);
        QTRY_VERIFY(m_editor->fileMenu->isVisible());
        QTest::keyClick(m_editor->fileMenu, Qt::Key(key));
        QTRY_COMPARE(triggered.count(), 1);
        return;
    }
    QMenuBar* bar = m_editor->menuBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(action).center());
    QTRY_COMPARE(triggered.count(), 1);
    QTest::keyClick(m_editor.get(), Qt::Key(key), Qt::AltModifier);
    QTRY_COMPARE(triggered.count(), 2);
    if (action == m_editor->asfd) {
        // Cancelled, the prompt still gives asm.bat, with nothing after it, minimised.
        QCOMPARE(launcher.commandLines, QStringList({ "asm.bat ", "asm.bat " }));
        QVERIFY(!launcher.styles.contains(runtime::WindowStyle::Normal));
    }
}

void TestEditor::aFailingCommandShowsItsErrorAndKeepsTheText()
{
    ScriptedDialogs dialogs;
    QTest::keyClicks(m_editor->x, QStringLiteral("org 8000h"));
    auto* failing = m_editor->menuBar()->addAction(QStringLiteral("&Fail"));
    QObject::connect(failing, &QAction::triggered, m_editor.get(),
        runtime::handled([] { runtime::raise(runtime::Error::DeviceIOError); }));
    failing->trigger();
    QCOMPARE(dialogs.messages, QStringList({ "Run-time error '57':\n\nDevice I/O error" }));
    QCOMPARE(m_editor->x->toPlainText(), QStringLiteral("org 8000h"));
    QVERIFY(m_editor->isVisible());
}

QTEST_MAIN(TestEditor)
#include "tst_editor.moc"
