// A registry read from a file in the Windows registry editor's export format. It stands in for
// the Windows registry where there is none, and answers as advapi32 does: the same error codes,
// the same sizes, string data 8-bit.
#include "reghive.h"

#include <QStringTokenizer>

#include <algorithm>
#include <array>
#include <cstring>

namespace runtime {

namespace {

// Rights that would change the registry: set value, create sub-key, create link, delete, write
// DAC, write owner, generic all, generic write.
constexpr std::uint32_t kWriteRights
    = 0x0002 | 0x0004 | 0x0020 | 0x00010000 | 0x00040000 | 0x00080000 | 0x10000000 | 0x40000000;

constexpr int kRegInvalidParameter = 87;

struct Root {
    std::uint32_t code;
    QLatin1String name;
};

// The predefined roots, in the order of their keys in every hive.
constexpr std::array kRoots {
    Root { 0x80000000, QLatin1String("HKEY_CLASSES_ROOT") },
    Root { 0x80000001, QLatin1String("HKEY_CURRENT_USER") },
    Root { 0x80000002, QLatin1String("HKEY_LOCAL_MACHINE") },
    Root { 0x80000003, QLatin1String("HKEY_USERS") },
    Root { 0x80000005, QLatin1String("HKEY_CURRENT_CONFIG") },
};

class RegFileRegistry final : public Registry {
public:
    explicit RegFileRegistry(RegHive hive)
        : m_hive(std::move(hive))
    {
    }

    int openKey(RegKey root, const QByteArray& subKey, std::uint32_t access, RegKey* key) override
    {
        if (access & kWriteRights)
            return kRegAccessDenied;
        std::optional<RegHive::Key> found = keyOf(root);
        if (!found)
            return kRegInvalidHandle;
        const QString path = QString::fromLocal8Bit(subKey);
        for (QStringView part : QStringTokenizer(path, u'\\', Qt::SkipEmptyParts)) {
            found = m_hive.find(*found, part);
            if (!found)
                return kRegFileNotFound;
        }
        *key = m_next++;
        m_open.insert(*key, *found);
        return kRegSuccess;
    }

    int queryValue(RegKey key, const QByteArray& name, std::uint32_t* type, char* data,
        std::uint32_t* size) override
    {
        const std::optional<RegHive::Key> found = keyOf(key);
        if (!found)
            return kRegInvalidHandle;
        const RegValue* value = m_hive.value(*found, QString::fromLocal8Bit(name));
        if (!value)
            return kRegFileNotFound;
        if (data && !size)
            return kRegInvalidParameter;
        if (type)
            *type = value->type;
        if (!size)
            return kRegSuccess;
        const auto needed = static_cast<std::uint32_t>(value->data.size());
        const std::uint32_t room = *size;
        *size = needed;
        if (!data)
            return kRegSuccess;
        if (room < needed)
            return kRegMoreData;
        std::memcpy(data, value->data.constData(), needed);
        // A string stored without its NUL still ends in one where there is room, uncounted.
        if (isStringType(value->type) && room > needed)
            data[needed] = '\0';
        return kRegSuccess;
    }

    int closeKey(RegKey key) override
    {
        if (m_open.remove(key) || m_hive.root(key))
            return kRegSuccess;
        return kRegInvalidHandle;
    }

private:
    std::optional<RegHive::Key> keyOf(RegKey handle) const
    {
        if (const auto root = m_hive.root(handle))
            return root;
        const auto open = m_open.constFind(handle);
        return open != m_open.constEnd() ? std::optional(*open) : std::nullopt;
    }

    RegHive m_hive;
    QHash<RegKey, RegHive::Key> m_open;
    RegKey m_next = 1;
};

} // namespace

RegHive::RegHive()
    : m_depth(kRoots.size(), 0)
{
}

std::optional<RegHive::Key> RegHive::root(QStringView name) const
{
    const auto* found = std::find_if(kRoots.begin(), kRoots.end(),
        [name](const Root& r) { return name.compare(r.name, Qt::CaseInsensitive) == 0; });
    return found != kRoots.end() ? std::optional(Key(found - kRoots.begin())) : std::nullopt;
}

std::optional<RegHive::Key> RegHive::root(RegKey handle) const
{
    const auto* found = std::find_if(kRoots.begin(), kRoots.end(),
        [handle](const Root& r) { return predefinedRegKey(r.code) == handle; });
    return found != kRoots.end() ? std::optional(Key(found - kRoots.begin())) : std::nullopt;
}

std::optional<RegHive::Key> RegHive::child(Key parent, QStringView name)
{
    if (name.size() > kLongestName || m_depth[parent] >= kDeepest)
        return {};
    const Name key = named(parent, name);
    if (const auto found = m_children.constFind(key); found != m_children.constEnd())
        return *found;
    m_depth.append(m_depth[parent] + 1);
    return m_children.insert(key, Key(m_depth.size() - 1)).value();
}

std::optional<RegHive::Key> RegHive::find(Key parent, QStringView name) const
{
    const auto found = m_children.constFind(named(parent, name));
    return found != m_children.constEnd() ? std::optional(*found) : std::nullopt;
}

void RegHive::setValue(Key key, QStringView name, RegValue value)
{
    m_values.insert(named(key, name), std::move(value));
}

void RegHive::removeValue(Key key, QStringView name)
{
    m_values.remove(named(key, name));
}

const RegValue* RegHive::value(Key key, QStringView name) const
{
    const auto found = m_values.constFind(named(key, name));
    return found != m_values.constEnd() ? &*found : nullptr;
}

std::unique_ptr<Registry> serveRegHive(RegHive hive)
{
    return std::make_unique<RegFileRegistry>(std::move(hive));
}

} // namespace runtime
