// Sequential files by number: line input and output in Windows-1252, with CR LF line ends.
#include "runtime.h"
#include "savefile.h"
#include "services.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <array>
#include <map>
#include <optional>
#include <utility>
#include <variant>

namespace runtime {

namespace {

// ---- Code page --------------------------------------------------------------------------------

// Windows-1252 bytes 80 to 9F; the rest of the code page is Latin-1. The five bytes it leaves
// undefined map to the C1 controls of the same number, so that decoding never loses a byte.
constexpr std::array<char16_t, 32> kHighBytes {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, //
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, //
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, //
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, //
};

constexpr char16_t decodeByte(unsigned char byte)
{
    return byte >= 0x80 && byte < 0xA0 ? kHighBytes[byte - 0x80] : char16_t(byte);
}

// The byte for a character, or -1 when the code page has none.
int encodeChar(char16_t ch)
{
    if (ch < 0x80 || (ch >= 0xA0 && ch <= 0xFF))
        return ch;
    const auto* found = std::find(kHighBytes.begin(), kHighBytes.end(), ch);
    return found != kHighBytes.end() ? int(0x80 + (found - kHighBytes.begin())) : -1;
}

void appendDecoded(QString& line, const char* begin, const char* end)
{
    const qsizetype at = line.size();
    line.resize(at + (end - begin));
    QChar* to = line.data() + at;
    for (const char* from = begin; from != end; ++from)
        *to++ = QChar(decodeByte(static_cast<unsigned char>(*from)));
}

// "Character "→" (U+2192) on line 3 ...": the line counts every line end before the character.
QString unencodable(QStringView text, qsizetype at)
{
    char32_t code = text[at].unicode();
    QString shown = text.mid(at, 1).toString();
    if (text[at].isHighSurrogate() && at + 1 < text.size() && text[at + 1].isLowSurrogate()) {
        code = QChar::surrogateToUcs4(text[at], text[at + 1]);
        shown = text.mid(at, 2).toString();
    }
    const QStringView before = text.first(at);
    const qsizetype line = 1 + before.count(u'\n') + before.count(u'\r')
        - before.count(u"\r\n");
    const QString name = QStringLiteral("U+%1").arg(uint(code), 4, 16, QLatin1Char('0')).toUpper();
    const bool visible = QChar::isPrint(code) && !QChar::isSpace(code);
    return QStringLiteral("Character %1 on line %2 is not in code page Windows-1252")
        .arg(visible ? QStringLiteral("\"%1\" (%2)").arg(shown, name) : name)
        .arg(line);
}

QByteArray encodeLine(QStringView text)
{
    QByteArray bytes(text.size() + 2, Qt::Uninitialized);
    char* to = bytes.data();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const int byte = encodeChar(text[i].unicode());
        if (byte < 0)
            raise(Error::InvalidProcedureCall, unencodable(text, i));
        *to++ = char(byte);
    }
    to[0] = '\r';
    to[1] = '\n';
    return bytes;
}

// ---- Open files -------------------------------------------------------------------------------

constexpr qint64 kChunk = 64 * 1024;

class InputFile {
public:
    explicit InputFile(std::unique_ptr<QIODevice> device)
        : m_device(std::move(device))
    {
    }

    bool atEnd() { return m_pos == m_buffer.size() && !fill(); }

    QString readLine()
    {
        if (atEnd())
            raise(Error::InputPastEndOfFile);
        QString line;
        for (;;) {
            const char* data = m_buffer.constData();
            const char* end = data + m_buffer.size();
            const char* stop = std::find_if(data + m_pos, end,
                [](char c) { return c == '\r' || c == '\n'; });
            appendDecoded(line, data + m_pos, stop);
            m_pos = stop - data;
            if (stop != end) {
                const char lineEnd = *stop;
                ++m_pos;
                // The LF of a CR LF may come with the next chunk: it is skipped there, so that a
                // read that fails then cannot take this line with it.
                if (lineEnd == '\r' && m_pos < m_buffer.size()) {
                    m_pos += m_buffer.at(m_pos) == '\n';
                } else if (lineEnd == '\r') {
                    m_skipLineFeed = true;
                }
                return line;
            }
            if (!fill())
                return line;
        }
    }

private:
    bool fill()
    {
        do {
            m_buffer.resize(kChunk);
            const qint64 read = m_device->read(m_buffer.data(), kChunk);
            m_buffer.resize(std::max<qint64>(read, 0));
            m_pos = 0;
            if (read < 0)
                raise(Error::DeviceIOError);
            if (read == 0)
                return false;
            if (std::exchange(m_skipLineFeed, false) && m_buffer.at(0) == '\n')
                m_pos = 1;
        } while (m_pos == m_buffer.size());
        return true;
    }

