// The About dialog from the editor, and its System Info: the registry, what starts, find a file;
// the program's end, which About may outlive.
#include "fakes.h"

#include <frmabout.h>
#include <frmeditor.h>

#include <QBitmap>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringEncoder>
#include <QWindow>

#include <new>
#include <stdexcept>

using about::frmAbout;
using runtime::kHKeyLocalMachine;
using runtime::twipsRect;
using namespace Qt::StringLiterals;

namespace {

constexpr auto kMsinfo = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";

// A REGEDIT4 file whose location 1, in capitals, holds `lines`.
QByteArray location1(const QByteArray& lines)
{
    return "REGEDIT4\n[HKEY_LOCAL_MACHINE\\" + QByteArray(kMsinfo).toUpper() + "]\n" + lines + '\n';
}

} // namespace

class TestAbout : public QObject {
    Q_OBJECT

private slots:
    void oneModelessDialogThatOnlyOkOrItsFrameEnds()
    {
        const CountingRegistry registry(runtime::parseRegFile("")); // no System Info program
        ScriptedDialogs dialogs;
        auto editorWindow = std::make_unique<editor::frmEditor>();
        editorWindow->show();
        const auto showAbout = [&editorWindow] {
            editorWindow->about->trigger();
            QWidgetList found = QApplication::topLevelWidgets();
            found.removeIf([](QWidget* window) { return !qobject_cast<frmAbout*>(window); });
            return found.size() == 1 ? static_cast<frmAbout*>(found.first()) : nullptr;
        };
        QPointer<frmAbout> dialog = showAbout();
        QCOMPARE(dialog->cmdOK(0)->geometry(), twipsRect(4245, 2625, 1260, 345));
        QCOMPARE(dialog->findChild<QPushButton*>(u"cmdSysInfo"_s), dialog->cmdSysInfo(0));
        QCOMPARE(dialog->lblVersion(0)->geometry(), twipsRect(-720, 240, 3885, 225));
        QCOMPARE(dialog->Line1(0)->geometry().bottom(), twipsRect(0, 2460, 0, 0).y() + 1); // 2 px
        // The banner counts from inside its sunken frame; the icon's box fits its 32 x 32 picture.
        QCOMPARE(
            dialog->findChild<QFrame*>(u"Picture1"_s)->geometry(), twipsRect(600, 840, 4695, 1335));
        QCOMPARE(dialog->findChild<QLabel*>(u"Label1"_s)->geometry(),
            twipsRect(600, 120, 3135, 1095).translated(dialog->Picture1->contentsRect().topLeft()));
        QCOMPARE(dialog->picIcon(0)->contentsRect(), QRect(2, 2, 32, 32)); // within a sunken edge
        const QImage banner = dialog->Label1->grab().toImage(); // its lines one below another
        const QImage ink = banner.createMaskFromColor(banner.pixel(0, 0));
        QVERIFY(QRegion(QBitmap::fromImage(ink)).boundingRect().bottom() > banner.height() / 2);
        QCOMPARE(dialog->picIcon(0)->pos(), twipsRect(120, 120, 0, 0).topLeft());

        // Off the task bar, outliving the editor (below): a tool window or a hidden window's.
        const QWindow* owner = dialog->windowHandle()->transientParent();
        QCOMPARE(dialog->windowType(), owner && !owner->isVisible() ? Qt::Dialog : Qt::Tool);
        dialog->showMinimized();
        QCOMPARE(showAbout(), dialog);
        QVERIFY(!dialog->isMinimized());
        dialog->lblTitle(0)->setText(u"changed"_s);
        QTRY_VERIFY(dialog->cmdOK(0)->hasFocus());
        QVERIFY(!dialog->cmdOK(0)->isDefault() && !dialog->cmdSysInfo(0)->isDefault());
        QTest::keyClick(dialog->cmdOK(0), Qt::Key_Escape);
        QVERIFY(dialog && dialog->isVisible());
        QTest::keyClick(dialog->cmdOK(0), Qt::Key_Tab);
        QTest::keyClick(dialog->cmdSysInfo(0), Qt::Key_Return);
        QCOMPARE(dialogs.messages.join('|'), "System Information Is Unavailable At This Time");
        QVERIFY(dialog->isVisible());
        QTest::keyClick(dialog->cmdSysInfo(0), Qt::Key_Tab);
        QTest::keyClick(dialog->cmdOK(0), Qt::Key_Enter, Qt::KeypadModifier);
        QTRY_VERIFY(dialog.isNull());

        dialog = showAbout();
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        QCOMPARE(dialog->lblTitle(0)->text(), u"Kalvenmark"_s);
        QCOMPARE(dialog->lblTitle(0)->font().pointSize(), 8); // the size its twips were made for
        // Typed through the editor's window, where a modal dialog would hold the keys back.
        for (char key : QByteArray("ld a,1"))
            QTest::keyClick(editorWindow->windowHandle(), key);
        QCOMPARE(editorWindow->x->toPlainText(), u"ld a,1"_s);
        dialog->close(); // as its frame's close button does
        QTRY_VERIFY(dialog.isNull());
    }

