// Open then Save in the real editor, on any bytes made into CR LF lines: the saved file holds
// the same bytes, whatever they are in Windows-1252.
#include "fakes.h"

#include <frmeditor.h>

#include <cstdlib>

using namespace Qt::StringLiterals;

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    new QApplication(*argc, *argv); // never destroyed, as the editor below: both last the run
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    static const QTemporaryDir dir(u"/dev/shm/brindlehof-fuzz-XXXXXX"_s);
    static auto* const window = new editor::frmEditor;
    static auto* const dialogs = new ScriptedDialogs;
    QByteArray lines(reinterpret_cast<const char*>(bytes), qsizetype(size));
    lines.replace('\r', '\n').replace("\n", "\r\n"); // every CR and LF a CR LF, and one at the end
    if (!lines.isEmpty() && !lines.endsWith("\r\n"))
        lines.append("\r\n");
    if (!writeFile(dir.filePath(u"in.z80"_s), lines))
        std::abort();
    window->new_->trigger();
    dialogs->prompts.clear();
    dialogs->answers = QStringList { dir.filePath(u"in"_s), dir.filePath(u"out"_s) };
    window->open->trigger();
    window->save->trigger();
    if (!dialogs->messages.isEmpty()
        || fileBytes(dir.filePath(u"out.z80"_s)) != (lines.isEmpty() ? "\r\n" : lines))
        std::abort();
    QCoreApplication::processEvents(); // or the events each run posts pile up
    return 0;
}
