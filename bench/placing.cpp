// What placing a text in the editor costs in memory, beside Open's estimate of it: for each shape
// of text (many short lines, one long line, tabs, no spaces) a child process places it in the
// editor's text box and reports how far its address space grew at the peak, which is what a
// limit such as `ulimit -v` holds it to. Open refuses a text whose estimate exceeds the memory
// left, so the estimate must not fall below the measure, nor rise far above it.
#include <frmeditor.h>

#include <QApplication>
#include <QFile>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTest>

#include <cstdio>
#include <cstring>

namespace {

// `count` times `unit`: as lines, each ended by CR LF as Open leaves them, or as one line.
struct Shape {
    const char* name;
    const char* unit;
    long count;
    bool oneLine;
};

const Shape kShapes[] = {
    { "4,000,000 lines of one letter (8 MB)", "x", 4'000'000, false },
    { "1,000,000 empty lines", "", 1'000'000, false },
    { "500,000 lines of 8 tabs", "\t\t\t\t\t\t\t\t", 500'000, false },
    { "200,000 source lines of 40 characters", " ld a,b   ; comment here too xx  xxxx x", 200'000,
        false },
    { "one line of 4 MiB of words", "nop ", 1'048'576, true },
    { "one line of 1 MiB of tabs", "\t", 1'048'576, true },
    { "one line of 1 MiB of tab, space", "\t ", 524'288, true },
    { "one line of 5 MiB without a space", "A", 5'242'880, true },
};

long statusKib(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly | QIODevice::Text);
    for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine()) {
        if (line.startsWith(field))
            return line.mid(std::strlen(field)).trimmed().split(' ').first().toLong();
    }
    return -1;
}

QString textOf(const Shape& shape)
{
    const QString unit = QString::fromLatin1(shape.unit);
    QString text;
    text.reserve((unit.size() + 2) * shape.count);
    for (long i = 0; i < shape.count; ++i) {
        text += unit;
        if (!shape.oneLine)
            text += QLatin1String("\r\n");
    }
    return text;
}

// Prints the estimate and the peak growth, in bytes.
int placeChild(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QString text = textOf(kShapes[std::atoi(argv[2])]);
    editor::frmEditor window;
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        std::puts("the editor window was not shown");
    window.setText(QStringLiteral("x")); // the font rule, before the text as at Open
    QCoreApplication::processEvents();
    const long before = statusKib("VmSize:");
    if (statusKib("VmPeak:") > before + 1024)
        std::puts("the peak before placing is above the size: the growth may be too small");
    window.setText(text);
    window.x->repaint();
    QCoreApplication::processEvents();
    std::printf("%lld %ld\n", editor::placingCost(text), (statusKib("VmPeak:") - before) * 1024);
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc > 2 && QByteArray(argv[1]) == "place")
        return placeChild(argc, argv);
    QCoreApplication app(argc, argv);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // One heap: another thread's first allocation would reserve 64 MiB of address space that
    // placing neither needs nor is refused for, and show as a peak of its own.
    environment.insert(QStringLiteral("MALLOC_ARENA_MAX"), QStringLiteral("1"));
    for (int i = 0; i < int(std::size(kShapes)); ++i) {
        QProcess child;
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(), { "place", QString::number(i) });
        child.waitForFinished(600'000);
        const QList<QByteArray> figures
            = child.readAllStandardOutput().trimmed().split('\n').last().split(' ');
        const double estimate = figures.value(0).toDouble() / 1048576;
        const double measured = figures.value(1).toDouble() / 1048576;
        std::printf("placing %s, MiB: Brindlehof's estimate %.1f, toolkit %.1f (peak growth of the "
                    "address space while the text box places it), ratio %.2f\n",
            kShapes[i].name, estimate, measured, estimate / measured);
        std::fflush(stdout);
    }
    return 0;
}
