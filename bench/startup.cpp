// Start-up: from process start to the window's first paint, the editor beside a bare window
// with the same menu bar and text box. The parent runs each as a child process ten times and
// reports the medians and their ratio.
#include "median.h"

#include <frmeditor.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProcess>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

class FirstPaint : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && !m_done) {
            m_done = true;
            std::puts("painted");
            std::fflush(stdout);
            QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
        }
        return false;
    }

private:
    bool m_done = false;
};

std::unique_ptr<QMainWindow> bareWindow()
{
    auto window = std::make_unique<QMainWindow>();
    QMenu* file = window->menuBar()->addMenu(QStringLiteral("&File"));
    for (const char* item : { "&New", "-", "-", "&Open", "&Save", "-", "-", "&Print", "E&xit" }) {
        if (item[0] == '-')
            file->addSeparator();
        else
            file->addAction(QString::fromLatin1(item));
    }
    window->menuBar()->addAction(QStringLiteral("&About"));
    window->menuBar()->addAction(QStringLiteral("&Compile"));
    window->setCentralWidget(new QPlainTextEdit);
    window->resize(673, 540);
    return window;
}

int child(int argc, char* argv[], bool editorWindow)
{
    QApplication app(argc, argv);
    std::unique_ptr<QMainWindow> window;
    if (editorWindow)
        window = std::make_unique<editor::frmEditor>();
    else
        window = bareWindow();
    FirstPaint paint;
    window->installEventFilter(&paint);
    window->show();
    return QApplication::exec();
}

double startOnce(const QString& mode)
{
    QProcess process;
    QElapsedTimer timer;
    timer.start();
    process.start(QCoreApplication::applicationFilePath(), { mode });
    while (process.waitForReadyRead(10000)) {
        if (process.readAll().contains("painted"))
            break;
    }
    const double ms = timer.nsecsElapsed() / 1e6;
    process.waitForFinished(5000);
    return ms;
}

} // namespace

int main(int argc, char* argv[])
{
    const QByteArray mode = argc > 1 ? QByteArray(argv[1]) : QByteArray();
    if (mode == "editor" || mode == "bare")
        return child(argc, argv, mode == "editor");

    QCoreApplication app(argc, argv);
    constexpr int kRuns = 10;
    std::vector<double> editor, bare;
    for (int i = 0; i < kRuns; ++i) {
        // Interleaved, so that a busy moment of the machine falls on both alike.
        bare.push_back(startOnce(QStringLiteral("bare")));
        editor.push_back(startOnce(QStringLiteral("editor")));
    }
    const double e = median(editor), b = median(bare);
    std::printf("start-up to first paint, median of %d: editor %.1f ms, bare window %.1f ms, "
                "ratio %.2f\n",
        kRuns, e, b, e / b);
    return 0;
}
