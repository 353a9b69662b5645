// Windows.
#include "commandline.h"
#include "platform.h"
#include "runtime.h"
#include "win32.h"

#include <QDir>
#include <QFileInfo>
#include <QStringView>

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
        const QString program = words.isEmpty() ? QString() : findProgram(words.first());
        if (program.isEmpty())
            raise(Error::FileNotFound);
        if (isBatchFile(program)) {
            // /d: no AutoRun commands from the registry; /v:off: no !variable! expansion.
            createProcess(
                commandInterpreter(), QLatin1String("cmd.exe /d /v:off /c ") + commandLine, style);
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
        if (hops == 40)
            raise(Error::PathFileAccessError);
        target = QFileInfo(target).symLinkTarget();
    }
    return target;
}

// QSaveFile's replace keeps the file's name and what the folder gives every file; hard links and
// handed-over files are rare enough on Windows that the replace is always taken.
bool replaceKeepsIdentity(const QString&) { return true; }

bool giveIdentity(const QString&, QFileDevice&) { return true; }

// Setting the end of file allocates its clusters: the write that follows cannot run out of room.
bool reserveSpace(QFileDevice& file, qint64 size)
{
    return size <= file.size() || file.resize(size);
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

// A tool window is never in the task bar here.
void skipTaskBar(QWindow*) { }

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
