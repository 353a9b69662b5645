// New, Open and Save: the editor text to and from source files.
#include "frmeditor.h"

#include <runtime.h>
#include <services.h>

namespace editor {

namespace {

// Open reads through file number 1, Save writes through file number 2.
constexpr int kOpenFile = 1;
constexpr int kSaveFile = 2;

// The source name as typed, with the extension added every time, even to "demo.z80".
QString sourcePath(const QString& name) { return name + QStringLiteral(".z80"); }

// Every line of file number 1, each followed by CR LF, read until the end or a failure.
// A failure ends the reading silently: the lines read so far are kept, and the file is closed
// so that the next Open can use its number again.
QString readSource(const QString& path)
{
    QString text;
    runtime::onErrorGoTo(
        [&] {
            runtime::openFile(path, runtime::FileMode::Input, kOpenFile);
            while (!runtime::atEndOfFile(kOpenFile)) {
                text += runtime::readLine(kOpenFile);
                text += QLatin1String("\r\n");
            }
            runtime::closeAllFiles();
        },
        [](const runtime::RuntimeError&) {
            runtime::skipOnError([] { runtime::closeFile(kOpenFile); });
        });
    return text;
}

} // namespace

void frmEditor::newClicked() { setText(QString()); }

void frmEditor::openClicked()
{
    const QString name = runtime::prompt(QStringLiteral("Enter Name of File to Retrieve"),
        QStringLiteral("Open"));
    if (name.isEmpty())
        return;
    const runtime::WaitCursor wait;
    const QString text = readSource(sourcePath(name));
    // A file without lines changes nothing. Otherwise the text goes in once, in the font the
    // font rule gives it, so that the document is laid out once.
    if (text.isEmpty())
        return;
    applyFontRule();
    setText(text);
}

void frmEditor::saveClicked()
{
    const QString name = runtime::prompt(QStringLiteral("Enter a Name"), QStringLiteral("Save As"));
    if (name.isEmpty())
        return;
    const runtime::WaitCursor wait;
    const QString content = text();
    // Writing a line adds CR LF, so a text that already ends with one goes without it: saving
    // what Open loaded gives back the same bytes instead of one more empty line each time.
    QStringView body(content);
    if (body.endsWith(u"\r\n"))
        body.chop(2);
    runtime::openFile(sourcePath(name), runtime::FileMode::Output, kSaveFile);
    try {
        runtime::writeLine(kSaveFile, body);
    } catch (...) {
        // Closing a file whose write failed discards it, and frees its number for the next Save.
        runtime::closeFile(kSaveFile);
        throw;
    }
    runtime::closeFile(kSaveFile);
}

} // namespace editor
