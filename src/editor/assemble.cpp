// Print and Compile: the editor text to the printer, and the assembler script on a source.
#include "frmeditor.h"

#include <runtime.h>
#include <services.h>

namespace editor {

// The text and a line end go into the printer's document, which stays open for the next Print
// and reaches the printer when the program ends.
void frmEditor::printClicked()
{
    const runtime::WaitCursor wait;
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
