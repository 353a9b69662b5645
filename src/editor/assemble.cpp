// Print and Compile: the editor text to the printer, and the assembler script on a source.
#include "frmeditor.h"

#include <runtime.h>
#include <services.h>

#include <QApplication>
#include <QCursor>

namespace editor {

namespace {

// The wait cursor for as long as it lives, gone again however the command ends.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    Q_DISABLE_COPY_MOVE(WaitCursor)
};

} // namespace

// The text and a line end go into the printer's document, which stays open for the next Print
// and reaches the printer when the program ends.
void frmEditor::printClicked()
{
    const WaitCursor wait;
    runtime::printerOutput(text());
}

// The script is started on the answer as typed, with nothing added or tested, and left to run.
void frmEditor::asfdClicked()
{
    const QString answer = runtime::prompt(
        QStringLiteral("Compilation"), QStringLiteral("Name of Source to Compile"));
    runtime::launcher().launchCommandLine(
        QStringLiteral("asm.bat ") + answer, runtime::WindowStyle::Minimized);
}

} // namespace editor