    void getKeyValue_data();
    void getKeyValue()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, result);
        QTemporaryDir dir;
        const QString hive = QDir::toNativeSeparators(dir.filePath(u"hive.reg"_s));
        QVERIFY(writeFile(hive, file));
#ifdef Q_OS_WIN
        // The system's own registry, holding what its reg import makes of the same text.
        if (QTest::currentDataTag() == "malformed lines"_ba || file.size() >= 8 << 20)
            QSKIP("the .reg reader's own case");
        QProcess::execute(u"reg"_s, { u"delete"_s, u"HKLM\\"_s + kMsinfo, u"/f"_s });
        QProcess::execute(u"reg"_s, { u"import"_s, hive });
        const CountingRegistry registry(nullptr);
#else
        const CountingRegistry registry(runtime::readRegFile(hive));
#endif
        QString keyVal = u"as passed"_s;
        const int error = errorOf([&] {
            if (!frmAbout().GetKeyValue(kHKeyLocalMachine, kMsinfo, u"PATH"_s, keyVal))
                keyVal.prepend(u"not read: "_s);
        });
        QCOMPARE(error ? u"error %1: "_s.arg(error) + keyVal : keyVal, result);
        QCOMPARE(registry.open, 0); // closed on every path
    }

    // As Windows: no key name over 255 characters or key deeper than 512 levels (once quadratic).
    void keysStopWhereWindowsStops()
    {
        for (const auto& [levels, length] :
            { std::pair(512, 1), { 513, 1 }, { 32000, 1 }, { 1, 255 }, { 1, 256 } }) {
            const QByteArray key = QByteArrayList(levels, QByteArray(length, 'k')).join('\\');
            const auto hive = runtime::parseRegFile("REGEDIT4\n[HKEY_LOCAL_MACHINE\\" + key + ']');
            runtime::RegKey handle = 0;
            QCOMPARE(hive->openKey(kHKeyLocalMachine, key, runtime::kKeyRead, &handle)
                    == runtime::kRegSuccess,
                levels <= 512 && length <= 255);
        }
    }

    void startSysInfo_data()
    {
        QTest::addColumn<QByteArray>("hive");
        QTest::addColumn<QStringList>("launched");
        const QByteArray folder = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools "
                                  "Location]\n\"MSINFO\"=\"%DIR%\"\n";
        QTest::newRow("neither location") << QByteArray() << QStringList();
        QTest::newRow("location 1, as it stands, before location 2")
            << location1("\"PATH\"=\"/opt/sys info/tool -x\"") + folder
            << QStringList({ "/opt/sys info/tool -x" });
        QTest::newRow("location 2 holding MSINFO32.EXE")
            << "REGEDIT4\n" + folder << QStringList({ "%DIR%\\MSINFO32.EXE" });
        QTest::newRow("a launch that fails: another type at location 1, an empty path")
            << location1("\"PATH\"=hex:01") + folder << QStringList({ "" });
    }

    void startSysInfo()
    {
        QFETCH(QByteArray, hive);
        QFETCH(QStringList, launched);
        QTemporaryDir dir;
        QVERIFY(QFile(dir.filePath(u"msinfo32.exe"_s)).open(QIODevice::WriteOnly));
        const CountingRegistry registry(
            runtime::parseRegFile(hive.replace("%DIR%", dir.path().toLocal8Bit())));
        RecordingLauncher launcher;
        ScriptedDialogs dialogs;
        frmAbout().cmdSysInfo(0)->click();
        QCOMPARE(launcher.programs, launched.replaceInStrings(u"%DIR%"_s, dir.path()));
        QVERIFY(launcher.commandLines.isEmpty()); // a program path, never split as a command line
        QVERIFY(!launcher.styles.contains(runtime::WindowStyle::Minimized));
        QCOMPARE(dialogs.messages.size(), launched.value(0).isEmpty() ? 1 : 0);
        QCOMPARE(registry.open, 0);
    }

    void findFileMatchesNormalFilesAsWindowsDoes()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath(u"Sub/folder.exe"_s));
        for (const char* name : { "Sub/Tool.bin", "Sub/.hidden" })
            QVERIFY(QFile(dir.filePath(QString::fromLatin1(name))).open(QIODevice::WriteOnly));
        const QString sub = dir.path() + u"\\SUB\\"_s; // backslashes, the folder in another case
        QCOMPARE(runtime::findFile(sub + u"*.BIN"_s), u"Tool.bin"_s);
        QCOMPARE(runtime::findFile(dir.path() + u"/sub/../SUB/?OO?.bin"_s), u"Tool.bin"_s);
        QCOMPARE(runtime::findFile(sub + u"*.exe"_s), QString()); // a directory is no file
        QCOMPARE(runtime::findFile(sub + u".h*"_s), QString()); // nor is a hidden one
        QCOMPARE(runtime::findFile(u"\\tst_about*"_s), QString()); // in the root, not here
    }

    // Last: Exit at once, or as the last window closes, each end hook once, the loop run out.
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

