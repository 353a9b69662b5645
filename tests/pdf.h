// Printed documents read back from PDF with poppler's pdftotext.
#pragma once

#include <QList>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

// The text of a PDF, pages ended by form feeds, ligatures such as U+FB01 taken apart; "" when it
// cannot be read. `-layout` keeps blank lines and columns.
inline QString pdfText(const QString& path, const QStringList& options = {})
{
    QProcess pdftotext;
    pdftotext.start(
        QStringLiteral("pdftotext"), options + QStringList { path, QStringLiteral("-") });
    if (!pdftotext.waitForFinished(30000) || pdftotext.exitStatus() != QProcess::NormalExit
        || pdftotext.exitCode() != 0)
        return {};
    return QString::fromUtf8(pdftotext.readAllStandardOutput())
        .normalized(QString::NormalizationForm_KC);
}

struct PdfWord {
    QString text;
    double left;
    double right;
    double top;
    int page;
};

// Every word of a PDF with its box on the page, in points, in reading order.
inline QList<PdfWord> pdfWords(const QString& path)
{
    static const QRegularExpression tag(QStringLiteral(
        R"re(<page |<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="[\d.]+">([^<]*)</word>)re"));
    QList<PdfWord> words;
    int page = 0;
    for (const auto& match : tag.globalMatch(pdfText(path, { QStringLiteral("-bbox") }))) {
        if (match.captured(0).startsWith(QLatin1String("<page"))) {
            ++page;
            continue;
        }
        words.append({ match.captured(4), match.captured(1).toDouble(),
            match.captured(3).toDouble(), match.captured(2).toDouble(), page });
    }
    return words;
}
