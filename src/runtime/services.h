// Platform services: sequential files, the printer, launching programs, finding files and the
// registry. What differs between platforms lives in platform_posix.cpp or platform_win.cpp.
#pragma once

#include <QByteArray>
#include <QFont>
#include <QString>
#include <QStringView>

#include <cstdint>
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

// Printer output: appends `text` and a line end to the printer's current document, starting one
// on the system's default print queue at the first output. Lines wider than the page wrap and new
// pages come as the text needs. Nothing reaches the spooler before the document ends, which
// happens when the program ends. No default queue, or a document that cannot be started, raises
// error 482.
void printerOutput(const QString& text);

// The fixed-pitch face printed text is set in, at `pointSize`; the editor shows the source in it.
QFont fixedPitchFont(int pointSize);

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

// The name (without its folder) of the first normal file that `path` matches, or "" when none
// does. The last part of the path may hold the wildcards * and ?. Directories, hidden and
// system files never match. On POSIX a backslash separates folders as well as a slash, and
// names match without regard to case, as they do on Windows.
QString findFile(const QString& path);

// ---- Memory -----------------------------------------------------------------------------------

// The bytes the program can still take: what the system has available, within the limits set
// on the process. Allocating more than that ends a program at the first page it touches.
qint64 availableMemory();

// ---- Registry ---------------------------------------------------------------------------------
// The shape of advapi32's RegOpenKeyExA, RegQueryValueExA and RegCloseKey: results are Windows
// error codes, names and string data are 8-bit.

// A key handle: a predefined root, or a key that openKey gave.
using RegKey = std::uintptr_t;

// A predefined root handle, widened with its sign as Windows does on 64-bit systems.
constexpr RegKey predefinedRegKey(std::uint32_t code)
{
    return static_cast<RegKey>(static_cast<std::intptr_t>(static_cast<std::int32_t>(code)));
}
inline constexpr RegKey kHKeyLocalMachine = predefinedRegKey(0x80000002);

inline constexpr std::uint32_t kKeyRead = 0x20019; // query value, enumerate, notify, read control

inline constexpr int kRegSuccess = 0;
inline constexpr int kRegFileNotFound = 2;
inline constexpr int kRegAccessDenied = 5;
inline constexpr int kRegInvalidHandle = 6;
inline constexpr int kRegMoreData = 234;

inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr std::uint32_t kRegMultiSz = 7;

class Registry {
public:
    virtual ~Registry() = default;
    // Opens `subKey` under `root` (a predefined root or an open key) for the rights in `access`.
    virtual int openKey(RegKey root, const QByteArray& subKey, std::uint32_t access, RegKey* key)
        = 0;
    // Reads the value `name` into `data`, which holds `*size` bytes. On return `*type` is the
    // value's type and `*size` the size of its data; a buffer too small gets kRegMoreData and
    // is left untouched.
    virtual int queryValue(RegKey key, const QByteArray& name, std::uint32_t* type, char* data,
        std::uint32_t* size) = 0;
    virtual int closeKey(RegKey key) = 0;
};

// The platform's registry, or the one a test set. Where the system has no registry it is a
// read-only hive in the registry editor's export format, shipped with the program.
Registry& registry();
// Tests script the registry; nullptr restores the platform's.
void setRegistry(Registry* registry);

// A read-only registry holding what a file in the Windows registry editor's export format says
// (REGEDIT4 or "Windows Registry Editor Version 5.00"). The contents are untrusted: a line that
// cannot be read is skipped, and a file that is not such an export gives an empty registry.
// Opening a key for any write right is refused with kRegAccessDenied, as a standard account is
// refused under HKEY_LOCAL_MACHINE.
std::unique_ptr<Registry> parseRegFile(const QByteArray& contents);
// The same from a file; a missing or unreadable file gives an empty registry.
std::unique_ptr<Registry> readRegFile(const QString& path);

} // namespace runtime
