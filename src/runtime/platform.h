// What each platform file provides to the portable part of the runtime layer. Private.
#pragma once

#include "services.h"

#include <QFile>

class QWidget;

namespace runtime::platform {

Launcher& nativeLauncher();

// Forces what was written to `file` onto the disk; false when the system reports a failure.
bool syncToDisk(QFileDevice& file);

// The file `path` names once every symbolic link on the way is followed as the system follows
// it, linked folders included, so that ".." after one leaves the folder it leads to. The file
// may not exist yet. A loop of links is refused with error 75.
QString followLinks(const QString& path);
// The links Linux follows before it gives up on a path; Windows is held to the same.
inline constexpr int kMaxLinks = 40;

// What makes a file that file beyond its bytes, kept by Save.
// False when a new file renamed over the one at `path` would part from it: another hard link
// would keep the old bytes. Raises error 70 for a file the system marks read-only.
bool replaceKeepsIdentity(const QString& path);
// Gives `replacement` the owner, group and mode of the file at `path`, read-only included, and
// its extended attributes (access lists among them); false when it cannot be given them all.
// Nothing to give when there is no such file.
bool giveIdentity(const QString& path, QFileDevice& replacement);
// Reserves room on the disk for the first `size` bytes of `file`; false when there is none.
bool reserveSpace(QFileDevice& file, qint64 size);
// Puts `bytes` in place of the open `file` the system's own way, where it has one that keeps
// what makes the file that file. Failed leaves the file as it was; InPlace, open again, says that
// it is to be written in place instead.
enum class Replacement { Done, InPlace, Failed };
Replacement replaceWhole(QFile& file, const QByteArray& bytes);

Registry& nativeRegistry();

// Keeps `window`, a dialog, out of the task bar while it still keeps the program running.
void skipTaskBar(QWidget* window);

// Makes the fonts shipped with the program, if any, usable by this process alone.
void loadShippedFonts();

} // namespace runtime::platform
