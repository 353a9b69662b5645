// New, Open and Save: the editor text to and from source files.
#include "frmeditor.h"

#include <runtime.h>
#include <services.h>

#include <algorithm>

namespace editor {

namespace {

// Open reads through file number 1, Save writes through file number 2.
constexpr int kOpenFile = 1;
constexpr int kSaveFile = 2;

// The source name as typed, with the extension added every time, even to "demo.z80".
QString sourcePath(const QString& name) { return name + QStringLiteral(".z80"); }

// Every line of file number 1, each followed by CR LF, read until the end or a failure.
// A failure ends the reading silently: the lines read so far are kept, and the file is closed
// so that the next Open can use its number again. Memory running out is no such failure: the
// text would be a part of the file, which a Save would then cut it to.
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
        [](const runtime::RuntimeError& error) {
            runtime::skipOnError([] { runtime::closeFile(kOpenFile); });
            if (error.number() == int(runtime::Error::OutOfMemory))
                throw error;
        });
    return text;
}

} // namespace

// The memory the text box takes at its peak while it places `text` (measured with Qt 6.4; the
// table is in the README). Each line is a block of the document, some 210 bytes with the spare
// room its maps grow by, and one that holds text a fragment too, 70 more; the document copies
// the characters, 2 bytes each. The costliest line is laid out whole as soon as any of it shows:
// 46 bytes a character and 110 a run the layout shapes at once, which every tab starts and ends
// (some 100, and room for a narrower window, whose more screen lines cost more).
qint64 placingCost(QStringView text)
{
    qint64 lines = 0;
    qint64 filled = 0;
    qint64 costliest = 0;
    qint64 line = 0;
    bool afterTab = true; // the first character of a line starts a run
    for (const QChar ch : text) {
        if (ch == u'\n') {
            ++lines;
            filled += line > 0;
            costliest = std::max(costliest, line);
            line = 0;
            afterTab = true;
        } else if (ch != u'\r') {
            const bool tab = ch == u'\t';
            line += 46 + (tab || afterTab ? 110 : 0);
            afterTab = tab;
        }
    }
    return (lines + 1) * 210 + filled * 70 + text.size() * 2 + std::max(costliest, line);
}

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
    // Refused while the editor's text is still whole, instead of ending the program halfway.
    if (placingCost(text) > runtime::availableMemory())
        runtime::raise(runtime::Error::OutOfMemory);
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
