// A stand-in for the Windows registry: a hive scripted as .reg text.
#pragma once

#include <runtime.h>
#include <services.h>

#include <QStringList>

#include <memory>

// A registry written as a .reg file; it counts the keys left open and can refuse every open.
class ScriptedRegistry final : public runtime::Registry {
public:
    explicit ScriptedRegistry(const QByteArray& body)
        : m_hive(runtime::parseRegFile("REGEDIT4\r\n\r\n" + body))
    {
        runtime::setRegistry(this);
    }
    ~ScriptedRegistry() override { runtime::setRegistry(nullptr); }
    Q_DISABLE_COPY_MOVE(ScriptedRegistry)

    int openKey(runtime::RegKey root, const QByteArray& subKey, std::uint32_t access,
        runtime::RegKey* key) override
    {
        masks.append(access);
        opened.append(QString::fromLocal8Bit(subKey));
        const int result
            = refuse ? runtime::kRegAccessDenied : m_hive->openKey(root, subKey, access, key);
        open += result == runtime::kRegSuccess;
        return result;
    }
    int queryValue(runtime::RegKey key, const QByteArray& name, std::uint32_t* type, char* data,
        std::uint32_t* size) override
    {
        return m_hive->queryValue(key, name, type, data, size);
    }
    int closeKey(runtime::RegKey key) override
    {
        const int result = m_hive->closeKey(key);
        open -= result == runtime::kRegSuccess;
        return result;
    }

    QList<std::uint32_t> masks;
    QStringList opened;
    int open = 0;
    bool refuse = false;

private:
    std::unique_ptr<runtime::Registry> m_hive;
};

