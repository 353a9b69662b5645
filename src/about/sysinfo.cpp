// System Info: where the registry says the system information program is, and starting it.
#include "frmabout.h"

#include <runtime.h>

#include <QtEndian>

#include <array>
#include <optional>

namespace about {

namespace {

constexpr std::uint32_t kBufferSize = 1024;

constexpr auto kUnavailable = "System Information Is Unavailable At This Time";

// Where the program is named, in the order tried: its full path, or a folder that holds it.
constexpr auto kPathKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
constexpr auto kPathValue = "PATH";
constexpr auto kFolderKey = "SOFTWARE\\Microsoft\\Shared Tools Location";
constexpr auto kFolderValue = "MSINFO";
constexpr auto kProgramInFolder = "\\MSINFO32.EXE";

// Closes a key on every way out of a read, a failure raised while reading included.
class OpenKey {
public:
    OpenKey(runtime::Registry& registry, runtime::RegKey key)
        : m_registry(registry)
        , m_key(key)
    {
    }
    ~OpenKey() { m_registry.closeKey(m_key); }
    Q_DISABLE_COPY_MOVE(OpenKey)

private:
    runtime::Registry& m_registry;
    runtime::RegKey m_key;
};

// The program to start: location 1 as it stands, untested; otherwise the program in the folder
// of location 2 when it is there; none when neither serves.
std::optional<QString> sysInfoProgram(frmAbout& form)
{
    QString path;
    if (form.GetKeyValue(
            runtime::kHKeyLocalMachine, QLatin1String(kPathKey), QLatin1String(kPathValue), path))
        return path;
    if (form.GetKeyValue(runtime::kHKeyLocalMachine, QLatin1String(kFolderKey),
            QLatin1String(kFolderValue), path)) {
        const QString program = path + QLatin1String(kProgramInFolder);
        if (!runtime::findFile(program).isEmpty())
            return program;
    }
    return std::nullopt;
}

} // namespace

bool frmAbout::GetKeyValue(
    runtime::RegKey KeyRoot, const QString& KeyName, const QString& SubKeyRef, QString& KeyVal)
{
    runtime::Registry& registry = runtime::registry();
    runtime::RegKey key = 0;
    // Read access only: a standard account asking for more under HKEY_LOCAL_MACHINE is refused.
    if (registry.openKey(KeyRoot, KeyName.toLocal8Bit(), runtime::kKeyRead, &key)
        != runtime::kRegSuccess) {
        KeyVal.clear();
        return false;
    }
    const OpenKey open(registry, key);

    std::array<char, kBufferSize> buffer {};
    std::uint32_t size = kBufferSize;
    std::uint32_t type = 0;
    if (registry.queryValue(key, SubKeyRef.toLocal8Bit(), &type, buffer.data(), &size)
            != runtime::kRegSuccess
        || size > kBufferSize) {
        KeyVal.clear();
        return false;
    }
    // The last character is tested for the string's NUL; no data has no last character.
    if (size == 0)
        runtime::raise(runtime::Error::InvalidProcedureCall);
    const std::uint32_t kept = buffer[size - 1] == '\0' ? size - 1 : size;

    if (type == runtime::kRegSz)
        KeyVal = QString::fromLocal8Bit(buffer.data(), kept);
    else if (type == runtime::kRegDword)
        KeyVal = QString::number(qFromLittleEndian<quint32>(buffer.data()));
    return true;
}

void frmAbout::StartSysInfo()
{
    // Whatever fails on the way, the one message says so; nothing is retried.
    bool started = false;
    runtime::onErrorGoTo(
        [&] {
            if (const std::optional<QString> program = sysInfoProgram(*this)) {
                // A path, never split into words: one with spaces starts that program or none.
                runtime::launcher().launchProgram(*program, runtime::WindowStyle::Normal);
                started = true;
            }
        },
        [](const runtime::RuntimeError&) {});
    if (!started)
        runtime::message(QString::fromLatin1(kUnavailable));
}

} // namespace about
