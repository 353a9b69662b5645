// What each platform file provides to the portable part of the runtime layer. Private.
#pragma once

#include "services.h"

#include <QFileDevice>

class QWindow;

namespace runtime::platform {

Launcher& nativeLauncher();

// Forces what was written to `file` onto the disk; false when the system reports a failure.
bool syncToDisk(QFileDevice& file);

Registry& nativeRegistry();

// Asks the window manager to leave `window`, a tool window, out of the task bar, where the tool
// window alone does not.
void skipTaskBar(QWindow* window);

} // namespace runtime::platform
