// What every test here shares: stand-ins for what a test cannot answer by hand, and small helpers.
#pragma once

#include <runtime.h>
#include <services.h>

#include <QApplication>
#include <QDir>
#include <QPointer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

// A file's bytes, or `missing` when it cannot be read.
inline QByteArray fileBytes(const QString& path, const QByteArray& missing = "<missing>")
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : missing;
}

inline bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The number of the run-time error `statement` raises, 0 when it raises none.
inline int errorOf(const std::function<void()>& statement)
{
    int number = 0;
    runtime::onErrorGoTo(statement, [&](const runtime::RuntimeError& e) { number = e.number(); });
    return number;
}

// Prompts answered from a script and recorded as "title: prompt"; messages recorded, not shown.
struct ScriptedDialogs final : runtime::Dialogs {
    ScriptedDialogs() { runtime::setDialogs(this); }
    ~ScriptedDialogs() override { runtime::setDialogs(nullptr); }
    QString prompt(const QString& text, const QString& title) override
    {
        prompts.append(title + ": " + text);
        return answers.isEmpty() ? QString() : answers.takeFirst();
    }
    void message(const QString& text) override { messages.append(text); }
    QStringList answers, prompts, messages;
};

// Command lines and programs recorded, not started; an empty path raises 53 as real launchers do.
struct RecordingLauncher final : runtime::Launcher {
    RecordingLauncher() { runtime::setLauncher(this); }
    ~RecordingLauncher() override { runtime::setLauncher(nullptr); }
    void launchCommandLine(const QString& commandLine, runtime::WindowStyle style) override
    {
        commandLines.append(commandLine), styles.append(style);
    }
    void launchProgram(const QString& path, runtime::WindowStyle style) override
    {
        programs.append(path), styles.append(style);
        if (path.isEmpty())
            runtime::raise(runtime::Error::FileNotFound);
    }
    QStringList commandLines, programs;
    QList<runtime::WindowStyle> styles;
};

// The registry `hive`, or the system's where there is none, counting keys opened less closed.
struct CountingRegistry : runtime::Registry {
    explicit CountingRegistry(std::unique_ptr<runtime::Registry> hive)
        : owned(std::move(hive))
        , inner(owned ? *owned : runtime::registry())
    {
        runtime::setRegistry(this);
    }
    ~CountingRegistry() override { runtime::setRegistry(nullptr); }
    Q_DISABLE_COPY_MOVE(CountingRegistry)
    int openKey(runtime::RegKey root, const QByteArray& sub, std::uint32_t access,
        runtime::RegKey* key) override
    {
        const int result = inner.openKey(root, sub, access, key);
        return open += result == runtime::kRegSuccess, result;
    }
    int queryValue(runtime::RegKey key, const QByteArray& name, std::uint32_t* type, char* data,
        std::uint32_t* size) override
    {
        return inner.queryValue(key, name, type, data, size);
    }
    int closeKey(runtime::RegKey key) override { return --open, inner.closeKey(key); }
    std::unique_ptr<runtime::Registry> owned;
    runtime::Registry& inner;
    int open = 0;
};
