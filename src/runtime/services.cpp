#include "platform.h"
#include "services.h"

namespace runtime {

namespace {
Launcher* g_launcher = nullptr;
} // namespace

Launcher& launcher() { return g_launcher ? *g_launcher : platform::nativeLauncher(); }

void setLauncher(Launcher* launcher) { g_launcher = launcher; }

} // namespace runtime
