// Open, typing and Save on large sources, each beside the toolkit's own cost of the same work in
// the same run: generated Z80 sources of 1 MB and 10 MB (about 250,000 lines), opened through
// the editor's command and, for the toolkit, read, decoded and placed in a bare text box; one
// keystroke in each, and one at the end of a single 1 MB line (`long-line` runs that alone); Save
// beside toRawText, one conversion loop and a QSaveFile write; and the peak memory of a child
// process holding the 10 MB source, beside one with the bare text box.
#include "median.h"

#include <frmeditor.h>
#include <runtime.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QProcess>
#include <QSaveFile>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <random>
#include <vector>

namespace {

// ---- A realistic source -----------------------------------------------------------------------

QByteArray instruction(std::mt19937& random, int routine)
{
    static const char* const kForms[] = { "ld a,(ix+%1)", "ld (hl),a", "inc hl", "dec bc",
        "add a,%1", "cp %1", "jr nz,loop%2", "djnz loop%2", "call sub%2", "push bc", "pop de",
        "ld hl,table%2+%1", "and 0Fh", "or a", "ret z", "ex de,hl", "ldir", "out (0FEh),a" };
    QByteArray line = QByteArray("        ") + kForms[random() % std::size(kForms)];
    line.replace("%1", QByteArray::number(int(random() % 128)));
    line.replace("%2", QByteArray::number(routine));
    if (random() % 3 == 0)
        line += QByteArray(std::max<qsizetype>(1, 32 - line.size()), ' ') + "; step "
            + QByteArray::number(int(random() % 1000));
    return line + "\r\n";
}

// Routines of labels, commented instructions and data, CR LF, until `bytes` long.
QByteArray z80Source(qsizetype bytes)
{
    std::mt19937 random(1983);
    QByteArray source;
    source.reserve(bytes + 256);
    for (int routine = 0; source.size() < bytes; ++routine) {
        source += "; ---- routine " + QByteArray::number(routine) + " ----\r\n";
        source += "sub" + QByteArray::number(routine) + ":\r\nloop" + QByteArray::number(routine)
            + ":\r\n";
        for (int i = 0, n = 8 + int(random() % 24); i < n; ++i)
            source += instruction(random, routine);
        source += "        defb 12h,34h,56h,78h,9Ah,0BCh,0DEh,0F0h\r\n        ret\r\n\r\n";
    }
    return source;
}

// ---- Measuring --------------------------------------------------------------------------------

class AnswerName final : public runtime::Dialogs {
public:
    QString name;
    QString prompt(const QString&, const QString&) override { return name; }
    void message(const QString& text) override { std::printf("message: %s\n", qPrintable(text)); }
};

// Time from `act` to the next paint of `box`'s viewport, in milliseconds.
double toPaint(QPlainTextEdit* box, const std::function<void()>& act)
{
    bool painted = false;
    struct Filter : QObject {
        bool* painted;
        bool eventFilter(QObject*, QEvent* event) override
        {
            *painted |= event->type() == QEvent::Paint;
            return false;
        }
    } filter;
    filter.painted = &painted;
    box->viewport()->installEventFilter(&filter);
    QElapsedTimer timer;
    timer.start();
    act();
    while (!painted)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    const double ms = timer.nsecsElapsed() / 1e6;
    box->viewport()->removeEventFilter(&filter);
    return ms;
}

double timed(const std::function<void()>& act)
{
    QElapsedTimer timer;
    timer.start();
    act();
    return timer.nsecsElapsed() / 1e6;
}

void report(const char* what, double ours, double toolkit, const char* toolkitWork)
{
    std::printf("%s: Brindlehof %.1f, toolkit %.1f (%s), ratio %.2f\n", what, ours, toolkit,
        toolkitWork, ours / toolkit);
    std::fflush(stdout);
}

// ---- The two sides ----------------------------------------------------------------------------

std::unique_ptr<editor::frmEditor> shownEditor()
{
    auto window = std::make_unique<editor::frmEditor>();
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get()))
        std::puts("the editor window was not shown");
    return window;
}

