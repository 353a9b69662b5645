#include "commandline.h"

#include <QDir>
#include <QFileInfo>

namespace runtime::platform {

QStringList splitCommandLine(const QString& commandLine)
{
    QStringList words;
    QString word;
    bool quoted = false;
    // A pair of quotes with nothing between them is still a word: an empty one.
    bool inWord = false;
    for (const QChar c : commandLine) {
        if (c == QLatin1Char('"')) {
            quoted = !quoted;
            inWord = true;
        } else if (!quoted && (c == QLatin1Char(' ') || c == QLatin1Char('\t'))) {
            if (inWord)
                words.append(word);
            word.clear();
            inWord = false;
        } else {
            word.append(c);
            inWord = true;
        }
    }
    if (inWord)
        words.append(word);
    return words;
}

QString findProgram(const QString& name)
{
    const auto fileAt = [](const QString& path) {
        const QFileInfo info(path);
        return info.isFile() ? info.absoluteFilePath() : QString();
    };
    if (name.isEmpty())
        return {};
    if (QDir::fromNativeSeparators(name).contains(QLatin1Char('/')))
        return fileAt(name);

    QStringList folders { QDir::currentPath() };
    folders += qEnvironmentVariable("PATH").split(QDir::listSeparator(), Qt::SkipEmptyParts);
    for (const QString& folder : folders) {
        const QString found = fileAt(QDir(folder).filePath(name));
        if (!found.isEmpty())
            return found;
    }
    return {};
}

} // namespace runtime::platform
