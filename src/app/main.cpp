// Brindlehof: the editor window is the start-up object; the program reads no command line.
#include <frmeditor.h>
#include <runtime.h>

#include <QApplication>

int main(int, char* argv[])
{
    // Qt would take its own options (-style, -reverse, -qwindowtitle ...) from the command line:
    // it sees only the program's name.
    int argc = 1;
    char* arguments[] = { argv[0], nullptr };
    QApplication app(argc, arguments);
    QApplication::setApplicationName(QStringLiteral("Brindlehof"));
    QApplication::setApplicationVersion(QStringLiteral("1.00.0004"));
    // Ties the window to its desktop entry where the window system asks by name (Wayland).
    QGuiApplication::setDesktopFileName(QStringLiteral("org.brindlehof.Brindlehof"));

    auto* editor = new editor::frmEditor;
    editor->setAttribute(Qt::WA_DeleteOnClose);
    editor->show();

    const int status = QApplication::exec();
    // The last window has closed (or End ran): release what is still held, such as a document
    // waiting for the printer.
    runtime::runProgramEndHooks();
    return status;
}
