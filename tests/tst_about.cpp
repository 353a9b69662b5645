// The About dialog as a user meets it, and System Info against a registry each test writes.
#include "fakes.h"

#include <frmabout.h>
#include <frmeditor.h>
#include <services.h>

#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using about::frmAbout;

namespace {

// A registry written as a .reg file; it counts the keys left open and can refuse every open.
class ScriptedRegistry final : public runtime::Registry {
public:
    explicit ScriptedRegistry(const QByteArray& body)
        : m_hive(runtime::parseRegFile("REGEDIT4\r\n\r\n" + body))
    {
        runtime::setRegistry(this);
    }
    ~ScriptedRegistry() override { runtime::setRegistry(nullptr); }
    Q_DISABLE_COPY_MOVE(ScriptedRegistry)

    int openKey(runtime::RegKey root, const QByteArray& subKey, std::uint32_t access,
        runtime::RegKey* key) override
    {
        masks.append(access);
        opened.append(QString::fromLocal8Bit(subKey));
        const int result = refuse ? runtime::kRegAccessDenied
                                  : m_hive->openKey(root, subKey, access, key);
        open += result == runtime::kRegSuccess;
        return result;
    }
    int queryValue(runtime::RegKey key, const QByteArray& name, std::uint32_t* type, char* data,
        std::uint32_t* size) override
    {
        return m_hive->queryValue(key, name, type, data, size);
    }
    int closeKey(runtime::RegKey key) override
    {
        const int result = m_hive->closeKey(key);
        open -= result == runtime::kRegSuccess;
        return result;
    }

    QList<std::uint32_t> masks;
    QStringList opened;
    int open = 0;
    bool refuse = false;

private:
    std::unique_ptr<runtime::Registry> m_hive;
};

// Records what would be started; an empty path, or any path when told to, fails to start.
class RecordingLauncher final : public runtime::Launcher {
public:
    RecordingLauncher() { runtime::setLauncher(this); }
    ~RecordingLauncher() override { runtime::setLauncher(nullptr); }
    Q_DISABLE_COPY_MOVE(RecordingLauncher)

    void launchCommandLine(const QString& commandLine, runtime::WindowStyle) override
    {
        commandLines.append(commandLine);
    }
    void launchProgram(const QString& path, runtime::WindowStyle style) override
    {
        programs.append(path);
        normal &= style == runtime::WindowStyle::Normal;
        if (path.isEmpty() || fail)
            runtime::raise(runtime::Error::FileNotFound);
    }

