// Print and Compile: the editor text to the printer, and the assembler script on a source.
#include "frmeditor.h"

namespace editor {

void frmEditor::printClicked() { }

void frmEditor::asfdClicked() { }

} // namespace editor
