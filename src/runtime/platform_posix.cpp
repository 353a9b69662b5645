// Linux and other POSIX systems.
#include "commandline.h"
#include "platform.h"
#include "runtime.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QWidget>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string_view>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#if QT_CONFIG(xcb)
#include <xcb/xcb.h>
#endif

namespace runtime::platform {

namespace {

std::optional<QString> firstFileMatching(const QString& path);
QString findProgramOrShipped(const QString& name);

// ---- Launching programs -----------------------------------------------------------------------

// The interpreter a script names on its #! line and the one argument the line may add, as the
// kernel reads them, but without the byte-order mark and the CR a Windows editor leaves around
// that line; empty when the script has no such line.
QStringList interpreterLine(const QString& path)
{
    QFile file(path);
    QByteArray line = file.open(QIODevice::ReadOnly) ? file.readLine(4096) : QByteArray();
    if (line.startsWith("\xEF\xBB\xBF"))
        line.remove(0, 3);
    const QString named = QFile::decodeName(line.mid(2)).trimmed();
    if (!line.startsWith("#!") || named.isEmpty())
        return {};
    const qsizetype end
        = std::find_if(named.begin(), named.end(), [](QChar c) { return c.isSpace(); })
        - named.begin();
    const QString argument = named.sliced(end).trimmed();
    return argument.isEmpty() ? QStringList { named } : QStringList { named.left(end), argument };
}

// No shell ever reads a command line: its words go to the program as they are, so a source
// name such as `demo; rm -r ~` or `$(...)` is only an odd argument.
class PosixLauncher final : public Launcher {
public:
    void launchCommandLine(const QString& commandLine, WindowStyle style) override
    {
        // A desktop has no say in the style of a window another program opens.
        Q_UNUSED(style);
        QStringList words = splitCommandLine(commandLine);
        const QString program
            = words.isEmpty() ? QString() : findProgramOrShipped(words.takeFirst());
        if (program.isEmpty())
            raise(Error::FileNotFound);
        if (QFileInfo(program).isExecutable() && QProcess::startDetached(program, words))
            return;
        // A script that names its interpreter runs with it, executable or not, and fails when
        // that is missing; sh reads only a script without a #! line, as a POSIX shell runs such
        // a file. The words stay the script's arguments.
        QStringList interpreter = interpreterLine(program);
        if (interpreter.isEmpty())
            interpreter.append(QStringLiteral("/bin/sh"));
        const QString run = interpreter.takeFirst();
        startDetached(run, interpreter << program << words);
    }

    void launchProgram(const QString& path, WindowStyle style) override
    {
        Q_UNUSED(style);
        if (path.isEmpty())
            raise(Error::FileNotFound);
        startDetached(programPath(path), {});
    }

private:
    // A path written the Windows way, as the registry gives it (backslashes, any case), names
    // the file that findFile finds for it, so what was found can also be started.
    static QString programPath(const QString& path)
    {
        if (QFileInfo::exists(path) || !path.contains(u'\\') || path.contains(u'*')
            || path.contains(u'?'))
            return path;
        return firstFileMatching(path).value_or(path);
    }