// A bare text box like the editor's, in the font the editor's text ends up in.
std::unique_ptr<QPlainTextEdit> shownBareBox(QSize size)
{
    auto box = std::make_unique<QPlainTextEdit>();
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QFont font = box->font();
    font.setPointSize(8);
    font.setBold(true);
    box->setFont(font);
    box->resize(size);
    box->show();
    if (!QTest::qWaitForWindowExposed(box.get()))
        std::puts("the bare text box was not shown");
    return box;
}

void openInEditor(editor::frmEditor& window, AnswerName& dialogs, const QString& path)
{
    dialogs.name = path.chopped(4);
    window.open->trigger();
}

void openInBareBox(QPlainTextEdit& box, const QString& path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    box.setPlainText(QString::fromLatin1(file.readAll()));
}

// The toolkit's Save: the raw text, one loop to 8-bit with CR LF line ends, one QSaveFile.
void saveFromBareBox(const QPlainTextEdit& box, const QString& path)
{
    const QString text = box.document()->toRawText();
    QByteArray bytes(text.size() + text.count(QChar::ParagraphSeparator) + 2, Qt::Uninitialized);
    char* to = bytes.data();
    for (const QChar ch : text) {
        if (ch == QChar::ParagraphSeparator)
            *to++ = '\r';
        *to++ = ch == QChar::ParagraphSeparator ? '\n' : char(ch.unicode());
    }
    to[0] = '\r';
    to[1] = '\n';
    QSaveFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
    file.commit();
}

// ---- Benchmarks -------------------------------------------------------------------------------

void benchOpen(const QString& path, const char* label, int runs, AnswerName& dialogs)
{
    std::vector<double> ours, toolkit;
    for (int run = 0; run < runs; ++run) {
        auto window = shownEditor();
        ours.push_back(toPaint(window->x, [&] { openInEditor(*window, dialogs, path); }));
        auto box = shownBareBox(window->x->size());
        window.reset();
        toolkit.push_back(toPaint(box.get(), [&] { openInBareBox(*box, path); }));
    }
    const QByteArray what = QByteArray("Open ") + label + ", prompt answered to painted, median of "
        + QByteArray::number(runs) + ", ms";
    report(what, median(ours), median(toolkit), "read, decode, setPlainText, first paint");
}

void typeKey(QPlainTextEdit* box)
{
    QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    QApplication::sendEvent(box, &press);
    QApplication::sendEvent(box, &release);
}

void benchTypingAndSave(const QString& path, const QString& dir, AnswerName& dialogs)
{
    auto window = shownEditor();
    openInEditor(*window, dialogs, path);
    auto box = shownBareBox(window->x->size());
    openInBareBox(*box, path);
    QCoreApplication::processEvents();
    for (QPlainTextEdit* edit : { window->x, box.get() }) {
        edit->moveCursor(QTextCursor::Start);
        edit->setFocus();
    }
    constexpr int kKeys = 21;
    const int length = window->x->document()->characterCount();
    std::vector<double> ours, toolkit;
    for (int key = 0; key < kKeys; ++key) {
        ours.push_back(toPaint(window->x, [&] { typeKey(window->x); }));
        toolkit.push_back(toPaint(box.get(), [&] { typeKey(box.get()); }));
    }
    if (window->x->document()->characterCount() != length + kKeys)
        std::puts("the keystrokes did not reach the editor");
    report("one keystroke in 10 MB, to painted, median of 21, µs", median(ours) * 1000,
        median(toolkit) * 1000, "the same insert, no font rule");

    constexpr int kSaves = 5;
    ours.clear();
    toolkit.clear();
    dialogs.name = dir + QStringLiteral("/saved");
    for (int run = 0; run < kSaves; ++run) {
        ours.push_back(timed([&] { window->save->trigger(); }));
        toolkit.push_back(timed([&] { saveFromBareBox(*box, dir + "/bare.z80"); }));
    }
    report("Save of 10 MB, median of 5, ms", median(ours), median(toolkit),
        "toRawText, one conversion loop, QSaveFile");
}

