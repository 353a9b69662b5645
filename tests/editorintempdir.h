// A fresh editor window working in a fresh temporary folder, its prompts answered from a script.
#pragma once

#include "fakes.h"
#include "filefaults.h"

#include <frmeditor.h>
#include <services.h>

#include <QTemporaryDir>
#include <QTest>

#include <memory>

class EditorInTempDir : public QObject {
protected:
    // For each test's init() and cleanup().
    void startEditor()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_previousDir = QDir::currentPath();
        // Names without a directory resolve against the current directory.
        QVERIFY(QDir::setCurrent(m_dir->path()));
        m_dialogs = std::make_unique<ScriptedDialogs>();
        m_editor = std::make_unique<editor::frmEditor>();
        m_editor->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_editor.get()));
    }

    void stopEditor()
    {
        m_editor.reset();
        m_dialogs.reset();
        runtime::setInputFilter({});
        runtime::skipOnError(runtime::closeAllFiles);
        QDir::setCurrent(m_previousDir);
        // What a test locked must be removable again.
        const auto ownerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
        for (const char* folder : { "in", "out" })
            QFile::setPermissions(path(folder), ownerOnly);
        m_dir.reset();
    }

    QString path(const QString& name) const { return m_dir->filePath(name); }
    QString text() const { return m_editor->text(); }

    void open(const QString& answer)
    {
        m_dialogs->answers << answer;
        m_editor->open->trigger();
    }

    void save(const QString& answer)
    {
        m_dialogs->answers << answer;
        m_editor->save->trigger();
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    std::unique_ptr<editor::frmEditor> m_editor;

private:
    QString m_previousDir;
};
