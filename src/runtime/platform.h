// What each platform file provides to the portable part of the runtime layer. Private.
#pragma once

#include "services.h"

#include <QFileDevice>

namespace runtime::platform {

Launcher& nativeLauncher();

// Forces what was written to `file` onto the disk; false when the system reports a failure.
bool syncToDisk(QFileDevice& file);

Registry& nativeRegistry();

} // namespace runtime::platform