    QStringList programs;
    QStringList commandLines;
    bool normal = true;
    bool fail = false;
};

constexpr auto kLocation1 = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools\\MSINFO]\n";
constexpr auto kLocation2 = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools Location]\n";
constexpr auto kUnavailable = "System Information Is Unavailable At This Time";

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
    void theRuleIsEtchedGreyOverWhite();
    void aboutTwiceShowsOneDialog();
    void okOrTheFrameDestroysItAndTheNextAboutIsFresh();
    void escapeDoesNothing();
    void enterPressesTheFocusedButton();
    void theEditorTakesTypingWhileTheDialogIsUp();
    void theDialogOutlivesTheEditorClosedByItsFrame();

    // ---- GetKeyValue ----
    void getKeyValueReadsAsText_data();
    void getKeyValueReadsAsText();
    void aValueOfNoBytesRaisesAndStillClosesTheKey();
    void aKeyThatRefusesAccessGivesFalse();

    // ---- StartSysInfo ----
    void startSysInfo_data();
    void startSysInfo();

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
    QVERIFY(!(dialog->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QCOMPARE(dialog->size(), twips(0, 0, 5730, 3555).size());
    QCOMPARE(dialog->minimumSize(), dialog->maximumSize());
    QVERIFY(!dialog->isModal());

    QCOMPARE(dialog->lblTitle(0)->text(), QStringLiteral("Kalvenmark"));
    QCOMPARE(dialog->lblVersion(0)->text(), QStringLiteral("Version"));
    QCOMPARE(dialog->lblDisclaimer(1)->text(), QString());
    QCOMPARE(dialog->cmdOK(0)->text(), QStringLiteral("OK"));
    QCOMPARE(dialog->cmdSysInfo(0)->text(), QStringLiteral("&System Info..."));
    const QRegularExpression banner(QStringLiteral("^_{46} {30}Kalvenmark {41}_{44} {26}\\S.{16}\\S$"));
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
    QTest::newRow("lblVersion, left of the client area") << "lblVersion" << twips(-720, 240, 3885, 225);
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

void TestAbout::theRuleIsEtchedGreyOverWhite()
{
    frmAbout* dialog = showAbout();
    QVERIFY(dialog);
    // Label1 counts from inside its frame's edge; the icon's box fits its 32 x 32 picture.
    const QPoint inside = dialog->Picture1->contentsRect().topLeft();
    QCOMPARE(dialog->Label1->geometry(), twips(600, 120, 3135, 1095).translated(inside));
    QCOMPARE(dialog->picIcon(0)->pos(), twips(120, 120, 0, 0).topLeft());

    const QImage image = dialog->grab().toImage();
    const int grey = runtime::twipsToPixelsY(2445);
    const int white = runtime::twipsToPixelsY(2460);
    const QColor background = image.pixelColor(image.width() / 2, grey - 2);
    for (int x : { runtime::twipsToPixelsX(105), image.width() / 2, runtime::twipsToPixelsX(5654) - 1 }) {
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
    QCOMPARE(dialogs.messages, QStringList({ kUnavailable }));
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

void TestAbout::getKeyValueReadsAsText_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("read");
    QTest::addColumn<QString>("text");
    const QString passed = QStringLiteral("as passed");
    const QString key = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
    QTest::newRow("string, its NUL counted") << QByteArray("\"PATH\"=\"C:\\\\Tools\\\\info.exe\"") << key
                                             << true << "C:\\Tools\\info.exe";
    QTest::newRow("string, its NUL not counted") << QByteArray("\"PATH\"=hex(1):68,65,6c,6c,6f") << key
                                                 << true << "hello";
    QTest::newRow("empty string") << QByteArray("\"PATH\"=\"\"") << key << true << "";
    QTest::newRow("32-bit number, not appended to what was passed")
        << QByteArray("\"PATH\"=dword:00000102") << key << true << "258";
    QTest::newRow("32-bit number, high bit set") << QByteArray("\"PATH\"=dword:ffffffff") << key << true
                                                 << "4294967295";
    QTest::newRow("another type leaves the text") << QByteArray("\"PATH\"=hex:01,02") << key << true
                                                  << passed;
    QTest::newRow("1023 characters and NUL fill the buffer")
        << "\"PATH\"=\"" + QByteArray(1023, 'a') + '"' << key << true << QString(1023, u'a');
    QTest::newRow("1024 characters and NUL do not fit")
        << "\"PATH\"=\"" + QByteArray(1024, 'a') + '"' << key << false << "";
    QTest::newRow("missing value") << QByteArray("\"Other\"=\"x\"") << key << false << "";
    QTest::newRow("missing key") << QByteArray("\"PATH\"=\"x\"")
                                 << QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\None")
                                 << false << "";
}

void TestAbout::getKeyValueReadsAsText()
{
    QFETCH(QByteArray, value);
    QFETCH(QString, key);
    QFETCH(bool, read);
    QFETCH(QString, text);
    ScriptedRegistry registry(kLocation1 + value + "\n");
    frmAbout form;
    QString keyVal = QStringLiteral("as passed");
    QCOMPARE(form.GetKeyValue(runtime::kHKeyLocalMachine, key, QStringLiteral("PATH"), keyVal), read);
    QCOMPARE(keyVal, text);
    QCOMPARE(registry.masks, QList<std::uint32_t>({ runtime::kKeyRead }));
    QCOMPARE(registry.open, 0);
}

void TestAbout::aValueOfNoBytesRaisesAndStillClosesTheKey()
{
    ScriptedRegistry registry(QByteArray(kLocation1) + "\"PATH\"=hex(1):\n");
    frmAbout form;
    QString keyVal = QStringLiteral("as passed");
    try {
        form.GetKeyValue(runtime::kHKeyLocalMachine,
            QStringLiteral("software\\microsoft\\shared tools\\msinfo"), QStringLiteral("path"), keyVal);
        QFAIL("no run-time error");
    } catch (const runtime::RuntimeError& error) {
        QCOMPARE(error.number(), 5);
    }
    QCOMPARE(keyVal, QStringLiteral("as passed"));
    QCOMPARE(registry.opened.size(), 1);
    QCOMPARE(registry.open, 0);
}

void TestAbout::aKeyThatRefusesAccessGivesFalse()
{
    ScriptedRegistry registry(QByteArray(kLocation1) + "\"PATH\"=\"/usr/bin/tool\"\n");
    registry.refuse = true;
    frmAbout form;
    QString keyVal = QStringLiteral("as passed");
    QVERIFY(!form.GetKeyValue(runtime::kHKeyLocalMachine,
        QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO"), QStringLiteral("PATH"), keyVal));
    QCOMPARE(keyVal, QString());
}

void TestAbout::startSysInfo_data()
{
    QTest::addColumn<QByteArray>("hive");
    QTest::addColumn<bool>("programInFolder");
    QTest::addColumn<bool>("launchFails");
    QTest::addColumn<QStringList>("launched");
    QTest::addColumn<int>("lookups");
    const QByteArray spaced = QByteArray(kLocation1) + "\"PATH\"=\"/opt/sys info/tool -x\"\n";
    const QByteArray folder = QByteArray(kLocation2) + "\"MSINFO\"=\"%DIR%\"\n";
    const QStringList none;
    QTest::newRow("neither location") << QByteArray() << true << false << none << 2;
    QTest::newRow("location 1, as it stands, before location 2")
        << spaced + folder << true << false << QStringList({ "/opt/sys info/tool -x" }) << 1;
    QTest::newRow("location 2 holding MSINFO32.EXE")
        << folder << true << false << QStringList({ "%DIR%\\MSINFO32.EXE" }) << 2;
    QTest::newRow("location 2 without MSINFO32.EXE") << folder << false << false << none << 2;
    QTest::newRow("a launch that fails")
        << spaced << true << true << QStringList({ "/opt/sys info/tool -x" }) << 1;
    QTest::newRow("location 1 of no bytes: location 2 is not tried")
        << QByteArray(kLocation1) + "\"PATH\"=hex(1):\n" + folder << true << false << none << 1;
    QTest::newRow("location 1 of another type: the empty path fails")
        << QByteArray(kLocation1) + "\"PATH\"=hex:01\n" + folder << true << false
        << QStringList({ "" }) << 1;
}

void TestAbout::startSysInfo()
{
    QFETCH(QByteArray, hive);
    QFETCH(bool, programInFolder);
    QFETCH(bool, launchFails);
    QFETCH(QStringList, launched);
    QFETCH(int, lookups);
    QTemporaryDir dir;
    if (programInFolder) {
        QFile program(dir.filePath(QStringLiteral("msinfo32.exe")));
        QVERIFY(program.open(QIODevice::WriteOnly));
    }
    ScriptedRegistry registry(hive.replace("%DIR%", dir.path().toLocal8Bit()));
    RecordingLauncher launcher;
    launcher.fail = launchFails;
    ScriptedDialogs dialogs;

    frmAbout form;
    form.cmdSysInfo(0)->click();

    launched.replaceInStrings(QStringLiteral("%DIR%"), dir.path());
    QCOMPARE(launcher.programs, launched);
    QVERIFY(launcher.commandLines.isEmpty());
    QVERIFY(launcher.normal);
    const bool started = !launched.isEmpty() && !launched.first().isEmpty() && !launchFails;
    QCOMPARE(dialogs.messages, started ? QStringList() : QStringList({ kUnavailable }));
    QCOMPARE(registry.opened.size(), lookups);
    QCOMPARE(registry.open, 0);
}

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
