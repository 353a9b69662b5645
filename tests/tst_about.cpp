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

namespace {

QList<frmAbout*> aboutDialogs()
{
    QList<frmAbout*> found;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (auto* dialog = qobject_cast<frmAbout*>(window))
            found.append(dialog);
    }
    return found;
}

QRect twips(double left, double top, double width, double height)
{
    return runtime::twipsRect(left, top, width, height);
}

} // namespace

class TestAbout : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    // ---- the dialog ----
    void aboutShowsTheDesignedDialog();
    void controlsSitAtTheirTwips_data();
    void controlsSitAtTheirTwips();
    void theBannerSitsInsideItsFrameAndTheIconBoxFitsItsPicture();
    void theRuleIsEtchedGreyOverWhite();
    void aboutTwiceShowsOneDialog();
    void okOrTheFrameDestroysItAndTheNextAboutIsFresh();
    void escapeDoesNothing();
    void enterPressesTheFocusedButton();
    void theEditorTakesTypingWhileTheDialogIsUp();
    void theDialogOutlivesTheEditorClosedByItsFrame();

private:
    frmAbout* showAbout();

    std::unique_ptr<editor::frmEditor> m_editor;
};

void TestAbout::init()
{
    m_editor = std::make_unique<editor::frmEditor>();
    m_editor->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_editor.get()));
}

void TestAbout::cleanup()
{
    qDeleteAll(aboutDialogs());
    m_editor.reset();
}

frmAbout* TestAbout::showAbout()
{
    m_editor->about->trigger();
    const QList<frmAbout*> dialogs = aboutDialogs();
    return dialogs.size() == 1 ? dialogs.first() : nullptr;
}