// One keystroke at the end of a single 1 MB line of words, which the text box lays out whole
// each time.
void benchLongLine(const QString& dir, AnswerName& dialogs)
{
    const QString path = dir + QStringLiteral("/line.z80");
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(QByteArray("nop ").repeated(250'000));
    file.close();
    auto window = shownEditor();
    openInEditor(*window, dialogs, path);
    auto box = shownBareBox(window->x->size());
    openInBareBox(*box, path);
    std::vector<double> ours, toolkit;
    // The end of the line, before the editor's final line end.
    for (QPlainTextEdit* edit : { window->x, box.get() }) {
        edit->moveCursor(QTextCursor::Start);
        edit->moveCursor(QTextCursor::EndOfBlock);
        edit->setFocus();
    }
    for (int key = 0; key < 3; ++key) {
        ours.push_back(toPaint(window->x, [&] { typeKey(window->x); }));
        toolkit.push_back(toPaint(box.get(), [&] { typeKey(box.get()); }));
    }
    report("one keystroke at the end of a 1 MB line, to painted, median of 3, ms", median(ours),
        median(toolkit), "the same insert in a bare text box");
}

// ---- Peak memory, in child processes ----------------------------------------------------------

long peakKib()
{
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly | QIODevice::Text);
    for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine()) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

int peakChild(int argc, char* argv[], bool editorSide)
{
    QApplication app(argc, argv);
    const QString path = QString::fromLocal8Bit(argv[2]);
    AnswerName dialogs;
    runtime::setDialogs(&dialogs);
    if (editorSide) {
        auto window = shownEditor();
        toPaint(window->x, [&] { openInEditor(*window, dialogs, path); });
        std::printf("%ld\n", peakKib());
    } else {
        auto box = shownBareBox(QSize(660, 510));
        toPaint(box.get(), [&] { openInBareBox(*box, path); });
        std::printf("%ld\n", peakKib());
    }
    return 0;
}

double childPeakMib(const char* side, const QString& path)
{
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), { QString::fromLatin1(side), path });
    child.waitForFinished(120000);
    return child.readAllStandardOutput().trimmed().toDouble() / 1024;
}

void benchPeak(const QString& path)
{
    std::vector<double> ours, toolkit;
    for (int run = 0; run < 3; ++run) {
        ours.push_back(childPeakMib("peak-editor", path));
        toolkit.push_back(childPeakMib("peak-bare", path));
    }
    report("peak memory with 10 MB open (VmHWM), median of 3, MiB", median(ours),
        median(toolkit), "bare text box holding the same text");
}

QString writeSource(const QTemporaryDir& dir, const char* name, qsizetype bytes)
{
    const QString path = dir.filePath(QString::fromLatin1(name));
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(z80Source(bytes));
    return path;
}

} // namespace

int main(int argc, char* argv[])
{
    const QByteArray mode = argc > 1 ? QByteArray(argv[1]) : QByteArray();
    if (argc > 2 && (mode == "peak-editor" || mode == "peak-bare"))
        return peakChild(argc, argv, mode == "peak-editor");

    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString small = writeSource(dir, "small.z80", 1'000'000);
    const QString large = writeSource(dir, "large.z80", 10'000'000);
    AnswerName dialogs;
    runtime::setDialogs(&dialogs);
    benchLongLine(dir.path(), dialogs);
    if (mode == "long-line") // that one alone
        return 0;
    benchOpen(small, "1 MB", 7, dialogs);
    benchOpen(large, "10 MB", 5, dialogs);
    benchTypingAndSave(large, dir.path(), dialogs);
    benchPeak(large);
    runtime::setDialogs(nullptr);
    return 0;
}
