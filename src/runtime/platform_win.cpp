// Windows.
#include "platform.h"
#include "runtime.h"
#include "win32.h"

namespace runtime::platform {

namespace {

// ---- Launching programs -----------------------------------------------------------------------

class WindowsLauncher final : public Launcher {
public:
    void launchCommandLine(const QString& commandLine, WindowStyle style) override
    {
        Q_UNUSED(commandLine);
        Q_UNUSED(style);
        raise(Error::FileNotFound);
    }

    void launchProgram(const QString& path, WindowStyle style) override
    {
        Q_UNUSED(path);
        Q_UNUSED(style);
        raise(Error::FileNotFound);
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

} // namespace runtime::platform

namespace runtime {

QString findFile(const QString& path)
{
    const QByteArray pattern = path.toLocal8Bit();
    if (pattern.isEmpty() || pattern.contains('\0'))
        return {};
    WIN32_FIND_DATAA found {};
    const HANDLE search = FindFirstFileA(pattern.constData(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return {};
    QString name;
    do {
        if (!(found.dwFileAttributes & platform::kNotNormal)) {
            name = QString::fromLocal8Bit(found.cFileName);
            break;
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return name;
}

} // namespace runtime