void TestAbout::getKeyValue_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("result"); // the text read, or why there is none
    const QString unread = u"not read: "_s;
    QTest::newRow("string with its NUL")
        << location1(R"("PATH"="C:\\Tools \"x\"")") << "C:\\Tools \"x\"";
    QTest::newRow("string without its NUL, over lines")
        << location1("\"path\"=hex(1):68,65,6c,\\\n  6c,6f") << "hello";
    QTest::newRow("of no bytes") << location1("\"PATH\"=hex(1):") << "error 5: as passed";
    QTest::newRow("dword as decimal") << location1("\"PATH\"=dword:80000102") << "2147483906";
    QTest::newRow("another type leaves the text") << location1("\"PATH\"=hex:01,02") << "as passed";
    const auto ofLength = [](int n) { return location1("\"PATH\"=\"" + QByteArray(n, 'a') + '"'); };
    QTest::newRow("1023 characters and NUL fit") << ofLength(1023) << QString(1023, u'a');
    QTest::newRow("1024 characters and NUL do not fit") << ofLength(1024) << unread;
    QTest::newRow("missing key") << QByteArray("REGEDIT4\n") << unread;
    const auto ofSize = [](int n) { return location1("\"PATH\"=\"x\"\n;").leftJustified(n, ' '); };
    QTest::newRow("8 MiB") << ofSize(8 << 20) << "x";
    QTest::newRow("8 MiB and a byte") << ofSize((8 << 20) + 1) << unread;
    QTest::newRow("the hive shipped") << fileBytes(BRINDLEHOF_SHIPPED_HIVE) << "/usr/bin/hardinfo";

    const QString v5 = u"Windows Registry Editor Version 5.00\r\n"_s
        + QString::fromLatin1(location1("\"PATH\"=hex(1):63,00,61,00,66,00,e9,00,00,00").mid(8));
    QStringEncoder utf16(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom);
    QTest::newRow("version 5, in UTF-16 with a BOM") << QByteArray(utf16(v5)) << u"caf\u00e9"_s;

    // Bad lines are skipped, taking no good line with them; the last good value wins.
    const QByteArrayList lines { QByteArray("\x00\xff\"\\[", 5), R"("PATH"="old")", R"("X"="abc\)",
        R"("PATH"="ok")", R"("PATH"="abc)", R"("PATH"="abc"x)", R"("PATH"="C:\dir")",
        R"("PATH"=dword:123456789)", R"("PATH"=hex(1):41,4g)", R"("PATH"=hex(1):414)",
        R"("PATH"=hex(12:41)", R"("PATH" "x")", R"(PATH="x")" };
    QTest::newRow("malformed lines") << location1(lines.join('\n')) << "ok";
    QTest::newRow("unknown header") << "REGEDIT5" + location1("\"PATH\"=\"x\"").mid(8) << unread;
    QTest::newRow("a backslash line first") << "\\\n" + location1("\"PATH\"=\"x\"") << unread;
    QTest::newRow("unknown root") << location1("[HKEY_NOWHERE\\X]\n\"PATH\"=\"x\"") << unread;
    QTest::newRow("deleted key") << location1("\"PATH\"=\"x\"").replace("[H", "[-H") << unread;
}

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
