// The output side of sequential files: a file that takes its new bytes whole or not at all, and
// keeps what makes it that file. Private to the runtime layer.
#pragma once

#include "runtime.h"
#include "services.h"

#include <QByteArray>
#include <QFile>
#include <QSaveFile>

namespace runtime {

// Why opening `path` failed, read off the file system, as Qt reports only that it did.
Error openFailure(const QString& path, FileMode mode);

// Written beside the target and renamed over it, with the target's owner, group and mode, where
// that keeps the file's identity. Where it would not (other hard links, an owner or attribute
// the new file cannot be given, a folder that refuses a new file, a name too long for a
// temporary one beside it) the bytes are collected and written in place at commit, with the old
// bytes put back if that fails, unless the system's own replace keeps the file (Windows'
// ReplaceFileW). Either way a failure leaves the target as it was.
class SaveFile {
public:
    // Symbolic links are followed; a loop of them is refused with error 75.
    explicit SaveFile(const QString& path);
    Q_DISABLE_COPY_MOVE(SaveFile)

    // Raises when the bytes cannot be written; the file is spoiled from then on.
    void write(const QByteArray& bytes);
    bool spoiled() const { return m_spoiled; }
    void spoil() { m_spoiled = true; }
    // Puts what was written in place of the target, or raises and leaves the target as it was.
    void commit();

private:
    bool openReplacement();
    void openInPlace();
    void commitInPlace();
    bool putInPlace(const QByteArray& bytes);
    void putBack(const QByteArray& old);
    Error writeFailure() const;

    QString m_target;
    QSaveFile m_replacement;
    QFile m_inPlace;
    QByteArray m_pending;
    qint64 m_written = 0;
    bool m_created = false; // in place, by this save
    bool m_spoiled = false;
};

} // namespace runtime
