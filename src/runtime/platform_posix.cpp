// Linux and other POSIX systems.
#include "platform.h"
#include "runtime.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include <optional>

namespace runtime::platform {

namespace {

// ---- Launching programs -----------------------------------------------------------------------

class PosixLauncher final : public Launcher {
public:
    void launchCommandLine(const QString& commandLine, WindowStyle style) override
    {
        Q_UNUSED(commandLine);
        Q_UNUSED(style);
        raise(Error::FileNotFound);
    }

    void launchProgram(const QString& path, WindowStyle style) override
    {
        // A desktop has no say in the style of a window another program opens.
        Q_UNUSED(style);
        if (path.isEmpty() || !QProcess::startDetached(path, {}))
            raise(Error::FileNotFound);
    }
};

// ---- Finding files ----------------------------------------------------------------------------

// Wildcards as Windows reads them in a file name: * any run of characters, ? any one; case is
// ignored.
bool matchesWildcards(QStringView pattern, QStringView name)
{
    qsizetype p = 0;
    qsizetype n = 0;
    qsizetype star = -1;
    qsizetype resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == u'*') {
            star = p++;
            resume = n;
        } else if (p < pattern.size()
            && (pattern[p] == u'?' || pattern[p].toCaseFolded() == name[n].toCaseFolded())) {
            ++p;
            ++n;
        } else if (star >= 0) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

// The folder `path` names, each part matched without regard to case where no part has exactly
// that name; none when a part is missing.
std::optional<QString> folderIgnoringCase(const QString& path)
{
    QString folder = path.startsWith(u'/') ? QStringLiteral("/") : QStringLiteral(".");
    for (const QString& part : path.split(u'/', Qt::SkipEmptyParts)) {
        QString found = part;
        if (part != u"." && part != u".." && !QFileInfo(QDir(folder), part).isDir()) {
            const QStringList dirs = QDir(folder).entryList(
                QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
            const auto match = std::find_if(dirs.begin(), dirs.end(), [&](const QString& dir) {
                return dir.compare(part, Qt::CaseInsensitive) == 0;
            });
            if (match == dirs.end())
                return {};
            found = *match;
        }
        folder = QDir(folder).filePath(found);
    }
    return folder;
}

// ---- Registry ---------------------------------------------------------------------------------

// The stand-in hive: the copy beside the program when there is one (the build tree, which
// `make run` uses), otherwise the one installed with it.
QString hivePath()
{
    const QString beside = QCoreApplication::applicationDirPath() + QStringLiteral("/hklm.reg");
    return QFileInfo(beside).isFile() ? beside : QStringLiteral(BRINDLEHOF_HIVE);
}

} // namespace

Launcher& nativeLauncher()
{
    static PosixLauncher launcher;
    return launcher;
}

Registry& nativeRegistry()
{
    // Read once, on first use: the program never writes to it.
    static const std::unique_ptr<Registry> hive = readRegFile(hivePath());
    return *hive;
}

} // namespace runtime::platform

namespace runtime {

QString findFile(const QString& path)
{
    QString posixPath = path;
    posixPath.replace(u'\\', u'/');
    const qsizetype slash = posixPath.lastIndexOf(u'/');
    const QString pattern = posixPath.sliced(slash + 1);
    if (pattern.isEmpty() || path.contains(QChar(0)))
        return {};
    const auto folder
        = platform::folderIgnoringCase(slash < 0 ? QString() : posixPath.left(slash + 1));
    if (!folder)
        return {};
    // Files only, hidden ones (a leading dot) left out; links to files count as files.
    const QStringList files = QDir(*folder).entryList(QDir::Files, QDir::Name | QDir::IgnoreCase);
    const auto match = std::find_if(files.begin(), files.end(),
        [&](const QString& file) { return platform::matchesWildcards(pattern, file); });
    return match != files.end() ? *match : QString();
}

} // namespace runtime
