#include "settings/settings_store.h"

#include "platform/registry.h"

#include <algorithm>
#include <cstring>

SettingsStore::SettingsStore(platform::RegistryHive& hive) : m_hive(hive) {}

std::int32_t SettingsStore::ReadNumber(std::string_view keyPath, std::string_view name, std::int32_t def) const
{
    if (!m_hive.KeyExists(keyPath))
        return 0;
    auto value = m_hive.Query(keyPath, name);
    if (!value || value->type != platform::RegType::Dword || value->data.size() != 4)
        return def;
    std::uint32_t n = 0;
    for (int i = 0; i < 4; ++i)
        n |= std::uint32_t(value->data[i]) << (8 * i);
    return static_cast<std::int32_t>(n);
}

bool SettingsStore::WriteNumber(std::string_view keyPath, std::string_view name, std::int32_t value)
{
    return m_hive.Set(keyPath, name, platform::RegValue::Number(static_cast<std::uint32_t>(value)));
}

void SettingsStore::ReadText(std::string_view keyPath, std::string_view name, std::string_view def, char* out,
                             std::size_t size) const
{
    if (out == nullptr || size == 0)
        return;
    // The default goes in first, so whatever fails below leaves it there.
    std::size_t defLength = std::min(def.size(), size - 1);
    std::copy_n(def.data(), defLength, out);
    out[defLength] = '\0';
    auto value = m_hive.Query(keyPath, name);
    if (!value || value->type != platform::RegType::Sz)
        return;
    std::size_t length = value->data.size();
    // A stored terminator (hand-written hex(1) data) is not part of the text.
    if (auto nul = std::find(value->data.begin(), value->data.end(), 0); nul != value->data.end())
        length = std::size_t(nul - value->data.begin());
    if (length + 1 > size)
        return;
    std::copy_n(value->data.data(), length, out);
    out[length] = '\0';
}

std::string SettingsStore::ReadText(std::string_view keyPath, std::string_view name, std::string_view def,
                                    std::size_t bufferSize) const
{
    std::string buffer(std::max<std::size_t>(bufferSize, 1), '\0');
    ReadText(keyPath, name, def, buffer.data(), buffer.size());
    buffer.resize(std::strlen(buffer.c_str()));
    return buffer;
}

bool SettingsStore::WriteText(std::string_view keyPath, std::string_view name, std::string_view text)
{
    return m_hive.Set(keyPath, name, platform::RegValue::Text(text));
}

std::string SettingsStore::BlockKeyPath(std::string_view subKey) const
{
    return std::string(kKeyPath) + std::string(subKey);
}

bool SettingsStore::ReadBlock(std::string_view subKey, std::string_view name, void* out, std::size_t size) const
{
    if (out == nullptr)
        return false;
    std::memset(out, 0, size);
    auto value = m_hive.Query(BlockKeyPath(subKey), name);
    if (!value || value->type != platform::RegType::Binary || value->data.size() > size)
        return false;
    std::copy_n(value->data.data(), value->data.size(), static_cast<std::uint8_t*>(out));
    return true;
}

bool SettingsStore::WriteBlock(std::string_view subKey, std::string_view name, const void* data, std::size_t size)
{
    if (data == nullptr && size != 0)
        return false;
    return m_hive.Set(BlockKeyPath(subKey), name, platform::RegValue::Block(data, size));
}

std::int32_t SettingsStore::Read(const Settings::NumberValue& value, int item) const
{
    return ReadNumber(kKeyPath, Settings::IndexedName(value.name, item), value.def);
}

bool SettingsStore::Write(const Settings::NumberValue& value, std::int32_t number, int item)
{
    return WriteNumber(kKeyPath, Settings::IndexedName(value.name, item), number);
}

std::string SettingsStore::Read(const Settings::TextValue& value, std::string_view folder, int item) const
{
    std::string def = Settings::FormatDefault(Settings::IndexedName(value.def, item), folder);
    return ReadText(kKeyPath, Settings::IndexedName(value.name, item), def, value.buffer);
}

bool SettingsStore::Write(const Settings::TextValue& value, std::string_view text, int item)
{
    return WriteText(kKeyPath, Settings::IndexedName(value.name, item), text);
}

bool SettingsStore::Read(const Settings::BlockValue& value, void* out) const
{
    return ReadBlock("", value.name, out, value.size);
}

bool SettingsStore::Write(const Settings::BlockValue& value, const void* data)
{
    return WriteBlock("", value.name, data, value.size);
}
