// Platform services: sequential files, the printer, launching programs, finding files and the
// registry. What differs between platforms lives in platform_posix.cpp or platform_win.cpp.
#pragma once

#include <QString>

namespace runtime {

// ---- Sequential files -------------------------------------------------------------------------

// ---- Printer ----------------------------------------------------------------------------------

// Printer output: appends `text` and a line end to the printer's current document, starting one
// on the system's default print queue at the first output. Lines wider than the page wrap and new
// pages come as the text needs. Nothing reaches the spooler before the document ends, which
// happens when the program ends. No default queue, or a document that cannot be started, raises
// error 482.
void printerOutput(const QString& text);

// Tests: documents started from now on are written to the PDF file at `path` instead of the
// default queue; an empty path restores the queue.
void setPrinterPdfFile(const QString& path);

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
