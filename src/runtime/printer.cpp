// The printer document: text appended line by line to the default print queue, released to the
// spooler when the program ends.
#include "platform.h"
#include "runtime.h"
#include "services.h"

#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QStringList>
#include <QTextLayout>

#include <memory>

namespace runtime {

namespace {

constexpr int kFontPointSize = 10;
constexpr int kTabColumns = 8;
constexpr double kMarginMillimetres = 15.0;

struct Document {
    QPrinter printer { QPrinter::HighResolution };
    QPainter painter;
    QFont font;
    // Where the next line goes, in device pixels from the top of the current page.
    qreal y = 0;
};

std::unique_ptr<Document> g_document;
QString g_pdfFile;

// Until the painter ends, Qt keeps the whole document to itself: nothing reaches the spooler.
std::unique_ptr<Document> startDocument()
{
    auto document = std::make_unique<Document>();
    QPrinter& printer = document->printer;
    if (g_pdfFile.isEmpty()) {
        // A QPrinter left to itself prints nowhere, or to the first queue when there is no
        // default; only the default queue is wanted.
        const QPrinterInfo queue = QPrinterInfo::defaultPrinter();
        if (queue.isNull())
            raise(Error::PrinterError);
        printer.setPrinterName(queue.printerName());
    } else {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(g_pdfFile);
    }
    printer.setDocName(QString::fromLatin1(kAppTitle));
    printer.setPageMargins(
        QMarginsF(kMarginMillimetres, kMarginMillimetres, kMarginMillimetres, kMarginMillimetres),
        QPageLayout::Millimeter);
    if (!document->painter.begin(&printer))
        raise(Error::PrinterError);
    document->font = fixedPitchFont(kFontPointSize);
    document->painter.setFont(document->font);
    return document;
}

// The lines of the text as the editor breaks them: CR LF, LF or CR.
QStringList linesOf(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text.split(QLatin1Char('\n'));
}

// Tabs become spaces up to the next multiple of 8 columns, as the assembler counts them; in a
// fixed-pitch font that keeps the columns of the source.
QString expandTabs(const QString& line)
{
    QString expanded;
    expanded.reserve(line.size());
    for (const QChar c : line) {
        if (c == QLatin1Char('\t'))
            expanded.append(QString(kTabColumns - expanded.size() % kTabColumns, QLatin1Char(' ')));
        else
            expanded.append(c);
    }
    return expanded;
}

// Lays out one line at the page width and draws it, wrapped lines and all, starting new pages
// as they fill.
void printLine(Document& document, const QString& line)
{
    QPrinter& printer = document.printer;
    const qreal pageWidth = printer.width();
    const qreal pageHeight = printer.height();

    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    QTextLayout layout(expandTabs(line), document.font, &printer);
    layout.setTextOption(option);
    layout.beginLayout();
    for (QTextLine row = layout.createLine(); row.isValid(); row = layout.createLine()) {
        row.setLeadingIncluded(true);
        row.setLineWidth(pageWidth);
        row.setPosition(QPointF(0, 0));
    }
    layout.endLayout();

    for (int i = 0; i < layout.lineCount(); ++i) {
        const QTextLine row = layout.lineAt(i);
        if (document.y > 0 && document.y + row.height() > pageHeight) {
            if (!printer.newPage())
                raise(Error::PrinterError);
            document.y = 0;
        }
        row.draw(&document.painter, QPointF(0, document.y));
        document.y += row.height();
    }
}

// Ends the document: Qt hands it to the spooler now.
void endDocument()
{
    if (!g_document)
        return;
    const std::unique_ptr<Document> document = std::move(g_document);
    if (!document->painter.end())
        raise(Error::PrinterError);
}

} // namespace

// DejaVu Sans Mono lines up assembly columns; where the program ships it, it is loaded on first
// use. A fixed-pitch font stands in for it where it is neither installed nor shipped.
QFont fixedPitchFont(int pointSize)
{
    static const bool loaded = (platform::loadShippedFonts(), true);
    Q_UNUSED(loaded);
    QFont font(QStringLiteral("DejaVu Sans Mono"), pointSize);
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    return font;
}

void printerOutput(const QString& text)
{
    if (!g_document) {
        g_document = startDocument();
        atProgramEnd(endDocument);
    }
    for (const QString& line : linesOf(text))
        printLine(*g_document, line);
}

void setPrinterPdfFile(const QString& path)
{
    g_pdfFile = path;
}

} // namespace runtime
