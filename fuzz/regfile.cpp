// The .reg reader on arbitrary bytes: it never crashes, hangs or reads past its input (as the
// sanitizers see), a good section after garbage still reads, and answers fit what the file holds.
#include <services.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

using namespace runtime;

// A value's data, "" when there is none; aborts when the handle leaks or the buffer overruns.
static QByteArray query(Registry& registry, const char* key, const char* name)
{
    RegKey handle = 0;
    if (registry.openKey(kHKeyLocalMachine, key, kKeyRead, &handle) != kRegSuccess)
        return {};
    char data[1025];
    std::memset(data, 0x55, sizeof data);
    std::uint32_t size = 1024, type = 0;
    const int result = registry.queryValue(handle, name, &type, data, &size);
    if (registry.closeKey(handle) != kRegSuccess || data[1024] != 0x55)
        std::abort();
    return result == kRegSuccess ? QByteArray(data, size) : QByteArray();
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    // A good section after the input reads whole, unless the input is not an export. The two
    // lie in a block of their own size, so that a read past it is seen.
    const QByteArrayView file(bytes, qsizetype(size));
    const QByteArrayView mark = "\n\n[HKEY_LOCAL_MACHINE\\Mark]\n\"v\"=\"k\\\"\"\n";
    const std::unique_ptr<char[]> block(new char[size + mark.size()]);
    std::memcpy(std::copy_n(bytes, size, block.get()), mark.data(), mark.size());
    const auto registry = parseRegFile(QByteArray::fromRawData(block.get(), size + mark.size()));
    if ((file.startsWith("REGEDIT4\n") || file.startsWith("Windows Registry Editor Version 5.00\n"))
        && query(*registry, "mark", "V") != QByteArray("k\"", 3))
        std::abort();
    // UTF-8 from a file in UTF-16 or with a bad byte may grow to three bytes a character.
    for (const char* name : { "v", "" })
        if (query(*registry, "K", name).size() > 3 * file.size() + 1)
            std::abort();
    return 0;
}
