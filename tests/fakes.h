// Stand-ins for what a test cannot answer by hand.
#pragma once

#include <runtime.h>
#include <services.h>

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <functional>

// Prompts answered from a script; messages recorded instead of shown.
class ScriptedDialogs final : public runtime::Dialogs {
public:
    ScriptedDialogs() { runtime::setDialogs(this); }
    ~ScriptedDialogs() override { runtime::setDialogs(nullptr); }
    Q_DISABLE_COPY_MOVE(ScriptedDialogs)

    QString prompt(const QString& text, const QString& title) override
    {
        prompts.append({ text, title });
        return answers.isEmpty() ? QString() : answers.takeFirst();
    }
    void message(const QString& text) override { messages.append(text); }

    QStringList answers;
    QList<QPair<QString, QString>> prompts;
    QStringList messages;
};

// Runs `act` on the next modal box that comes up, from the event loop that box runs; gives up
// after five seconds, so that a box that never shows fails the test instead of hanging it.
inline void whenModalBoxShows(std::function<void(QWidget*)> act)
{
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, act = std::move(act), ticks = 0]() mutable {
        if (++ticks > 500) {
            timer->deleteLater();
            timer->stop();
            return;
        }
        if (QWidget* box = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            const QPointer<QWidget> shown = box;
            act(box);
            // A check in `act` that failed left the box open: close it, so the test fails
            // instead of waiting for an answer.
            if (shown && shown->isVisible())
                shown->close();
        }
    });
    timer->start();
}

// Command lines and programs recorded instead of started.
class RecordingLauncher final : public runtime::Launcher {
public:
    RecordingLauncher() { runtime::setLauncher(this); }
    ~RecordingLauncher() override { runtime::setLauncher(nullptr); }
    Q_DISABLE_COPY_MOVE(RecordingLauncher)

    void launchCommandLine(const QString& commandLine, runtime::WindowStyle style) override
    {
        commandLines.append(commandLine);
        styles.append(style);
    }
    // As the real launchers do, a program that cannot start (an empty path, or `fail`) raises 53.
    void launchProgram(const QString& path, runtime::WindowStyle style) override
    {
        programs.append(path);
        styles.append(style);
        if (path.isEmpty() || fail)
            runtime::raise(runtime::Error::FileNotFound);
    }

    QStringList commandLines;
    QStringList programs;
    QList<runtime::WindowStyle> styles;
    bool fail = false;
};
