// Platform services: sequential files, the printer, launching programs, finding files and the
// registry. What differs between platforms lives in platform_posix.cpp or platform_win.cpp.
#pragma once

#include <QString>

namespace runtime {

// ---- Sequential files -------------------------------------------------------------------------

// ---- Printer ----------------------------------------------------------------------------------

// ---- Launching programs -----------------------------------------------------------------------

// Window style of a launched program: 1 a normal window with focus, 2 minimised with focus.
enum class WindowStyle { Normal = 1, Minimized = 2 };

class Launcher {
public:
    virtual ~Launcher() = default;
    // Starts a command line and returns at once; failing to start raises a run-time error.
    virtual void launchCommandLine(const QString& commandLine, WindowStyle style) = 0;
    // Starts the program at `path`, which is never split into words, so a path with spaces
    // cannot start a different program. Returns at once; failing to start raises an error.
    virtual void launchProgram(const QString& path, WindowStyle style) = 0;
};

// The platform's launcher, or the one a test set.
Launcher& launcher();
// Tests record what would be launched; nullptr restores the platform's launcher.
void setLauncher(Launcher* launcher);

// ---- Finding files ----------------------------------------------------------------------------

// ---- Registry ---------------------------------------------------------------------------------

} // namespace runtime
