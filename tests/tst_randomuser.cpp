// A random user: a seeded walk through the editor's menus and real prompts. After every action
// the program is alive and the layout rule holds; after every Save the file holds the editor
// text of that moment in Windows-1252 with CR LF, or the refusal was shown and the file is as
// it was. BRINDLEHOF_ACTIONS sets how many actions, BRINDLEHOF_SEED replays a run.
#include "fakes.h"

#include <frmabout.h>
#include <frmeditor.h>

#include <QClipboard>
#include <QDir>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// What the user types: some of it Windows-1252 holds only above 0x7F, some not at all.
const QString kTyped = u"aZ0 ;\t,\u00e9\u20ac\u00ff\u201a\u00a0\u2192\u4e2d"_s;
const QStringList kNames { u"a"_s, u"b c"_s, u"-n"_s, u"$(touch x)"_s, u"d"_s, u"sub/../a"_s,
    u"missing"_s, u""_s, QString() }; // "" is confirmed empty, the null one cancelled

// The editor text as Save writes it; none when a character has no byte in Windows-1252.
std::optional<QByteArray> saved(QStringView text)
{
    QByteArray bytes;
    for (const QChar ch : text.endsWith(u"\r\n") ? text.chopped(2) : text) {
        const char16_t c = ch.unicode();
        const bool latin1 = c < 0x80 || (c >= 0xa0 && c <= 0xff);
        if (!latin1 && c != u'\u20ac' && c != u'\u201a')
            return {};
        bytes += char(c == u'\u20ac' ? 0x80 : c == u'\u201a' ? 0x82 : c);
    }
    return bytes + "\r\n";
}

QtMessageHandler g_messages = nullptr;

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(none)");
}

} // namespace

class TestRandomUser : public QObject {
    Q_OBJECT

private slots:
    void everyActionLeavesTheEditorWholeAndEverySaveExact();
};

