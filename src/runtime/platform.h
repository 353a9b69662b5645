// What each platform file provides to the portable part of the runtime layer. Private.
#pragma once

#include "services.h"

namespace runtime::platform {

Launcher& nativeLauncher();

Registry& nativeRegistry();

} // namespace runtime::platform
