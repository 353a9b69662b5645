// The keys and values of a registry read from a file: what the reader of the export format
// (regparse.cpp) builds and the registry stand-in (regfile.cpp) serves.
#pragma once

#include "services.h"

#include <QHash>
#include <QString>

#include <optional>
#include <utility>

namespace runtime {

inline bool isStringType(std::uint32_t type)
{
    return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz;
}

struct RegValue {
    std::uint32_t type = 0;
    QByteArray data;
};

// Keys form a tree in which each key holds only its own name under its parent, so a key as deep
// as Windows allows costs its depth, not the square of it. Names of keys and values are found
// without regard to case, as on Windows: they are stored case-folded.
class RegHive {
public:
    using Key = int;

    // The same limits as Windows: a key name of at most 255 characters, at most 512 levels.
    static constexpr qsizetype kLongestName = 255;
    static constexpr int kDeepest = 512;

    RegHive();

    // The predefined root `name` ("HKEY_LOCAL_MACHINE", any case); none for another name.
    std::optional<Key> root(QStringView name) const;
    // The key of predefined handle `handle`; none for any other handle.
    std::optional<Key> root(RegKey handle) const;
    // The sub-key `name` of `parent`, made when missing; none beyond Windows' limits.
    std::optional<Key> child(Key parent, QStringView name);
    std::optional<Key> find(Key parent, QStringView name) const;

    void setValue(Key key, QStringView name, RegValue value);
    void removeValue(Key key, QStringView name);
    const RegValue* value(Key key, QStringView name) const;

private:
    using Name = std::pair<Key, QString>;
    static Name named(Key key, QStringView name) { return { key, name.toString().toCaseFolded() }; }

    QList<int> m_depth;
    QHash<Name, Key> m_children;
    QHash<Name, RegValue> m_values;
};

// The registry stand-in answering from `hive`.
std::unique_ptr<Registry> serveRegHive(RegHive hive);

} // namespace runtime
