// Platform services: sequential files, the printer, launching programs, finding files and the
// registry. What differs between platforms lives in platform_posix.cpp or platform_win.cpp.
#pragma once

#include <QString>
#include <QStringView>

#include <functional>
#include <memory>

class QIODevice;

namespace runtime {

// ---- Sequential files -------------------------------------------------------------------------
// Files by number, 1 to 255, in the 8-bit code page Windows-1252. The five bytes that code page
// leaves undefined (81, 8D, 8F, 90, 9D) stand for the control characters of the same number, so
// every byte but CR and LF reads and writes back unchanged.
// Errors: a number out of range or not open 52, already open 55, a missing file 53, a missing
// directory 76, a directory or a refused name 75, no permission 70, a failed write 57 (61 when
// the disk is full), reading past the end 62, a character the code page lacks 5.

enum class FileMode { Input, Output };

// Input reads an existing file. Output writes beside the file and replaces it only when the
// file is closed after every write succeeded; until then, and after a failure, the old file
// stays as it was.
void openFile(const QString& path, FileMode mode, int number);
// The next line without its line end; CR LF, a lone LF and a lone CR each end a line.
QString readLine(int number);
// True once no data is left to read.
bool atEndOfFile(int number);
// Writes `text` followed by CR LF. A failed write, or a text the code page cannot hold, spoils
// the file: closing it then discards everything written to it.
void writeLine(int number, QStringView text);
// Closes the file; an output file replaces its target now, or raises and discards it.
void closeFile(int number);
// Closes every open file (End does this too); raises the first failure after closing them all.
void closeAllFiles();

// Tests wrap the device an input file is read through, so that reading can fail part-way;
// an empty filter reads the file directly.
using InputFilter = std::function<std::unique_ptr<QIODevice>(std::unique_ptr<QIODevice> file)>;
void setInputFilter(InputFilter filter);

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
