// The About dialog as a user meets it, opened from the editor's About command.
#include "fakes.h"
#include "sysinfo_fakes.h"

#include <frmabout.h>
#include <frmeditor.h>

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include <memory>

using about::frmAbout;
using runtime::twipsRect;
using namespace Qt::StringLiterals;

class TestAbout : public QObject {
    Q_OBJECT

private slots:
    void cleanup();
    void aboutShowsTheDesignedDialog();
    void oneAtATimeItsKeysAndFreshAfterOk();
    void theEditorTakesTypingAndMayCloseWhileTheDialogIsUp();

private:
    frmAbout* showAbout();

    std::unique_ptr<editor::frmEditor> m_editor;
};

void TestAbout::cleanup()
{
    for (QWidget* window : QApplication::topLevelWidgets())
        delete qobject_cast<frmAbout*>(window);
    m_editor.reset();
}

// The About dialog the editor's About command shows; none if there are more than one.
frmAbout* TestAbout::showAbout()
{
    if (!m_editor) {
        m_editor = std::make_unique<editor::frmEditor>();
        m_editor->show();
    }
    m_editor->about->trigger();
    QList<frmAbout*> found;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<frmAbout*>(window))
            found.append(dialog);
    return found.size() == 1 ? found.first() : nullptr;
}

void TestAbout::aboutShowsTheDesignedDialog()
{
    frmAbout* dialog = showAbout();
    QVERIFY(dialog);
    QCOMPARE(dialog->windowTitle(), u"About Brindlehof"_s);
    QCOMPARE(dialog->windowFlags()
            & (Qt::WindowType_Mask | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint
                | Qt::WindowCloseButtonHint),
        Qt::Dialog | Qt::WindowCloseButtonHint);
    QCOMPARE(dialog->size(), twipsRect(0, 0, 5730, 3555).size());
    QCOMPARE(dialog->minimumSize(), dialog->maximumSize());
    QTRY_VERIFY(dialog->cmdOK(0)->hasFocus());
    QVERIFY(!dialog->cmdOK(0)->isDefault() && !dialog->cmdSysInfo(0)->isDefault());
    QCOMPARE(dialog->Line1.indexes(), QList<int>({ 0, 1 }));
    QCOMPARE(dialog->lblVersion(0)->text(), u"Version"_s);
    QCOMPARE(dialog->lblDisclaimer(1)->text(), QString());
    const QRegularExpression banner(u"^_{46} {30}Kalvenmark {41}_{44} {26}\\S.{16}\\S$"_s);
    QVERIFY2(banner.match(dialog->Label1->text()).hasMatch(), qPrintable(dialog->Label1->text()));

    QCOMPARE(dialog->cmdOK(0)->geometry(), twipsRect(4245, 2625, 1260, 345));
    QCOMPARE(dialog->lblVersion(0)->geometry(), twipsRect(-720, 240, 3885, 225));
    // The banner counts from inside its sunken frame; the icon's box fits its 32 x 32 picture.
    const QPoint inside = dialog->Picture1->contentsRect().topLeft();
    QCOMPARE(dialog->Label1->geometry(), twipsRect(600, 120, 3135, 1095).translated(inside));
    QCOMPARE(dialog->picIcon(0)->pos(), twipsRect(120, 120, 0, 0).topLeft());
    QCOMPARE(dialog->picIcon(0)->contentsRect().size(), QSize(32, 32));
}

// Escape does nothing and Enter presses the focused button; OK or the frame ends the dialog.
void TestAbout::oneAtATimeItsKeysAndFreshAfterOk()
{
    const ScriptedRegistry registry(""); // no program named: System Info says it is unavailable
    ScriptedDialogs dialogs;
    QPointer<frmAbout> dialog = showAbout();
    QVERIFY(dialog);
    QCOMPARE(showAbout(), dialog);
    dialog->lblTitle(0)->setText(u"changed"_s);
    QTRY_VERIFY(dialog->cmdOK(0)->hasFocus());
    QTest::keyClick(dialog->cmdOK(0), Qt::Key_Escape);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(dialog && dialog->isVisible());
    QTest::keyClick(dialog->cmdOK(0), Qt::Key_Tab);
    QTest::keyClick(dialog->cmdSysInfo(0), Qt::Key_Return);
    QCOMPARE(dialogs.messages, QStringList({ "System Information Is Unavailable At This Time" }));
    QVERIFY(dialog->isVisible());
    QTest::keyClick(dialog->cmdSysInfo(0), Qt::Key_Tab);
    QTest::keyClick(dialog->cmdOK(0), Qt::Key_Enter, Qt::KeypadModifier);
    QTRY_VERIFY(dialog.isNull());
    QCOMPARE(dialogs.messages.size(), 1);

    dialog = showAbout();
    QVERIFY(dialog);
    QCOMPARE(dialog->lblTitle(0)->text(), u"Kalvenmark"_s);
    dialog->close(); // as its frame's close button does
    QTRY_VERIFY(dialog.isNull());
}

void TestAbout::theEditorTakesTypingAndMayCloseWhileTheDialogIsUp()
{
    QPointer<frmAbout> dialog = showAbout();
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    // Typed through the editor's window, where a modal dialog would hold the keys back.
    for (char key : QByteArray("ld a,1"))
        QTest::keyClick(m_editor->windowHandle(), key);
    QCOMPARE(m_editor->x->toPlainText(), u"ld a,1"_s);

    m_editor->close();
    m_editor.reset();
    QVERIFY(dialog && dialog->isVisible() && dialog->testAttribute(Qt::WA_QuitOnClose));
}

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
