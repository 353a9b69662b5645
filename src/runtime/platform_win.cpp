// Windows.
#include "commandline.h"
#include "platform.h"
#include "runtime.h"
#include "win32.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoopLocker>
#include <QFileInfo>
#include <QFontDatabase>
#include <QPointer>
#include <QStringView>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <limits>
#include <string>

#include <io.h>

namespace runtime::platform {

namespace {

// ---- Launching programs -----------------------------------------------------------------------

// The command interpreter runs a batch file and acts on these wherever they stand in the line,
// `%` even inside quotes: an answer such as `demo & del *.*` would be two commands, and a line
// break ends the command early. A source name never needs them, so a line that holds one is
// refused before anything starts.
constexpr QStringView kInterpreterMetacharacters = u"&|<>^%\"\r\n";

bool isBatchFile(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix();
    return suffix.compare(QLatin1String("bat"), Qt::CaseInsensitive) == 0
        || suffix.compare(QLatin1String("cmd"), Qt::CaseInsensitive) == 0;
}

// cmd.exe from the system folder, never one that happens to lie in the current folder.
QString commandInterpreter()
{
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        raise(Error::FileNotFound);
    return QString::fromWCharArray(folder, static_cast<qsizetype>(length))
        + QLatin1String("\\cmd.exe");
}

[[noreturn]] void raiseLastError()
{
    switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        raise(Error::FileNotFound);
    case ERROR_ACCESS_DENIED:
        raise(Error::PermissionDenied);
    default:
        raise(Error::InvalidProcedureCall);
    }
}

// Starts `commandLine`, running `application` when one is given, else the program its first
// word names; returns at once without watching the task.
void createProcess(const QString& application, const QString& commandLine, WindowStyle style)
{
    STARTUPINFOW startup {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = style == WindowStyle::Minimized ? SW_SHOWMINIMIZED : SW_SHOWNORMAL;
    PROCESS_INFORMATION process {};
    const std::wstring program = application.toStdWString();
    // CreateProcessW may write into the command line: it gets a copy of its own.
    std::wstring line = commandLine.toStdWString();
    if (!CreateProcessW(application.isEmpty() ? nullptr : program.c_str(), line.data(), nullptr,
            nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        raiseLastError();
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

// The program's own asm.bat, beside it, serves when the working folder and PATH have none.
QString findProgramOrShipped(const QString& name)
{
    const QString found = findProgram(name);
    if (!found.isEmpty() || name.contains(u'/') || name.contains(u'\\'))
        return found;
    const QFileInfo shipped(QDir(QCoreApplication::applicationDirPath()), name);
    return shipped.isFile() ? shipped.absoluteFilePath() : QString();
}

class WindowsLauncher final : public Launcher {
public:
    void launchCommandLine(const QString& commandLine, WindowStyle style) override
    {
        if (std::any_of(commandLine.begin(), commandLine.end(),
                [](QChar c) { return kInterpreterMetacharacters.contains(c); }))
            raise(Error::InvalidProcedureCall);
        // Through the interpreter a missing script still starts successfully, so the caller
        // would never learn of it: look it up first.
        const QStringList words = splitCommandLine(commandLine);
        const QString program = words.isEmpty() ? QString() : findProgramOrShipped(words.first());
        if (program.isEmpty())
            raise(Error::FileNotFound);
        if (isBatchFile(program)) {
            // The script found, quoted, then the rest of the line as it was given. /d: no AutoRun
            // commands from the registry; /v:off: no !variable! expansion; /s: the interpreter
            // strips the outer quotes and only those, whatever the path holds.
            const QString rest
                = commandLine.sliced(commandLine.indexOf(words.first()) + words.first().size());
            createProcess(commandInterpreter(),
                QLatin1String("cmd.exe /d /s /v:off /c \"\"") + QDir::toNativeSeparators(program)
                    + QLatin1Char('"') + rest + QLatin1Char('"'),
                style);
        } else {
            createProcess(program, commandLine, style);
        }
    }

    void launchProgram(const QString& path, WindowStyle style) override
    {
        // Quoted, the path is one word: C:\Program Files\x.exe cannot start C:\Program.exe. No
        // file name holds a quote, so none can end the quoting early.
        if (path.isEmpty())
            raise(Error::FileNotFound);
        if (path.contains(QLatin1Char('"')))
            raise(Error::InvalidProcedureCall);
        createProcess(
            {}, QLatin1Char('"') + QDir::toNativeSeparators(path) + QLatin1Char('"'), style);
    }
};

// ---- Finding files ----------------------------------------------------------------------------

// What a search for normal files leaves out.
constexpr DWORD kNotNormal = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN
    | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DEVICE;

// ---- Saving files -----------------------------------------------------------------------------

std::wstring nativePath(const QString& path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()).toStdWString();
}

// What a replaced file keeps of the old one's attributes. Archive marks the change, so it stays
// the new file's; read-only never comes this far.
constexpr DWORD kKeptAttributes
    = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// Writes `bytes` into the existing file `path` and onto the disk.
bool writeWhole(const wchar_t* path, const QByteArray& bytes)
{
    const HANDLE file = CreateFileW(
        path, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool written = true;
    for (qsizetype done = 0; written && done < bytes.size();) {
        const DWORD chunk = static_cast<DWORD>(std::min<qsizetype>(bytes.size() - done, 1 << 30));
        DWORD wrote = 0;
        written
            = WriteFile(file, bytes.constData() + done, chunk, &wrote, nullptr) && wrote == chunk;
        done += chunk;
    }
    written = written && FlushFileBuffers(file);
    return CloseHandle(file) && written;
}

// ---- Registry ---------------------------------------------------------------------------------

HKEY toHkey(RegKey key) { return reinterpret_cast<HKEY>(key); }

class WindowsRegistry final : public Registry {
public:
    int openKey(RegKey root, const QByteArray& subKey, std::uint32_t access, RegKey* key) override
    {
        HKEY opened = nullptr;
        const LONG result = RegOpenKeyExA(toHkey(root), subKey.constData(), 0, access, &opened);
        if (result == ERROR_SUCCESS)
            *key = reinterpret_cast<RegKey>(opened);
        return static_cast<int>(result);
    }

    int queryValue(RegKey key, const QByteArray& name, std::uint32_t* type, char* data,
        std::uint32_t* size) override
    {
        DWORD valueType = 0;
        DWORD valueSize = size ? *size : 0;
        const LONG result = RegQueryValueExA(toHkey(key), name.constData(), nullptr, &valueType,
            reinterpret_cast<BYTE*>(data), size ? &valueSize : nullptr);
        if (type)
            *type = valueType;
        if (size)
            *size = valueSize;
        return static_cast<int>(result);
    }

    int closeKey(RegKey key) override { return static_cast<int>(RegCloseKey(toHkey(key))); }
};

} // namespace

bool syncToDisk(QFileDevice& file)
{
    // Where Qt gives no descriptor, QSaveFile's own flush at commit is all there is.
    const int descriptor = file.handle();
    if (descriptor < 0)
        return true;
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
    return handle == INVALID_HANDLE_VALUE || FlushFileBuffers(handle) != 0;
}

// Links are rare here: the last part is followed, one hop at a time, as far as Linux would.
QString followLinks(const QString& path)
{
    QString target = path;
    for (int hops = 0; QFileInfo(target).isSymLink(); ++hops) {
        if (hops == kMaxLinks)
            raise(Error::PathFileAccessError);
        target = QFileInfo(target).symLinkTarget();
    }
    return target;
}

// QSaveFile's rename would give an existing file the new file's ACL, attributes and creation
// time, and drop its streams: an existing file goes the in-place way, whose commit hands it to
// ReplaceFileW (replaceWhole).
bool replaceKeepsIdentity(const QString& path)
{
    const DWORD attributes = GetFileAttributesW(nativePath(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return true;
    // Windows refuses to open a read-only file for writing; a file system under it may not (Wine's,
    // run as root), so the file is refused here.
    if (attributes & FILE_ATTRIBUTE_READONLY)
        raise(Error::PermissionDenied);
    return false;
}

bool giveIdentity(const QString&, QFileDevice&) { return true; }

// Setting the end of file allocates its clusters: the write that follows cannot run out of room.
bool reserveSpace(QFileDevice& file, qint64 size)
{
    return size <= file.size() || file.resize(size);
}

Replacement replaceWhole(QFile& file, const QByteArray& bytes)
{
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(file.handle()));
    BY_HANDLE_FILE_INFORMATION old {};
    // A new file in place of one with other hard links would part from them: in place, then.
    if (handle == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(handle, &old)
        || old.nNumberOfLinks > 1)
        return Replacement::InPlace;
    const std::wstring target = nativePath(file.fileName());
    wchar_t staged[MAX_PATH];
    // A folder that takes no new file may still let this one be written in place.
    if (!GetTempFileNameW(nativePath(QFileInfo(file).absolutePath()).c_str(), L"bhf", 0, staged))
        return Replacement::InPlace;
    if (!writeWhole(staged, bytes)) {
        DeleteFileW(staged);
        return Replacement::Failed;
    }
    // With a backup name, every failure leaves the old file whole, under one name or the other.
    // ReplaceFileW needs the file to itself.
    const std::wstring backup = staged + std::wstring(L"~");
    file.close();
    if (ReplaceFileW(target.c_str(), staged, backup.c_str(), REPLACEFILE_IGNORE_MERGE_ERRORS,
            nullptr, nullptr)) {
        DeleteFileW(backup.c_str());
        // Not every ReplaceFileW merges the attributes (Wine's does not).
        const DWORD now = GetFileAttributesW(target.c_str());
        if (now != INVALID_FILE_ATTRIBUTES
            && (now & kKeptAttributes) != (old.dwFileAttributes & kKeptAttributes))
            SetFileAttributesW(target.c_str(),
                (now & ~kKeptAttributes) | (old.dwFileAttributes & kKeptAttributes));
        return Replacement::Done;
    }
    if (GetLastError() == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2)
        MoveFileW(backup.c_str(), target.c_str());
    DeleteFileW(staged);
    // Held open elsewhere without leave to delete, it may still be written in place.
    return file.open(QIODevice::ReadWrite | QIODevice::Unbuffered) ? Replacement::InPlace
                                                                   : Replacement::Failed;
}

Launcher& nativeLauncher()
{
    static WindowsLauncher launcher;
    return launcher;
}

Registry& nativeRegistry()
{
    static WindowsRegistry registry;
    return registry;
}

// Windows leaves a window that another owns out of the task bar, where a tool window would get
// the small caption of a palette. The owner is never shown, and the editor's frame closing leaves
// it be. Qt counts an owned window as a secondary one, which does not keep the program running: a
// quit lock held as long as the dialog lives does.
void skipTaskBar(QWidget* window)
{
    static QPointer<QWindow> owner;
    if (!owner) {
        owner = new QWindow;
        owner->create();
    }
    window->winId();
    window->windowHandle()->setTransientParent(owner);
    struct QuitLock final : QObject {
        using QObject::QObject;
        QEventLoopLocker locker;
    };
    new QuitLock(window);
}

// DejaVu Sans Mono, regular and bold, ships in fonts\ beside the program: loaded for this process
// alone, nothing goes into the system's fonts.
void loadShippedFonts()
{
    const QDir folder(QCoreApplication::applicationDirPath() + QLatin1String("/fonts"));
    for (const QString& name : folder.entryList({ QStringLiteral("*.ttf") }, QDir::Files))
        QFontDatabase::addApplicationFont(folder.filePath(name));
}

} // namespace runtime::platform

namespace runtime {

qint64 availableMemory()
{
    // What the commit limit and the address space still allow; the latter binds a 32-bit build.
    MEMORYSTATUSEX status {};
    status.dwLength = sizeof(status);
    if (!GlobalMemoryStatusEx(&status))
        return std::numeric_limits<qint64>::max();
    return qint64(std::min(status.ullAvailPageFile, status.ullAvailVirtual));
}

QString findFile(const QString& path)
{
    // Wide: through the 8-bit code page a character it lacks would become "?", a wildcard.
    if (path.isEmpty() || path.contains(QChar(0)))
        return {};
    const std::wstring pattern = path.toStdWString();
    WIN32_FIND_DATAW found {};
    const HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return {};
    QString name;
    do {
        if (!(found.dwFileAttributes & platform::kNotNormal)) {
            name = QString::fromWCharArray(found.cFileName);
            break;
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return name;
}

} // namespace runtime
