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
    for (const QChar c : text.endsWith(u"\r\n") ? text.chopped(2) : text) {
        if (c == u'\u20ac' || c == u'\u201a')
            bytes += c == u'\u20ac' ? '\x80' : '\x82';
        else if (c.unicode() < 0x80 || (c.unicode() >= 0xa0 && c.unicode() <= 0xff))
            bytes += char(c.unicode());
        else
            return {};
    }
    return bytes + "\r\n";
}

QtMessageHandler g_messages = nullptr;

// The offscreen platform cannot raise a window or pass on size hints, and says so every time.
void platformLimitsIgnored(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (!text.startsWith(u"This plugin does not support"))
        g_messages(type, context, text);
}

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

private:
    // Answers each box as it comes up: a prompt with the next answer, a message with OK.
    void answerBoxes();
    QString randomText(bool lineBreaks);
    void type();

    QRandomGenerator m_random;
    editor::frmEditor m_editor;
    QStringList m_answers;
    QStringList m_messages;
};

void TestRandomUser::answerBoxes()
{
    QWidget* box = QApplication::activeModalWidget();
    if (auto* input = qobject_cast<QInputDialog*>(box)) {
        const QString answer = m_answers.isEmpty() ? QString() : m_answers.takeFirst();
        QTest::keyClicks(input->findChild<QLineEdit*>(), answer);
        QTest::keyClick(input, answer.isNull() ? Qt::Key_Escape : Qt::Key_Return);
    } else if (auto* message = qobject_cast<QMessageBox*>(box)) {
        m_messages.append(message->text());
        QTest::keyClick(message, Qt::Key_Return);
    }
}

QString TestRandomUser::randomText(bool lineBreaks)
{
    QString text;
    for (int n = m_random.bounded(1, 9); n > 0; --n) {
        const int pick = m_random.bounded(int(kTyped.size()) + (lineBreaks ? 3 : 0));
        text += pick < kTyped.size() ? QString(kTyped[pick])
                                     : QStringList { u"\r\n"_s, u"\n"_s, u"\r"_s }[pick - kTyped.size()];
    }
    return text;
}

void TestRandomUser::type()
{
    static const QList<QPair<int, Qt::KeyboardModifiers>> keys { { Qt::Key_Return, {} },
        { Qt::Key_Return, Qt::ShiftModifier }, { Qt::Key_Backspace, {} }, { Qt::Key_Left, {} },
        { Qt::Key_Home, {} }, { Qt::Key_Z, Qt::ControlModifier }, { Qt::Key_A, Qt::ControlModifier } };
    if (m_random.bounded(3) == 0) {
        const auto [key, modifiers] = keys[m_random.bounded(int(keys.size()))];
        QTest::keyClick(m_editor.x, Qt::Key(key), modifiers);
        return;
    }
    for (const QChar c : randomText(false)) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(m_editor.x, &press);
    }
}

void TestRandomUser::everyActionLeavesTheEditorWholeAndEverySaveExact()
{
    const quint32 seed = qEnvironmentVariableIsSet("BRINDLEHOF_SEED")
        ? qEnvironmentVariableIntValue("BRINDLEHOF_SEED") : QRandomGenerator::global()->generate();
    const int actions = qEnvironmentVariableIsSet("BRINDLEHOF_ACTIONS")
        ? qEnvironmentVariableIntValue("BRINDLEHOF_ACTIONS") : 300;
    qInfo("BRINDLEHOF_SEED=%u BRINDLEHOF_ACTIONS=%d", seed, actions);
    m_random.seed(seed);
    g_messages = qInstallMessageHandler(platformLimitsIgnored);

    QTemporaryDir dir;
    QVERIFY(QDir::setCurrent(dir.path()) && QDir().mkdir(u"d.z80"_s));
    QFile script(u"asm.bat"_s); // records each Compile: one line of its arguments
    QVERIFY(script.open(QIODevice::WriteOnly) && script.write("printf '%s\\n' \"$*\" >>compiled\n"));
    script.close();
    runtime::setPrinterPdfFile(dir.filePath(u"printed.pdf"_s));
    QTimer user;
    connect(&user, &QTimer::timeout, this, &TestRandomUser::answerBoxes);
    user.start(1);
    m_editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&m_editor));

    int compiles = 0;
    int prints = 0;
    int written = 0;
    int refusals = 0;
    QRect box = m_editor.x->geometry();
    for (int action = 0; action < actions; ++action) {
        const QString name = kNames[m_random.bounded(int(kNames.size()))];
        m_answers = { name };
        const qsizetype shown = m_messages.size();
        switch (m_random.bounded(12)) {
        case 0: case 1: case 2: type(); break;
        case 3:
            QApplication::clipboard()->setText(randomText(true));
            QTest::keyClick(m_editor.x, Qt::Key_V, Qt::ControlModifier);
            break;
        case 4: m_editor.new_->trigger(); break;
        case 5: m_editor.open->trigger(); break;
        case 6: {
            const QString path = name + u".z80"_s;
            const QByteArray before = contents(path);
            const auto expected = saved(m_editor.text());
            m_editor.save->trigger();
            const bool refused = m_messages.size() > shown;
            QVERIFY2(name.isEmpty() || expected || refused, qPrintable(m_editor.text()));
            QCOMPARE(contents(path), name.isEmpty() || refused ? before : *expected);
            (refused ? refusals : written) += !name.isEmpty();
            break;
        }
        case 7: m_editor.print->trigger(); ++prints; break;
        case 8: m_editor.asfd->trigger(); ++compiles; break;
        case 9: {
            m_editor.about->trigger();
            const auto windows = QApplication::topLevelWidgets();
            for (QWidget* about : windows) {
                if (qobject_cast<about::frmAbout*>(about) && m_random.bounded(2))
                    m_random.bounded(2) ? about->showMinimized() : (void)about->close();
            }
            break;
        }
        case 10: m_editor.resize(m_random.bounded(900), m_random.bounded(700)); break;
        default:
            m_random.bounded(2) ? m_editor.showMinimized() : m_editor.showNormal();
        }
        QCoreApplication::processEvents();
        QVERIFY(m_editor.isVisible());
        // The box keeps a 100-twip margin, or stays as it was when the client is too small.
        const QWidget* client = m_editor.centralWidget();
        const float width = runtime::pixelsToTwipsX(client->width()) - 200;
        const float height = runtime::pixelsToTwipsY(client->height()) - 200;
        if (!m_editor.isMinimized() && width >= 0 && height >= 0)
            box = runtime::twipsRect(100, 100, width, height);
        QCOMPARE(m_editor.x->geometry(), box);
    }
    QTRY_COMPARE_WITH_TIMEOUT(contents(u"compiled"_s).count('\n'), compiles, 20000);
    qInfo("%d saves written, %d refused, %d compiles, %d prints", written, refusals, compiles,
        prints);
    runtime::runProgramEndHooks(); // the printed document goes out as the program ends
    QCOMPARE(contents(u"printed.pdf"_s).startsWith("%PDF"), prints > 0);
    QVERIFY2(QDir::setCurrent(QDir::tempPath()), "leaving the folder");
}

QTEST_MAIN(TestRandomUser)
#include "tst_randomuser.moc"
