// Reading a file in the Windows registry editor's export format (REGEDIT4 or "Windows Registry
// Editor Version 5.00") into a hive. The contents are untrusted: what cannot be read is skipped.
#include "reghive.h"

#include <QFile>
#include <QStringDecoder>
#include <QStringList>
#include <QStringTokenizer>

#include <algorithm>
#include <optional>
#include <utility>

namespace runtime {

namespace {

// A hive this large is not ours: it is not read at all rather than read in part.
constexpr qint64 kLargestHive = 8 * 1024 * 1024;

// Up to `maxDigits` hex digits, nothing else.
std::optional<std::uint32_t> hexNumber(QStringView text, int maxDigits)
{
    if (text.isEmpty() || text.size() > maxDigits)
        return {};
    std::uint32_t number = 0;
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        const char16_t lower = c | 0x20;
        if (c >= u'0' && c <= u'9')
            number = number * 16 + (c - u'0');
        else if (lower >= u'a' && lower <= u'f')
            number = number * 16 + (lower - u'a' + 10);
        else
            return {};
    }
    return number;
}

// "00,1f,ff": the bytes, or none when any item is not a byte.
std::optional<QByteArray> hexBytes(QStringView text)
{
    QByteArray bytes;
    if (text.trimmed().isEmpty())
        return bytes;
    for (QStringView item : QStringTokenizer(text, u',')) {
        const auto byte = hexNumber(item.trimmed(), 2);
        if (!byte)
            return {};
        bytes.append(static_cast<char>(*byte));
    }
    return bytes;
}

// A double-quoted text at the start of `text`, with \\ and \" escaped; `end` gets the index
// after its closing quote.
std::optional<QString> quoted(QStringView text, qsizetype* end)
{
    if (!text.startsWith(u'"'))
        return {};
    QString result;
    for (qsizetype i = 1; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'"') {
            *end = i + 1;
            return result;
        }
        if (c == u'\\') {
            if (++i == text.size() || (text[i] != u'\\' && text[i] != u'"'))
                return {};
        }
        result += text[i];
    }
    return {};
}

class Parser {
public:
    explicit Parser(bool wide)
        : m_wide(wide)
    {
    }

    void line(QStringView line)
    {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(u';'))
            return;
        if (line.startsWith(u'['))
            keySection(line);
        else if (m_key)
            valueLine(line);
    }

    RegHive takeHive() { return std::move(m_hive); }

