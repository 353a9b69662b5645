// Open then Save in the real editor, on any bytes made into CR LF lines: the saved file holds
// the same bytes, whatever they are in Windows-1252.
#include "fakes.h"

#include <frmeditor.h>

#include <QAction>
#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>

namespace {

struct Session {
    QApplication app;
    QTemporaryDir dir;
    editor::frmEditor window;
    ScriptedDialogs dialogs;
    Session(int* argc, char*** argv)
        : app(*argc, *argv)
        , dir(QStringLiteral("/dev/shm/brindlehof-fuzz-XXXXXX"))
    {
    }
};
Session* g_session = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    g_session = new Session(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    QByteArray lines; // every CR and LF a CR LF, and one at the end
    for (const char byte : QByteArrayView(bytes, qsizetype(size)))
        lines.append(
            byte == '\r' || byte == '\n' ? QByteArrayView("\r\n") : QByteArrayView(&byte, 1));
    if (!lines.isEmpty() && !lines.endsWith("\r\n"))
        lines.append("\r\n");
    const QString in = g_session->dir.filePath(QStringLiteral("in"));
    QFile file(in + QStringLiteral(".z80"));
    if (!file.open(QIODevice::WriteOnly) || file.write(lines) != lines.size())
        std::abort();
    file.close();

    Session& s = *g_session;
    s.window.new_->trigger();
    s.dialogs.prompts.clear();
    s.dialogs.answers = QStringList { in, s.dir.filePath(QStringLiteral("out")) };
    s.window.open->trigger();
    s.window.save->trigger();
    QFile saved(s.dir.filePath(QStringLiteral("out.z80")));
    if (!s.dialogs.messages.isEmpty() || !saved.open(QIODevice::ReadOnly)
        || saved.readAll() != (lines.isEmpty() ? "\r\n" : lines))
        std::abort();
    QCoreApplication::processEvents(); // or the events each run posts pile up
    return 0;
}
