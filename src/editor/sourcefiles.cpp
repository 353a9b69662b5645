// New, Open and Save: the editor text to and from source files.
#include "frmeditor.h"

namespace editor {

void frmEditor::newClicked() { }

void frmEditor::openClicked() { }

void frmEditor::saveClicked() { }

} // namespace editor
