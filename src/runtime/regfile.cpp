// A registry read from a file in the Windows registry editor's export format. It stands in for
// the Windows registry where there is none, and answers as advapi32 does: the same error codes,
// the same sizes, string data 8-bit.
#include "services.h"

#include <QFile>
#include <QHash>
#include <QStringDecoder>
#include <QStringList>
#include <QStringTokenizer>

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <utility>

namespace runtime {

namespace {

// A hive this large is not ours: it is not read at all rather than read in part.
constexpr qint64 kLargestHive = 8 * 1024 * 1024;

// Rights that would change the registry: set value, create sub-key, create link, delete, write
// DAC, write owner, generic all, generic write.
constexpr std::uint32_t kWriteRights
    = 0x0002 | 0x0004 | 0x0020 | 0x00010000 | 0x00040000 | 0x00080000 | 0x10000000 | 0x40000000;

constexpr int kRegInvalidParameter = 87;

struct Root {
    std::uint32_t code;
    const char* name;
};

constexpr std::array kRoots {
    Root { 0x80000000, "HKEY_CLASSES_ROOT" },
    Root { 0x80000001, "HKEY_CURRENT_USER" },
    Root { 0x80000002, "HKEY_LOCAL_MACHINE" },
    Root { 0x80000003, "HKEY_USERS" },
    Root { 0x80000005, "HKEY_CURRENT_CONFIG" },
};

struct Value {
    std::uint32_t type = 0;
    QByteArray data;
};

// Keys and value names are found without regard to case, as on Windows: they are stored
// case-folded, a key as its whole path from the root.
using Values = QHash<QString, Value>;
using Keys = QHash<QString, Values>;

QString folded(QStringView text)
{
    return text.toString().toCaseFolded();
}

QString folded(const char* latin1)
{
    return QString::fromLatin1(latin1).toCaseFolded();
}

bool isStringType(std::uint32_t type)
{
    return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz;
}

// "HKEY_LOCAL_MACHINE\Software\X" as the folded path it is stored under; none for an unknown root.
std::optional<QString> keyPath(QStringView text)
{
    const QList<QStringView> parts = text.split(u'\\', Qt::SkipEmptyParts);
    if (parts.isEmpty())
        return {};
    const auto* root = std::find_if(kRoots.begin(), kRoots.end(), [&](const Root& r) {
        return parts.first().compare(QLatin1String(r.name), Qt::CaseInsensitive) == 0;
    });
    if (root == kRoots.end())
        return {};
    QString path = folded(root->name);
    for (qsizetype i = 1; i < parts.size(); ++i)
        path += u'\\' + folded(parts[i]);
    return path;
}

// ---- Reading the export format ----------------------------------------------------------------

// Up to `maxDigits` hex digits, nothing else.
std::optional<std::uint32_t> hexNumber(QStringView text, int maxDigits)
{
    if (text.isEmpty() || text.size() > maxDigits)
        return {};
    std::uint32_t number = 0;
    for (QChar c : text) {
        const int digit = QByteArrayView("0123456789abcdef").indexOf(c.toLower().toLatin1());
        if (c.unicode() > 0x7f || digit < 0)
            return {};
        number = number * 16 + static_cast<std::uint32_t>(digit);
    }
    return number;
}

// "00,1f,ff": the bytes, or none when any item is not a byte.
std::optional<QByteArray> hexBytes(QStringView text)
{
    QByteArray bytes;
    if (text.trimmed().isEmpty())
        return bytes;
    for (QStringView item : text.split(u',')) {
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

    Keys takeKeys() { return std::move(m_keys); }

private:
    // A section that deletes a key, or names no key we know, takes the values after it nowhere.
    void keySection(QStringView line)
    {
        m_key.reset();
        if (!line.endsWith(u']') || line.startsWith(u"[-"))
            return;
        m_key = keyPath(line.sliced(1, line.size() - 2));
        // A key's parents exist with it, as they do in a registry.
        for (QString path = m_key.value_or(QString()); !path.isEmpty() && !m_keys.contains(path);
             path.truncate(std::max<qsizetype>(path.lastIndexOf(u'\\'), 0)))
            m_keys[path];
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
        Values& values = m_keys[*m_key];
        if (data == u"-")
            values.remove(folded(name));
        else if (const auto value = valueData(data))
            values.insert(folded(name), *value);
    }

    std::optional<Value> valueData(QStringView data) const
    {
        if (data.startsWith(u'"')) {
            qsizetype end = 0;
            const auto text = quoted(data, &end);
            if (!text || end != data.size())
                return {};
            return Value { kRegSz, text->toLocal8Bit().append('\0') };
        }
        if (data.startsWith(u"dword:", Qt::CaseInsensitive)) {
            const auto number = hexNumber(data.sliced(6), 8);
            if (!number)
                return {};
            QByteArray bytes(4, '\0');
            for (int i = 0; i < 4; ++i)
                bytes[i] = static_cast<char>((*number >> (8 * i)) & 0xff);
            return Value { kRegDword, bytes };
        }
        return hexData(data);
    }

    // hex:bytes is binary; hex(N):bytes has type N.
    std::optional<Value> hexData(QStringView data) const
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
        return Value { *type, m_wide && isStringType(*type) ? narrowed(*bytes) : *bytes };
    }

    // A version 5 export holds string data in UTF-16; the A functions give it 8-bit.
    static QByteArray narrowed(const QByteArray& utf16)
    {
        QStringDecoder decode(QStringDecoder::Utf16LE, QStringDecoder::Flag::ConvertInitialBom);
        const QString text = decode(utf16.left(utf16.size() & ~qsizetype(1)));
        return text.toLocal8Bit();
    }

    bool m_wide;
    std::optional<QString> m_key;
    Keys m_keys;
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

class RegFileRegistry final : public Registry {
public:
    explicit RegFileRegistry(Keys keys)
        : m_keys(std::move(keys))
    {
        for (const Root& root : kRoots)
            m_keys[folded(root.name)];
    }

    int openKey(RegKey root, const QByteArray& subKey, std::uint32_t access, RegKey* key) override
    {
        if (access & kWriteRights)
            return kRegAccessDenied;
        std::optional<QString> path = pathOf(root);
        if (!path)
            return kRegInvalidHandle;
        for (QStringView part : QString::fromLocal8Bit(subKey).split(u'\\', Qt::SkipEmptyParts))
            *path += u'\\' + folded(part);
        if (!m_keys.contains(*path))
            return kRegFileNotFound;
        *key = m_next++;
        m_open.insert(*key, *path);
        return kRegSuccess;
    }

    int queryValue(RegKey key, const QByteArray& name, std::uint32_t* type, char* data,
        std::uint32_t* size) override
    {
        const std::optional<QString> path = pathOf(key);
        if (!path)
            return kRegInvalidHandle;
        const Values values = m_keys.value(*path);
        const auto found = values.constFind(folded(QString::fromLocal8Bit(name)));
        if (found == values.constEnd())
            return kRegFileNotFound;
        if (data && !size)
            return kRegInvalidParameter;
        if (type)
            *type = found->type;
        if (!size)
            return kRegSuccess;
        const auto needed = static_cast<std::uint32_t>(found->data.size());
        const std::uint32_t room = *size;
        *size = needed;
        if (!data)
            return kRegSuccess;
        if (room < needed)
            return kRegMoreData;
        std::memcpy(data, found->data.constData(), needed);
        // A string stored without its NUL still ends in one where there is room, uncounted.
        if (isStringType(found->type) && room > needed)
            data[needed] = '\0';
        return kRegSuccess;
    }

    int closeKey(RegKey key) override
    {
        if (m_open.remove(key) || rootPath(key))
            return kRegSuccess;
        return kRegInvalidHandle;
    }

private:
    // The path of a predefined root; none for any other key.
    static std::optional<QString> rootPath(RegKey key)
    {
        const auto* root = std::find_if(kRoots.begin(), kRoots.end(),
            [key](const Root& r) { return predefinedRegKey(r.code) == key; });
        return root != kRoots.end() ? std::optional(folded(root->name)) : std::nullopt;
    }

    std::optional<QString> pathOf(RegKey key) const
    {
        if (const auto root = rootPath(key))
            return root;
        const auto open = m_open.constFind(key);
        return open != m_open.constEnd() ? std::optional(*open) : std::nullopt;
    }

    Keys m_keys;
    QHash<RegKey, QString> m_open;
    RegKey m_next = 1;
};

} // namespace

std::unique_ptr<Registry> parseRegFile(const QByteArray& contents)
{
    const QStringList lines = logicalLines(decoded(contents));
    const auto header = std::find_if(
        lines.begin(), lines.end(), [](const QString& line) { return !line.trimmed().isEmpty(); });
    if (header == lines.end())
        return std::make_unique<RegFileRegistry>(Keys {});
    const QString first = header->trimmed();
    const bool wide = first == u"Windows Registry Editor Version 5.00";
    if (!wide && first != u"REGEDIT4")
        return std::make_unique<RegFileRegistry>(Keys {});

    Parser parser(wide);
    for (auto line = std::next(header); line != lines.end(); ++line)
        parser.line(*line);
    return std::make_unique<RegFileRegistry>(parser.takeKeys());
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
