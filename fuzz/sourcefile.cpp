// Open then Save in the real editor, on any bytes made into CR LF lines: the saved file holds
// the same bytes, whatever they are in Windows-1252.
#include "fakes.h"

#include <frmeditor.h>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    new QApplication(*argc, *argv); // never destroyed, as the editor below: both last the run
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    static const QTemporaryDir dir(QStringLiteral("/dev/shm/brindlehof-fuzz-XXXXXX"));
    static auto* const window = new editor::frmEditor;
    static ScriptedDialogs dialogs;
    // Each CR and LF a CR LF, and one line end more, so that the file ends with one.
    QByteArray lines(reinterpret_cast<const char*>(bytes), qsizetype(size));
    lines.append('\n').replace('\r', '\n').replace("\n", "\r\n");
    if (!writeFile(dir.filePath("in.z80"), lines))
        std::abort();
    dialogs.answers = QStringList { dir.filePath("in"), dir.filePath("out") };
    window->new_->trigger(), window->open->trigger(), window->save->trigger(); // New: no old text
    if (!dialogs.messages.isEmpty() || fileBytes(dir.filePath("out.z80")) != lines)
        std::abort();
    QCoreApplication::processEvents(); // or the events each run posts pile up
    return 0;
}
