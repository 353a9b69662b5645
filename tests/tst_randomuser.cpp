// A random user of the real menus and prompts; BRINDLEHOF_ACTIONS, BRINDLEHOF_SEED replay a run.
#include "fakes.h"

#include <frmabout.h>
#include <frmeditor.h>

#include <QClipboard>
#include <QInputDialog>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QRegularExpression>

using namespace Qt::StringLiterals;

// Typed: some only above 0x7F in Windows-1252, some not in it at all; the line breaks only pasted.
const QString kTyped = u"aZ0 ;\t,\u00e9\u20ac\u00ff\u201a\u00a0\u2192\u4e2d\r\n"_s;
const QStringList kNames { u"a"_s, u"b c"_s, u"-n"_s, u"$(touch x)"_s, u"d"_s, u"sub/../a"_s,
    u"missing"_s, u""_s, QString() }; // "" is confirmed empty, the null one cancelled

// The editor text as Save writes it; none when a character has no byte in Windows-1252.
static std::optional<QByteArray> saved(QString text)
{
    if (text.contains(QRegularExpression(u"[^\\x00-\\x7f\\xa0-\\xff\\x{20ac}\\x{201a}]"_s)))
        return {};
    text.replace(u'\u20ac', QChar(0x80)).replace(u'\u201a', QChar(0x82));
    return (text.endsWith(u"\r\n") ? text.chopped(2) : text).toLatin1() + "\r\n";
}

class TestRandomUser : public QObject {
    Q_OBJECT
private slots:
    void everyActionLeavesTheEditorWholeAndEverySaveExact();
};

void TestRandomUser::everyActionLeavesTheEditorWholeAndEverySaveExact()
{
    const int actions = qEnvironmentVariable("BRINDLEHOF_ACTIONS", u"300"_s).toInt();
    const QString random32 = QString::number(QRandomGenerator::global()->generate());
    const quint32 seed = qEnvironmentVariable("BRINDLEHOF_SEED", random32).toUInt();
    qInfo("BRINDLEHOF_SEED=%u BRINDLEHOF_ACTIONS=%d", seed, actions);
    QRandomGenerator random(seed);

    QTemporaryDir dir;
    QVERIFY(QDir::setCurrent(dir.path()) && QDir().mkdir(u"d.z80"_s));
    QVERIFY(writeFile(u"asm.bat"_s, "echo >>ran\n")); // a line in "ran" at each Compile
    runtime::setPrinterPdfFile(dir.filePath(u"printed.pdf"_s));
    editor::frmEditor editor;
    editor.show();
    editor.setMinimumSize(0, 0);
    QVERIFY(QTest::qWaitForWindowExposed(&editor));

    // Each box, the editor's and wide enough for its title, gets the next answer or OK.
    QStringList answers, messages;
    QTimer user;
    connect(&user, &QTimer::timeout, this, [&] {
        QWidget* box = QApplication::activeModalWidget();
        const bool wellMade = !box || (box->parentWidget() == &editor
            && box->width() > box->fontMetrics().horizontalAdvance(box->windowTitle()) + 100);
        if (auto* input = qobject_cast<QInputDialog*>(box)) {
            const QString answer = answers.isEmpty() ? QString() : answers.takeFirst();
            QTest::keyClicks(input->findChild<QLineEdit*>(), answer);
            QTest::keyClick(input, answer.isNull() ? Qt::Key_Escape : Qt::Key_Return);
        } else if (auto* message = qobject_cast<QMessageBox*>(box)) {
            messages.append(message->text());
            QTest::keyClick(message, Qt::Key_Return);
        }
        QVERIFY(wellMade); // once answered: a box left open would hold the run to its time limit
    });
    user.start(1);
    const auto randomText = [&](bool lineBreaks) {
        QString text;
        for (int n = random.bounded(1, 9); n > 0; --n)
            text += kTyped[random.bounded(int(kTyped.size()) - (lineBreaks ? 0 : 2))];
        return text;
    };
    const QList<QKeyCombination> keys { Qt::Key_Return, Qt::SHIFT | Qt::Key_Return,
        Qt::Key_Backspace, Qt::Key_Left, Qt::CTRL | Qt::Key_Z, Qt::CTRL | Qt::Key_A };

    const QList<QAction*> commands { editor.new_, editor.open, editor.print, editor.asfd };
    QList<int> done(12); // actions of each kind
    QRect box = editor.x->geometry();
    for (int action = 0; action < actions; ++action) {
        const QString name = kNames[random.bounded(int(kNames.size()))];
        answers = { name };
        // clang-format off
        const int kind = random.bounded(int(done.size())); ++done[kind];
        switch (kind) {
        case 0: case 1: case 2: // a key, or characters sent as typed, which keyClicks cannot
            if (random.bounded(3) == 0)
                QTest::keySequence(editor.x, keys[random.bounded(int(keys.size()))]);
            else for (const QChar c : randomText(false))
                QTest::sendKeyEvent(QTest::Press, editor.x, Qt::Key(0), QString(c), {});
            break;
        case 3: QApplication::clipboard()->setText(randomText(true));
            QTest::keyClick(editor.x, Qt::Key_V, Qt::ControlModifier); break;
        case 4: case 5: case 6: case 7: commands[kind - 4]->trigger(); break;
        case 8: {
            const QByteArray before = fileBytes(name + u".z80"_s);
            const auto expected = saved(editor.text());
            messages.clear(); editor.save->trigger();
            const bool kept = name.isEmpty() || !messages.isEmpty(); // cancelled, or refused
            QVERIFY2(kept || expected, qPrintable(editor.text()));
            QCOMPARE(fileBytes(name + u".z80"_s), kept ? before : *expected);
            break; }
        case 9: editor.about->trigger();
            for (QWidget* about : QApplication::topLevelWidgets())
                if (qobject_cast<about::frmAbout*>(about) && random.bounded(2))
                    random.bounded(2) ? about->showMinimized() : (void)about->close();
            break;
        case 10: { // down to a pixel or so, half the time
            const auto size = [&](int n) { return 1 + random.bounded(random.bounded(2) ? 20 : n); };
            editor.showNormal(), editor.resize(size(900), size(700)); break; }
        default: random.bounded(2) ? editor.showMinimized() : editor.showNormal();
        } // clang-format on
        QCoreApplication::processEvents();
        // After a prompt, with no window manager to hand it back, the focus is in the text again.
        if ((kind == 5 || kind == 7 || kind == 8) && !editor.isMinimized())
            QTRY_COMPARE(QApplication::focusWidget(), editor.x);
        // The box keeps a 100-twip margin, or stays as it was when the client is too small.
        const float width = runtime::pixelsToTwipsX(editor.centralWidget()->width()) - 200;
        const float height = runtime::pixelsToTwipsY(editor.centralWidget()->height()) - 200;
        if (!editor.isMinimized() && width >= 0 && height >= 0)
            box = runtime::twipsRect(100, 100, width, height);
        QCOMPARE(editor.x->geometry(), box);
    }
    QTRY_COMPARE_WITH_TIMEOUT(fileBytes(u"ran"_s).count('\n'), done[7], 20000);
    runtime::runProgramEndHooks(); // the printed document goes out as the program ends
    QCOMPARE(fileBytes(u"printed.pdf"_s).startsWith("%PDF"), done[6] > 0);
}

QTEST_MAIN(TestRandomUser)
#include "tst_randomuser.moc"
