#include "runtime.h"

#include <algorithm>
#include <array>
#include <new>
#include <utility>

namespace runtime {

namespace {

struct Description {
    int number;
    const char* text;
};

constexpr std::array kDescriptions {
    Description { 5, "Invalid procedure call or argument" },
    Description { 6, "Overflow" },
    Description { 7, "Out of memory" },
    Description { 9, "Subscript out of range" },
    Description { 11, "Division by zero" },
    Description { 13, "Type mismatch" },
    Description { 51, "Internal error" },
    Description { 52, "Bad file name or number" },
    Description { 53, "File not found" },
    Description { 54, "Bad file mode" },
    Description { 55, "File already open" },
    Description { 57, "Device I/O error" },
    Description { 58, "File already exists" },
    Description { 61, "Disk full" },
    Description { 62, "Input past end of file" },
    Description { 67, "Too many files" },
    Description { 68, "Device unavailable" },
    Description { 70, "Permission denied" },
    Description { 71, "Disk not ready" },
    Description { 75, "Path/File access error" },
    Description { 76, "Path not found" },
    Description { 380, "Invalid property value" },
    Description { 482, "Printer error" },
};

} // namespace

QString describe(int number)
{
    const auto* found = std::find_if(kDescriptions.begin(), kDescriptions.end(),
        [number](const Description& d) { return d.number == number; });
    return found != kDescriptions.end() ? QString::fromLatin1(found->text)
                                        : QStringLiteral("Application-defined or object-defined error");
}

RuntimeError::RuntimeError(Error error)
    : RuntimeError(static_cast<int>(error), describe(static_cast<int>(error)))
{
}

RuntimeError::RuntimeError(Error error, QString description)
    : RuntimeError(static_cast<int>(error), std::move(description))
{
}

RuntimeError::RuntimeError(int number, QString description)
    : m_number(number)
    , m_description(std::move(description))
    , m_what(QStringLiteral("Run-time error %1: %2").arg(number).arg(m_description).toUtf8())
{
}

void raise(Error error) { throw RuntimeError(error); }

void raise(Error error, const QString& description) { throw RuntimeError(error, description); }

RuntimeError currentError()
{
    try {
        throw;
    } catch (const RuntimeError& error) {
        return error;
    } catch (const std::bad_alloc&) {
        return RuntimeError(Error::OutOfMemory);
    } catch (const std::exception& other) {
        return RuntimeError(Error::InternalError, QString::fromLocal8Bit(other.what()));
    } catch (...) {
        return RuntimeError(Error::InternalError);
    }
}

} // namespace runtime
