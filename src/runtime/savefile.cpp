// Writing a sequential file whole or not at all, and the causes of failures opening either kind.
#include "savefile.h"
#include "platform.h"

#include <QFileInfo>
#include <QStorageInfo>

#include <algorithm>
#include <optional>

namespace runtime {

namespace {

// The longest file name most file systems take, in bytes.
constexpr qsizetype kMaxNameBytes = 255;
// What QSaveFile adds to the name for the file it writes first: ".XXXXXX".
constexpr qsizetype kTemporarySuffixBytes = 7;
// The undoing of a failed write skips a block the disk refuses, to put back the ones after it.
constexpr qint64 kBlock = 4096;

// What the name alone refuses. The folder is the one written: "sub/.." is no folder when there
// is no sub, whatever the folder above holds.
std::optional<Error> nameFailure(const QString& path)
{
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        return Error::PathFileAccessError;
    if (!QFileInfo(info.path()).isDir())
        return Error::PathNotFound;
    if (QFile::encodeName(info.fileName()).size() > kMaxNameBytes)
        return Error::PathFileAccessError;
    return {};
}

} // namespace

Error openFailure(const QString& path, FileMode mode)
{
    if (const std::optional<Error> refused = nameFailure(path))
        return *refused;
    const QFileInfo info(path);
    if (mode == FileMode::Input) {
        if (!info.exists())
            return Error::FileNotFound;
        return info.isReadable() ? Error::PathFileAccessError : Error::PermissionDenied;
    }
    // A file written in place is read first, to be put back if the write fails.
    if (!QFileInfo(info.path()).isWritable()
        || (info.exists() && !(info.isWritable() && info.isReadable())))
        return Error::PermissionDenied;
    return Error::PathFileAccessError;
}

SaveFile::SaveFile(const QString& path)
    : m_target(platform::followLinks(path))
{
    if (const std::optional<Error> refused = nameFailure(m_target))
        raise(*refused);
    if (!openReplacement())
        openInPlace();
}

// False where a new file would not be the old file again: other hard links, an owner, group or
// attribute it cannot be given, or a folder that refuses new files but lets this one be written;
// and where the name leaves no room for the temporary file's.
bool SaveFile::openReplacement()
{
    const qsizetype nameBytes = QFile::encodeName(QFileInfo(m_target).fileName()).size();
    if (nameBytes > kMaxNameBytes - kTemporarySuffixBytes
        || !platform::replaceKeepsIdentity(m_target))
        return false;
    // Unbuffered: QSaveFile ignores a failure while flushing its buffer at commit, and would
    // replace the target with what little reached the disk. Each write goes through at once.
    m_replacement.setFileName(m_target);
    if (!m_replacement.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        if (!QFileInfo(m_target).isFile())
            raise(openFailure(m_target, FileMode::Output));
        return false;
    }
    if (platform::giveIdentity(m_target, m_replacement))
        return true;
    m_replacement.cancelWriting();
    (void)m_replacement.commit(); // removes the new file
    return false;
}

// An existing file is opened as it is, without asking to create it: in a sticky folder anyone
// may write to, Linux refuses that for a file of another owner (fs.protected_regular).
void SaveFile::openInPlace()
{
    m_inPlace.setFileName(m_target);
    m_created = !QFileInfo::exists(m_target);
    const auto mode = m_created ? QIODevice::NewOnly : QIODevice::ExistingOnly;
    if (!m_inPlace.open(QIODevice::ReadWrite | QIODevice::Unbuffered | mode))
        raise(openFailure(m_target, FileMode::Output));
}

void SaveFile::write(const QByteArray& bytes)
{
    // Spoiled until the bytes have gone through, whatever stops them.
    m_spoiled = true;
    m_written += bytes.size();
    if (m_inPlace.isOpen()) {
        m_pending += bytes;
    } else if (m_replacement.write(bytes) != bytes.size()) {
        // A short write is not an error to QSaveFile, which would commit the cut-off file.
        m_replacement.cancelWriting();
        raise(writeFailure());
    }
    m_spoiled = false;
}

void SaveFile::commit()
{
    if (m_inPlace.isOpen())
        return commitInPlace();
    // QSaveFile syncs before it renames but ignores a failure there: a file system that reports
    // a full disk only at sync would otherwise get the cut-off file in place of the old one.
    if (!platform::syncToDisk(m_replacement)) {
        m_replacement.cancelWriting();
        raise(writeFailure());
    }
    if (!m_replacement.commit())
        raise(writeFailure());
}

// Room for the longer text is taken first, so that a full disk fails before a byte changes;
// a write that fails all the same is undone with the old bytes.
void SaveFile::commitInPlace()
{
    // Where the system can put a new file in place of this one and keep what makes it this file,
    // that is safer than overwriting it.
    switch (platform::replaceWhole(m_inPlace, m_pending)) {
    case platform::Replacement::Done:
        return;
    case platform::Replacement::Failed:
        raise(writeFailure());
    case platform::Replacement::InPlace:
        break;
    }
    const QByteArray old = m_inPlace.readAll();
    if (old.size() != m_inPlace.size())
        raise(Error::DeviceIOError);
    // A reservation cut short may have grown the file.
    if (!platform::reserveSpace(m_inPlace, std::max(old.size(), m_pending.size()))) {
        putBack(old);
        raise(Error::DiskFull);
    }
    if (!putInPlace(m_pending)) {
        const Error error = writeFailure();
        putBack(old);
        raise(error);
    }
}

// The old bytes and length back, as far as the disk lets: a write that goes part of the way is
// taken up where it stopped, and a block it refuses is left for the ones after it. A file this
// save created goes again.
void SaveFile::putBack(const QByteArray& old)
{
    if (m_created) {
        (void)m_inPlace.remove();
        return;
    }
    for (qint64 at = 0; at < old.size();) {
        const qint64 written
            = m_inPlace.seek(at) ? m_inPlace.write(old.constData() + at, old.size() - at) : -1;
        at += written > 0 ? written : kBlock;
    }
    (void)m_inPlace.resize(old.size());
    (void)platform::syncToDisk(m_inPlace);
}

bool SaveFile::putInPlace(const QByteArray& bytes)
{
    return m_inPlace.seek(0) && m_inPlace.write(bytes) == bytes.size()
        && m_inPlace.resize(bytes.size()) && platform::syncToDisk(m_inPlace);
}

// Disk full when the volume has no room left for what the file was to hold.
Error SaveFile::writeFailure() const
{
    const QStorageInfo volume(QFileInfo(m_target).absolutePath());
    const qint64 block = std::max(volume.blockSize(), 1);
    const qint64 needed = (m_written + block - 1) / block * block;
    return volume.isValid() && volume.bytesAvailable() < needed ? Error::DiskFull
                                                                : Error::DeviceIOError;
}

} // namespace runtime
