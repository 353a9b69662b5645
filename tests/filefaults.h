// Real files and real faults on them: a full disk, a read-only mount, a user without rights.
// Mounting and changing user need root; tests skip those cases otherwise.
#pragma once

#include <runtime.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>

#include <functional>
#include <memory>

#include <unistd.h>

inline bool isRoot() { return ::geteuid() == 0; }

inline void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

inline QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// The files in a folder, so that a test sees a temporary file left behind.
inline QStringList namesIn(const QString& path)
{
    return QDir(path).entryList(QDir::Files | QDir::Hidden | QDir::System);
}

// The number of the run-time error `statement` raises, 0 when it raises none.
inline int errorOf(const std::function<void()>& statement)
{
    try {
        statement();
    } catch (const runtime::RuntimeError& error) {
        return error.number();
    }
    return 0;
}

// A file system mounted on `dir` while the object lives.
class Mount {
public:
    // Lazily, so that a file a failed test left open cannot keep the mount behind.
    ~Mount() { QProcess::execute(QStringLiteral("umount"), { "--lazy", m_dir }); }
    Q_DISABLE_COPY_MOVE(Mount)

    // A tmpfs of `kib` KiB that, after `keep` is written into it, has `room` bytes left, so
    // that a longer write stops partway.
    static std::unique_ptr<Mount> fullDisk(const QString& dir, int kib, int room,
        const std::function<void()>& keep)
    {
        const QString size = QStringLiteral("size=%1k").arg(kib);
        auto mount = mountOn(dir, { "-t", "tmpfs", "-o", size, "tmpfs", dir });
        if (!mount)
            return mount;
        keep();
        const QString spare = dir + QStringLiteral("/spare");
        writeFile(spare, QByteArray(room, 's'));
        QFile filler(dir + QStringLiteral("/filler"));
        filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
        const QByteArray block(512, 'f');
        while (filler.write(block) == block.size()) { }
        QFile::remove(spare);
        return mount;
    }

    // `source` seen read-only through `dir`.
    static std::unique_ptr<Mount> readOnly(const QString& source, const QString& dir)
    {
        auto mount = mountOn(dir, { "--bind", source, dir });
        if (mount && QProcess::execute("mount", { "-o", "remount,bind,ro", dir }) != 0)
            mount.reset();
        return mount;
    }

private:
    explicit Mount(QString dir)
        : m_dir(std::move(dir))
    {
    }

    static std::unique_ptr<Mount> mountOn(const QString& dir, const QStringList& arguments)
    {
        if (!isRoot() || !QDir().mkpath(dir)
            || QProcess::execute(QStringLiteral("mount"), arguments) != 0)
            return nullptr;
        return std::unique_ptr<Mount>(new Mount(dir));
    }

    QString m_dir;
};

// File access as the user "nobody" while the object lives, when `wanted`, so that permission
// bits bind even for root; the saved user ID stays root, so the test can return to it. Without
// root, the test runs as a user whom permission bits bind already.
class AsNobody {
public:
    explicit AsNobody(bool wanted = true)
        : m_changed(wanted && isRoot() && ::setresuid(65534, 65534, 0) == 0)
    {
    }
    ~AsNobody()
    {
        if (m_changed && ::setresuid(0, 0, 0) != 0)
            qFatal("cannot return to root");
    }
    Q_DISABLE_COPY_MOVE(AsNobody)

private:
    bool m_changed;
};