private:
    // A section that deletes a key, or names no key we know, takes the values after it nowhere.
    void keySection(QStringView line)
    {
        m_key.reset();
        if (!line.endsWith(u']') || line.startsWith(u"[-"))
            return;
        // A key's parents exist with it, as they do in a registry. A key Windows could not
        // hold takes its values nowhere; the parents made on the way stay, as they would.
        std::optional<RegHive::Key> key;
        for (QStringView part :
            QStringTokenizer(line.sliced(1, line.size() - 2), u'\\', Qt::SkipEmptyParts)) {
            key = key ? m_hive.child(*key, part) : m_hive.root(part);
            if (!key)
                return;
        }
        m_key = key;
    }

    void valueLine(QStringView line)
    {
        QString name;
        qsizetype at = 1;
        if (!line.startsWith(u'@')) {
            const auto text = quoted(line, &at);
            if (!text)
                return;
            name = *text;
        }
        const QStringView rest = line.sliced(at).trimmed();
        if (!rest.startsWith(u'='))
            return;
        const QStringView data = rest.sliced(1).trimmed();
        if (data == u"-")
            m_hive.removeValue(*m_key, name);
        else if (auto value = valueData(data))
            m_hive.setValue(*m_key, name, std::move(*value));
    }

    std::optional<RegValue> valueData(QStringView data) const
    {
        if (data.startsWith(u'"')) {
            qsizetype end = 0;
            const auto text = quoted(data, &end);
            if (!text || end != data.size())
                return {};
            return RegValue { kRegSz, text->toLocal8Bit().append('\0') };
        }
        if (data.startsWith(u"dword:", Qt::CaseInsensitive)) {
            const auto number = hexNumber(data.sliced(6), 8);
            if (!number)
                return {};
            QByteArray bytes(4, '\0');
            for (int i = 0; i < 4; ++i)
                bytes[i] = static_cast<char>((*number >> (8 * i)) & 0xff);
            return RegValue { kRegDword, bytes };
        }
        return hexData(data);
    }

    // hex:bytes is binary; hex(N):bytes has type N.
    std::optional<RegValue> hexData(QStringView data) const
    {
        std::optional<std::uint32_t> type = kRegBinary;
        qsizetype colon = data.indexOf(u':');
        if (colon < 0 || !data.startsWith(u"hex", Qt::CaseInsensitive))
            return {};
        if (colon != 3) {
            const QStringView kind = data.sliced(3, colon - 3);
            if (!kind.startsWith(u'(') || !kind.endsWith(u')'))
                return {};
            type = hexNumber(kind.sliced(1, kind.size() - 2), 8);
        }
        const auto bytes = hexBytes(data.sliced(colon + 1));
        if (!type || !bytes)
            return {};
        return RegValue { *type, m_wide && isStringType(*type) ? narrowed(*bytes) : *bytes };
    }

    // A version 5 export holds string data in UTF-16; the A functions give it 8-bit.
    static QByteArray narrowed(const QByteArray& utf16)
    {
        QStringDecoder decode(QStringDecoder::Utf16LE, QStringDecoder::Flag::ConvertInitialBom);
        const QString text = decode(utf16.left(utf16.size() & ~qsizetype(1)));
        return text.toLocal8Bit();
    }

    bool m_wide;
    std::optional<RegHive::Key> m_key;
    RegHive m_hive;
};

QString decoded(const QByteArray& contents)
{
    if (contents.startsWith("\xff\xfe")) {
        QStringDecoder decode(QStringDecoder::Utf16LE);
        return decode(contents.sliced(2));
    }
    if (contents.startsWith("\xef\xbb\xbf"))
        return QString::fromUtf8(contents.sliced(3));
    return QString::fromUtf8(contents);
}

// Lines as the format means them: hex data goes on over lines that end with a backslash.
QStringList logicalLines(const QString& text)
{
    QStringList lines;
    QString current;
    bool goesOn = false;
    for (QStringView line : QStringTokenizer(text, u'\n')) {
        line = line.trimmed();
        // Joined in place, and only a hex value's first line is searched: a long value spread
        // over many lines costs no more than one long line.
        goesOn = line.endsWith(u'\\') && (goesOn || line.contains(u"=hex", Qt::CaseInsensitive));
        if (current.isNull())
            current = line.toString();
        else
            current += line;
        if (goesOn) {
            current.chop(1);
            continue;
        }
        lines.append(std::exchange(current, QString()));
    }
    if (!current.isNull())
        lines.append(current);
    return lines;
}

} // namespace

std::unique_ptr<Registry> parseRegFile(const QByteArray& contents)
{
    const QStringList lines = logicalLines(decoded(contents));
    const auto header = std::find_if(
        lines.begin(), lines.end(), [](const QString& line) { return !line.trimmed().isEmpty(); });
    if (header == lines.end())
        return serveRegHive(RegHive());
    const QString first = header->trimmed();
    const bool wide = first == u"Windows Registry Editor Version 5.00";
    if (!wide && first != u"REGEDIT4")
        return serveRegHive(RegHive());

    Parser parser(wide);
    for (auto line = std::next(header); line != lines.end(); ++line)
        parser.line(*line);
    return serveRegHive(parser.takeHive());
}

std::unique_ptr<Registry> readRegFile(const QString& path)
{
    QFile file(path);
    QByteArray contents;
    if (file.open(QIODevice::ReadOnly)) {
        contents = file.read(kLargestHive + 1);
        if (contents.size() > kLargestHive)
            contents.clear();
    }
    return parseRegFile(contents);
}

} // namespace runtime