    // Detached: the program outlives this call and is never waited for; it inherits the
    // editor's working folder and its output goes where the editor's goes.
    static void startDetached(const QString& program, const QStringList& arguments)
    {
        if (!QProcess::startDetached(program, arguments))
            raise(QFileInfo::exists(program) ? Error::PermissionDenied : Error::FileNotFound);
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

// The path of the first normal file that `path` matches, read as Windows reads it: a backslash
// separates folders too, case is ignored, and the last part may hold wildcards.
std::optional<QString> firstFileMatching(const QString& path)
{
    QString posixPath = path;
    posixPath.replace(u'\\', u'/');
    const qsizetype slash = posixPath.lastIndexOf(u'/');
    const QString pattern = posixPath.sliced(slash + 1);
    if (pattern.isEmpty() || path.contains(QChar(0)))
        return {};
    const auto folder = folderIgnoringCase(slash < 0 ? QString() : posixPath.left(slash + 1));
    if (!folder)
        return {};
    // Files only, hidden ones (a leading dot) left out; links to files count as files.
    const QStringList files = QDir(*folder).entryList(QDir::Files, QDir::Name | QDir::IgnoreCase);
    const auto match = std::find_if(files.begin(), files.end(),
        [&](const QString& file) { return matchesWildcards(pattern, file); });
    if (match == files.end())
        return {};
    return QDir(*folder).filePath(*match);
}

// ---- Files shipped with the program -----------------------------------------------------------

// Where an installed copy keeps its data, found from where the program is, so that a copy
// installed under any prefix works. The program reads no environment to say otherwise.
QString installedDataFolder()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/../share/brindlehof");
}

QString firstFileIn(std::initializer_list<QString> folders, const QString& name)
{
    for (const QString& folder : folders) {
        const QFileInfo info(QDir(folder).filePath(name));
        if (info.isFile())
            return QDir::cleanPath(info.absoluteFilePath());
    }
    return {};
}

// An installed copy brings its own example asm.bat, used when the user has none.
QString findProgramOrShipped(const QString& name)
{
    const QString found = findProgram(name);
    return found.isEmpty() && !name.contains(u'/') ? firstFileIn({ installedDataFolder() }, name)
                                                   : found;
}

// The stand-in hive: the copy beside the program when there is one (the build tree, which
// `make run` uses), otherwise the one installed with it; last the folder compiled in, for a
// program copied out of its installed tree.
QString hivePath()
{
    return firstFileIn({ QCoreApplication::applicationDirPath(), installedDataFolder(),
                           QStringLiteral(BRINDLEHOF_DATADIR) },
        QStringLiteral("hklm.reg"));
}

// ---- Saving files -----------------------------------------------------------------------------

// Each extended attribute of the file at `from` given to the open file `to`: access lists are
// attributes too (system.posix_acl_access). False when one cannot be read or given.
bool copyAttributes(const QByteArray& from, int to)
{
    const ssize_t listed = ::listxattr(from.constData(), nullptr, 0);
    QByteArray names(std::max<ssize_t>(listed, 0), '\0');
    if (listed < 0 || ::listxattr(from.constData(), names.data(), names.size()) != listed)
        return listed < 0 && errno == ENOTSUP;
    for (const QByteArray& name : names.split('\0')) {
        if (name.isEmpty())
            continue;
        const ssize_t size = ::getxattr(from.constData(), name.constData(), nullptr, 0);
        QByteArray value(std::max<ssize_t>(size, 0), '\0');
        if (size < 0 || ::getxattr(from.constData(), name.constData(), value.data(), size) != size
            || ::fsetxattr(to, name.constData(), value.constData(), size, 0) != 0)
            return false;
    }
    return true;
}

} // namespace

// The folder as the kernel resolves it, then the last part's link, one hop at a time: the text of
// a link is read as it stands, never cleaned of "sub/.." before sub is followed.
QString followLinks(const QString& path)
{
    QByteArray target = QFile::encodeName(path);
    for (int hops = 0;; ++hops) {
        const qsizetype slash = target.lastIndexOf('/');
        const QByteArray folder
            = slash < 0 ? QByteArray(".") : target.left(std::max<qsizetype>(slash, 1));
        char real[PATH_MAX];
        if (!::realpath(folder.constData(), real)) {
            if (errno == ELOOP)
                raise(Error::PathFileAccessError);
            return QFile::decodeName(target); // a missing folder, refused by name later
        }
        const QByteArray in = QByteArray(real).append(real[1] ? "/" : ""); // "/" ends in one
        const QByteArray resolved = in + target.mid(slash + 1);
        char link[PATH_MAX];
        const ssize_t length = ::readlink(resolved.constData(), link, sizeof link);
        if (length < 0)
            return QFile::decodeName(resolved);
        if (hops == kMaxLinks)
            raise(Error::PathFileAccessError);
        target = (link[0] == '/' ? QByteArray() : in) + QByteArray(link, length);
    }
}

bool syncToDisk(QFileDevice& file)
{
    return file.handle() < 0 || ::fsync(file.handle()) == 0;
}

bool replaceKeepsIdentity(const QString& path)
{
    struct stat status {};
    return ::stat(QFile::encodeName(path).constData(), &status) != 0 || status.st_nlink <= 1;
}

bool giveIdentity(const QString& path, QFileDevice& replacement)
{
    struct stat target {};
    struct stat given {};
    if (::stat(QFile::encodeName(path).constData(), &target) != 0)
        return true;
    const int descriptor = replacement.handle();
    if (descriptor < 0 || ::fstat(descriptor, &given) != 0)
        return false;
    // Only root may give a file away; an owner may give it any group it belongs to.
    if ((target.st_uid != given.st_uid || target.st_gid != given.st_gid)
        && ::fchown(descriptor, target.st_uid, target.st_gid) != 0)
        return false;
    return ::fchmod(descriptor, target.st_mode & 07777) == 0
        && copyAttributes(QFile::encodeName(path), descriptor);
}

bool reserveSpace(QFileDevice& file, qint64 size)
{
    const int error
        = size > 0 && file.handle() >= 0 ? ::posix_fallocate(file.handle(), 0, size) : 0;
    // A file system that cannot reserve still takes the write, whose failure is undone.
    return error != ENOSPC && error != EFBIG && error != EDQUOT;
}

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

// A tool window; task bars such as tint2 list those too. The state goes on before the window is
// mapped, where the window manager reads it; Qt keeps it when it adds states of its own.
void skipTaskBar(QWidget* window)
{
    window->setWindowFlags((window->windowFlags() & ~Qt::WindowType_Mask) | Qt::Tool);
    window->winId();
#if QT_CONFIG(xcb)
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return; // not X11: Wayland, or no screen at all
    const auto atom = [connection](std::string_view name) {
        const auto cookie = xcb_intern_atom(connection, 0, name.size(), name.data());
        const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
            xcb_intern_atom_reply(connection, cookie, nullptr), &std::free);
        return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    };
    const xcb_atom_t state = atom("_NET_WM_STATE");
    const xcb_atom_t skip = atom("_NET_WM_STATE_SKIP_TASKBAR");
    xcb_change_property(connection, XCB_PROP_MODE_APPEND, window->winId(), state, XCB_ATOM_ATOM,
        32, 1, &skip);
    xcb_flush(connection);
#endif
}

// Replacing keeps the file here (see replaceKeepsIdentity); the in-place path is the other way.
Replacement replaceWhole(QFile&, const QByteArray&) { return Replacement::InPlace; }

// DejaVu Sans Mono is the system's, a dependency of the package.
void loadShippedFonts() { }

} // namespace runtime::platform