    std::unique_ptr<QIODevice> m_device;
    QByteArray m_buffer;
    qsizetype m_pos = 0;
    bool m_skipLineFeed = false;
};

using OpenFile = std::variant<std::unique_ptr<InputFile>, std::unique_ptr<SaveFile>>;

std::map<int, OpenFile>& openFiles()
{
    static std::map<int, OpenFile> files;
    return files;
}

InputFilter& inputFilter()
{
    static InputFilter filter;
    return filter;
}


OpenFile& fileNumbered(int number)
{
    const auto found = openFiles().find(number);
    if (found == openFiles().end())
        raise(Error::BadFileNameOrNumber);
    return found->second;
}

InputFile& inputFile(int number)
{
    auto* input = std::get_if<std::unique_ptr<InputFile>>(&fileNumbered(number));
    if (!input)
        raise(Error::BadFileMode);
    return **input;
}

SaveFile& outputFile(int number)
{
    auto* output = std::get_if<std::unique_ptr<SaveFile>>(&fileNumbered(number));
    if (!output)
        raise(Error::BadFileMode);
    return **output;
}

// Only a regular file is a source file: a named pipe would block the editor for good in open or
// read, and a device such as /dev/zero never ends.
bool isFileOrAbsent(const QString& path)
{
    const QFileInfo info(path);
    return info.isFile() || !info.exists();
}

OpenFile openInput(const QString& path)
{
    auto file = std::make_unique<QFile>(path);
    if (!isFileOrAbsent(path) || !file->open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        raise(openFailure(path, FileMode::Input));
    std::unique_ptr<QIODevice> device = std::move(file);
    if (inputFilter())
        device = inputFilter()(std::move(device));
    return std::make_unique<InputFile>(std::move(device));
}

void closeAtProgramEnd()
{
    static bool registered = false;
    if (registered)
        return;
    registered = true;
    atProgramEnd([] {
        registered = false;
        closeAllFiles();
    });
}

} // namespace

void openFile(const QString& path, FileMode mode, int number)
{
    if (number < 1 || number > 255)
        raise(Error::BadFileNameOrNumber);
    if (openFiles().contains(number))
        raise(Error::FileAlreadyOpen);
    // A NUL would cut the name short at the system's door and open another file.
    if (path.isEmpty() || path.contains(QChar(0)))
        raise(path.isEmpty() ? Error::BadFileNameOrNumber : Error::PathFileAccessError);
    OpenFile file = mode == FileMode::Input ? OpenFile(openInput(path))
                                            : OpenFile(std::make_unique<SaveFile>(path));
    openFiles().emplace(number, std::move(file));
    closeAtProgramEnd();
}

QString readLine(int number) { return inputFile(number).readLine(); }

bool atEndOfFile(int number) { return inputFile(number).atEnd(); }

void writeLine(int number, QStringView text)
{
    SaveFile& output = outputFile(number);
    if (output.spoiled())
        raise(Error::DeviceIOError);
    QByteArray bytes;
    try {
        bytes = encodeLine(text);
    } catch (...) {
        output.spoil();
        throw;
    }
    output.write(bytes);
}

void closeFile(int number)
{
    OpenFile file = std::move(fileNumbered(number));
    openFiles().erase(number);
    auto* output = std::get_if<std::unique_ptr<SaveFile>>(&file);
    // A spoiled file is discarded when it goes out of scope, which leaves the target untouched.
    if (output && !(*output)->spoiled())
        (*output)->commit();
}

void closeAllFiles()
{
    std::optional<RuntimeError> first;
    while (!openFiles().empty()) {
        try {
            closeFile(openFiles().begin()->first);
        } catch (...) {
            if (!first)
                first = currentError();
        }
    }
    if (first)
        throw *first;
}

void setInputFilter(InputFilter filter) { inputFilter() = std::move(filter); }

} // namespace runtime
