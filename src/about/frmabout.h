// The About dialog and the system information launcher.
#pragma once

#include <QDialog>

namespace about {

} // namespace about
