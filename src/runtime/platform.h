// What each platform file provides to the portable part of the runtime layer. Private.
#pragma once

#include "services.h"

#include <QFileDevice>

class QWindow;

namespace runtime::platform {

Launcher& nativeLauncher();

// Forces what was written to `file` onto the disk; false when the system reports a failure.
bool syncToDisk(QFileDevice& file);

// The file `path` names once every symbolic link on the way is followed as the system follows
// it, linked folders included, so that ".." after one leaves the folder it leads to. The file
// may not exist yet. A loop of links is refused with error 75.
QString followLinks(const QString& path);

// What makes a file that file beyond its bytes, kept by Save.
// False when a new file renamed over the one at `path` would part from it: another hard link
// would keep the old bytes.
bool replaceKeepsIdentity(const QString& path);
// Gives `replacement` the owner, group and mode of the file at `path`, read-only included, and
// its extended attributes (access lists among them); false when it cannot be given them all.
// Nothing to give when there is no such file.
bool giveIdentity(const QString& path, QFileDevice& replacement);
// Reserves room on the disk for the first `size` bytes of `file`; false when there is none.
bool reserveSpace(QFileDevice& file, qint64 size);

Registry& nativeRegistry();

// Asks the window manager to leave `window`, a tool window, out of the task bar, where the tool
// window alone does not.
void skipTaskBar(QWindow* window);

} // namespace runtime::platform