namespace runtime {

qint64 availableMemory()
{
    qint64 available = std::numeric_limits<qint64>::max();
    // Linux says what it can give without swapping out what others use.
    QFile meminfo(QStringLiteral("/proc/meminfo"));
    if (meminfo.open(QIODevice::ReadOnly | QIODevice::Text)) {
        for (QByteArray line = meminfo.readLine(); !line.isEmpty(); line = meminfo.readLine()) {
            if (line.startsWith("MemAvailable:"))
                available = line.mid(13).trimmed().split(' ').first().toLongLong() * 1024;
        }
    }
    // The address space and the data segment a limit allows, less what the process holds: the
    // first and sixth counts of statm, in pages.
    QFile statm(QStringLiteral("/proc/self/statm"));
    const QList<QByteArray> used
        = statm.open(QIODevice::ReadOnly) ? statm.readAll().split(' ') : QList<QByteArray>();
    const auto limitLeft = [&](int resource, qsizetype field) {
        rlimit limit {};
        if (::getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
            return;
        const qint64 held = used.size() > field ? used[field].toLongLong() * ::getpagesize() : 0;
        available = std::min(available, qint64(limit.rlim_cur) - held);
    };
    limitLeft(RLIMIT_AS, 0);
    limitLeft(RLIMIT_DATA, 5);
    return std::max<qint64>(available, 0);
}

QString findFile(const QString& path)
{
    const std::optional<QString> found = platform::firstFileMatching(path);
    return found ? QFileInfo(*found).fileName() : QString();
}

} // namespace runtime