void TestAbout::aboutShowsTheDesignedDialog()
{
    frmAbout* dialog = showAbout();
    QVERIFY(dialog);
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    QCOMPARE(dialog->windowTitle(), QStringLiteral("About Brindlehof"));
    QCOMPARE(dialog->windowType(), Qt::Dialog);
    const Qt::WindowFlags flags = dialog->windowFlags();
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(!(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QCOMPARE(dialog->size(), twips(0, 0, 5730, 3555).size());
    QCOMPARE(dialog->minimumSize(), dialog->maximumSize());
    QVERIFY(!dialog->isModal());

    QCOMPARE(dialog->lblTitle(0)->text(), QStringLiteral("Kalvenmark"));
    QCOMPARE(dialog->lblVersion(0)->text(), QStringLiteral("Version"));
    QCOMPARE(dialog->lblDisclaimer(1)->text(), QString());
    QCOMPARE(dialog->cmdOK(0)->text(), QStringLiteral("OK"));
    QCOMPARE(dialog->cmdSysInfo(0)->text(), QStringLiteral("&System Info..."));
    const QRegularExpression banner(
        QStringLiteral("^_{46} {30}Kalvenmark {41}_{44} {26}\\S.{16}\\S$"));
    QVERIFY2(banner.match(dialog->Label1->text()).hasMatch(), qPrintable(dialog->Label1->text()));
    QCOMPARE(dialog->picIcon(0)->pixmap().size(), QSize(32, 32));

    // Each array keeps its designed indexes, and nothing else.
    QCOMPARE(dialog->Line1.indexes(), QList<int>({ 0, 1 }));
    QCOMPARE(dialog->lblDisclaimer.indexes(), QList<int>({ 1 }));
    QCOMPARE(dialog->cmdOK.indexes(), QList<int>({ 0 }));

    QTRY_VERIFY(dialog->cmdOK(0)->hasFocus());
    QVERIFY(!dialog->cmdOK(0)->isDefault());
    QVERIFY(!dialog->cmdSysInfo(0)->isDefault());
}

void TestAbout::controlsSitAtTheirTwips_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("expected");
    QTest::newRow("Picture1") << "Picture1" << twips(600, 840, 4695, 1335);
    QTest::newRow("cmdOK") << "cmdOK" << twips(4245, 2625, 1260, 345);
    QTest::newRow("cmdSysInfo") << "cmdSysInfo" << twips(4260, 3075, 1245, 345);
    QTest::newRow("lblDisclaimer") << "lblDisclaimer" << twips(120, 2640, 3870, 825);
    QTest::newRow("lblTitle") << "lblTitle" << twips(960, 240, 3885, 480);
    QTest::newRow("lblVersion, left of the client area")
        << "lblVersion" << twips(-720, 240, 3885, 225);
}

void TestAbout::controlsSitAtTheirTwips()
{
    QFETCH(QString, name);
    QFETCH(QRect, expected);
    frmAbout* dialog = showAbout();
    QVERIFY(dialog);
    auto* control = dialog->findChild<QWidget*>(name);
    QVERIFY(control);
    QCOMPARE(control->geometry(), expected);
}

void TestAbout::theBannerSitsInsideItsFrameAndTheIconBoxFitsItsPicture()
{
    frmAbout* dialog = showAbout();
    QVERIFY(dialog);
    const QPoint inside = dialog->Picture1->contentsRect().topLeft();
    QCOMPARE(dialog->Label1->geometry(), twips(600, 120, 3135, 1095).translated(inside));
    const QLabel* icon = dialog->picIcon(0);
    QCOMPARE(icon->pos(), twips(120, 120, 0, 0).topLeft());
    QCOMPARE(icon->contentsRect().size(), QSize(32, 32));
}

void TestAbout::theRuleIsEtchedGreyOverWhite()
{
    frmAbout* dialog = showAbout();
    QVERIFY(dialog);
    const QImage image = dialog->grab().toImage();
    const int grey = runtime::twipsToPixelsY(2445);
    const int white = runtime::twipsToPixelsY(2460);
    const QColor background = image.pixelColor(image.width() / 2, grey - 2);
    for (int x :
        { runtime::twipsToPixelsX(105), image.width() / 2, runtime::twipsToPixelsX(5654) - 1 }) {
        QCOMPARE(image.pixelColor(x, grey), QColor(0x80, 0x80, 0x80));
        QCOMPARE(image.pixelColor(x, white), QColor(Qt::white));
        QCOMPARE(image.pixelColor(x, white + 1), QColor(Qt::white));
        QCOMPARE(image.pixelColor(x, white + 2), background);
    }
    QCOMPARE(image.pixelColor(runtime::twipsToPixelsX(5654) + 1, grey), background);
}

void TestAbout::aboutTwiceShowsOneDialog()
{
    frmAbout* first = showAbout();
    QVERIFY(first);
    QCOMPARE(showAbout(), first);
    QVERIFY(first->isVisible());
}

void TestAbout::okOrTheFrameDestroysItAndTheNextAboutIsFresh()
{
    QPointer<frmAbout> dialog = showAbout();
    dialog->lblTitle(0)->setText(QStringLiteral("changed"));
    QTest::mouseClick(dialog->cmdOK(0), Qt::LeftButton);
    QTRY_VERIFY(dialog.isNull());
    QVERIFY(aboutDialogs().isEmpty());

    dialog = showAbout();
    QVERIFY(dialog);
    QCOMPARE(dialog->lblTitle(0)->text(), QStringLiteral("Kalvenmark"));
    dialog->close();
    QTRY_VERIFY(dialog.isNull());
    QVERIFY(showAbout());
}

void TestAbout::escapeDoesNothing()
{
    QPointer<frmAbout> dialog = showAbout();
    QTRY_VERIFY(dialog->cmdOK(0)->hasFocus());
    QTest::keyClick(dialog->cmdOK(0), Qt::Key_Escape);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(dialog);
    QVERIFY(dialog->isVisible());
}

void TestAbout::enterPressesTheFocusedButton()
{
    ScriptedRegistry registry("");
    ScriptedDialogs dialogs;
    QPointer<frmAbout> dialog = showAbout();
    QTRY_VERIFY(dialog->cmdOK(0)->hasFocus());
    QTest::keyClick(dialog->cmdOK(0), Qt::Key_Tab);
    QVERIFY(dialog->cmdSysInfo(0)->hasFocus());
    QTest::keyClick(dialog->cmdSysInfo(0), Qt::Key_Return);
    QCOMPARE(dialogs.messages, QStringList({ "System Information Is Unavailable At This Time" }));
    QVERIFY(dialog->isVisible());

    QTest::keyClick(dialog->cmdSysInfo(0), Qt::Key_Tab);
    QVERIFY(dialog->cmdOK(0)->hasFocus());
    QTest::keyClick(dialog->cmdOK(0), Qt::Key_Enter, Qt::KeypadModifier);
    QTRY_VERIFY(dialog.isNull());
    QCOMPARE(dialogs.messages.size(), 1);
}

void TestAbout::theEditorTakesTypingWhileTheDialogIsUp()
{
    QPointer<frmAbout> dialog = showAbout();
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    // Typed through the editor's window, where a modal dialog would hold the keys back.
    for (char key : QByteArray("ld a,1"))
        QTest::keyClick(m_editor->windowHandle(), key);
    QCOMPARE(m_editor->x->toPlainText(), QStringLiteral("ld a,1"));
    QVERIFY(dialog->isVisible());
}

void TestAbout::theDialogOutlivesTheEditorClosedByItsFrame()
{
    QPointer<frmAbout> dialog = showAbout();
    QPointer<editor::frmEditor> editor = m_editor.release();
    editor->setAttribute(Qt::WA_DeleteOnClose);
    editor->close();
    QTRY_VERIFY(editor.isNull());
    QVERIFY(dialog);
    QVERIFY(dialog->isVisible());
    QVERIFY(dialog->testAttribute(Qt::WA_QuitOnClose));
}

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