void TestRandomUser::everyActionLeavesTheEditorWholeAndEverySaveExact()
{
    const auto given = [](const char* name, quint32 otherwise) {
        return qEnvironmentVariable(name, QString::number(otherwise)).toUInt();
    };
    const quint32 seed = given("BRINDLEHOF_SEED", QRandomGenerator::global()->generate());
    const int actions = int(given("BRINDLEHOF_ACTIONS", 300));
    qInfo("BRINDLEHOF_SEED=%u BRINDLEHOF_ACTIONS=%d", seed, actions);
    QRandomGenerator random(seed);
    // The offscreen platform cannot raise a window or pass on size hints, and says so each time.
    g_messages = qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext& at, const QString& text) {
            if (!text.startsWith(u"This plugin does not support"))
                g_messages(type, at, text);
        });

    QTemporaryDir dir;
    QVERIFY(QDir::setCurrent(dir.path()) && QDir().mkdir(u"d.z80"_s));
    QFile script(u"asm.bat"_s); // records each Compile: one line of its arguments
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write("printf '%s\\n' \"$*\" >>compiled\n");
    script.close();
    runtime::setPrinterPdfFile(dir.filePath(u"printed.pdf"_s));
    editor::frmEditor editor;
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));

    // Each box is answered as it comes up: a prompt with the next answer, a message with OK.
    QStringList answers;
    QStringList messages;
    QTimer user;
    connect(&user, &QTimer::timeout, this, [&] {
        QWidget* box = QApplication::activeModalWidget();
        if (auto* input = qobject_cast<QInputDialog*>(box)) {
            const QString answer = answers.isEmpty() ? QString() : answers.takeFirst();
            QTest::keyClicks(input->findChild<QLineEdit*>(), answer);
            QTest::keyClick(input, answer.isNull() ? Qt::Key_Escape : Qt::Key_Return);
        } else if (auto* message = qobject_cast<QMessageBox*>(box)) {
            messages.append(message->text());
            QTest::keyClick(message, Qt::Key_Return);
        }
    });
    user.start(1);
    const auto randomText = [&](bool lineBreaks) {
        QString text;
        for (int n = random.bounded(1, 9); n > 0; --n) {
            const int pick = random.bounded(int(kTyped.size()) + (lineBreaks ? 3 : 0));
            const QStringList breaks { u"\r\n"_s, u"\n"_s, u"\r"_s };
            text += pick < kTyped.size() ? QString(kTyped[pick]) : breaks[pick - kTyped.size()];
        }
        return text;
    };
    // A key that edits, Shift+Return and Ctrl+Z among them, or characters typed.
    const QList<QPair<Qt::Key, Qt::KeyboardModifier>> keys { { Qt::Key_Return, {} },
        { Qt::Key_Return, Qt::ShiftModifier }, { Qt::Key_Backspace, {} }, { Qt::Key_Left, {} },
        { Qt::Key_Z, Qt::ControlModifier }, { Qt::Key_A, Qt::ControlModifier } };
    const auto type = [&] {
        if (random.bounded(3) == 0) {
            const auto [key, modifier] = keys[random.bounded(int(keys.size()))];
            return QTest::keyClick(editor.x, key, modifier);
        }
        for (const QChar c : randomText(false)) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(editor.x, &press);
        }
    };

    QList<int> done(12); // actions of each kind
    QRect box = editor.x->geometry();
    for (int action = 0; action < actions; ++action) {
        const QString name = kNames[random.bounded(int(kNames.size()))];
        answers = { name };
        const qsizetype shown = messages.size();
        const int kind = random.bounded(int(done.size()));
        ++done[kind];
        // clang-format off
        switch (kind) {
        case 0: case 1: case 2: type(); break;
        case 3:
            QApplication::clipboard()->setText(randomText(true));
            QTest::keyClick(editor.x, Qt::Key_V, Qt::ControlModifier);
            break;
        case 4: editor.new_->trigger(); break;
        case 5: editor.open->trigger(); break;
        case 6: {
            const QString path = name + u".z80"_s;
            const QByteArray before = contents(path);
            const auto expected = saved(editor.text());
            editor.save->trigger();
            const bool refused = messages.size() > shown;
            QVERIFY2(name.isEmpty() || expected || refused, qPrintable(editor.text()));
            QCOMPARE(contents(path), name.isEmpty() || refused ? before : *expected);
            break;
        }
        case 7: editor.print->trigger(); break;
        case 8: editor.asfd->trigger(); break;
        case 9:
            editor.about->trigger();
            for (QWidget* about : QApplication::topLevelWidgets()) {
                if (qobject_cast<about::frmAbout*>(about) && random.bounded(2))
                    random.bounded(2) ? about->showMinimized() : (void)about->close();
            }
            break;
        case 10: editor.resize(random.bounded(900), random.bounded(700)); break;
        default: random.bounded(2) ? editor.showMinimized() : editor.showNormal();
        } // clang-format on
        QCoreApplication::processEvents();
        // The box keeps a 100-twip margin, or stays as it was when the client is too small.
        const QWidget* client = editor.centralWidget();
        const float width = runtime::pixelsToTwipsX(client->width()) - 200;
        const float height = runtime::pixelsToTwipsY(client->height()) - 200;
        if (!editor.isMinimized() && width >= 0 && height >= 0)
            box = runtime::twipsRect(100, 100, width, height);
        QCOMPARE(editor.x->geometry(), box);
    }
    qInfo() << "actions of each kind:" << done;
    QTRY_COMPARE_WITH_TIMEOUT(contents(u"compiled"_s).count('\n'), done[8], 20000);
    runtime::runProgramEndHooks(); // the printed document goes out as the program ends
    QCOMPARE(contents(u"printed.pdf"_s).startsWith("%PDF"), done[7] > 0);
}

QTEST_MAIN(TestRandomUser)
#include "tst_randomuser.moc"
