#include "platform.h"
#include "services.h"

namespace runtime {

namespace {
Launcher* g_launcher = nullptr;
Registry* g_registry = nullptr;
} // namespace

Launcher& launcher() { return g_launcher ? *g_launcher : platform::nativeLauncher(); }

void setLauncher(Launcher* launcher) { g_launcher = launcher; }

Registry& registry() { return g_registry ? *g_registry : platform::nativeRegistry(); }

void setRegistry(Registry* registry) { g_registry = registry; }

} // namespace runtime
