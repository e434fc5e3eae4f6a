#include "support/Fuzz.h"

#include <cstdlib>

namespace testsupport {

namespace {

uint32_t ChosenSeed(uint32_t fixedSeed)
{
    wchar_t text[32] = {};
    if (GetEnvironmentVariableW(L"COVELIN_FUZZ_SEED", text, 32) > 0)
        return static_cast<uint32_t>(std::wcstoul(text, nullptr, 10));
    return fixedSeed;
}

} // namespace

FuzzSource::FuzzSource(uint32_t fixedSeed) : seed_(ChosenSeed(fixedSeed)), engine_(seed_)
{
}

std::string FuzzSource::Describe() const
{
    return "fuzz seed " + std::to_string(seed_) + " (COVELIN_FUZZ_SEED=" + std::to_string(seed_) + " repeats it)";
}

uint32_t FuzzSource::Below(uint32_t bound)
{
    if (bound == 0)
        return 0;
    return std::uniform_int_distribution<uint32_t>(0, bound - 1)(engine_);
}

std::string FuzzSource::Bytes(size_t count)
{
    std::string bytes(count, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(engine_() & 0xFF);
    return bytes;
}

std::string RandomSettingRecord(FuzzSource& random)
{
    // The record's layout: two 32-bit fields, two chords of 256 key bytes
    // (bit 7: the key belongs), five 32-bit fields.
    constexpr size_t kChords[] = {8, 264};
    constexpr size_t kFields[] = {0, 4, 520, 524, 528, 532, 536};
    std::string record = random.Bytes(540);
    for (size_t chord : kChords) {
        const uint32_t shape = random.Below(4);
        if (shape == 3)
            continue; // dense: about half of all keys
        for (size_t code = 0; code < 256; ++code) {
            char& byte = record[chord + code];
            byte = static_cast<char>(shape == 2 ? byte | 0x80 : byte & 0x7F);
        }
        for (uint32_t keys = shape == 1 ? 1 + random.Below(4) : 0; keys > 0; --keys)
            record[chord + random.Below(256)] |= static_cast<char>(0x80);
    }
    for (size_t at : kFields) {
        if (random.OneIn(2)) {
            const int32_t small = static_cast<int32_t>(random.Below(11)) - 1;
            record.replace(at, 4, reinterpret_cast<const char*>(&small), 4);
        }
    }
    return record;
}

std::string StoredValue::Describe() const
{
    return "type " + std::to_string(type) + ", " + std::to_string(data.size()) + " bytes";
}

std::vector<StoredValue> OddRegistryValues(FuzzSource& random)
{
    const DWORD types[] = {REG_SZ,    REG_EXPAND_SZ, REG_MULTI_SZ,         REG_BINARY, REG_DWORD,
                           REG_QWORD, REG_NONE,      REG_DWORD_BIG_ENDIAN, REG_LINK,   0x4321};
    const size_t lengths[] = {0, 1, 2, 3, 4, 5, 8, 9, 255, 520, 4095, 4096, 4097, 65535, 65536, 65538, 1 << 20};
    std::vector<StoredValue> values;
    for (DWORD type : types) {
        for (size_t length : lengths) {
            const std::string bytes = random.Bytes(length);
            StoredValue value{type, std::vector<BYTE>(bytes.begin(), bytes.end())};
            // Text that reads as text: printable units, and now and then a
            // terminating zero, an inner one or a "0".
            if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) {
                for (size_t i = 0; i + 1 < length; i += 2) {
                    value.data[i] = static_cast<BYTE>('0' + random.Below(75));
                    value.data[i + 1] = 0;
                }
                if (length >= 2 && random.OneIn(3))
                    value.data[length - 2 - (length % 2)] = 0;
                if (length >= 4 && random.OneIn(4))
                    value.data[0] = '0', value.data[2] = 0;
            }
            values.push_back(std::move(value));
        }
    }
    return values;
}

std::vector<std::pair<std::wstring, StoredValue>> KeySnapshot(HKEY root, const std::wstring& subKey)
{
    std::vector<std::pair<std::wstring, StoredValue>> values;
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, subKey.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return values;
    for (DWORD index = 0;; ++index) {
        wchar_t name[16384];
        DWORD nameLength = 16384;
        DWORD type = 0;
        DWORD size = 0;
        if (RegEnumValueW(key, index, name, &nameLength, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
            break;
        StoredValue value{type, std::vector<BYTE>(size)};
        DWORD got = size;
        RegQueryValueExW(key, name, nullptr, &type, value.data.empty() ? nullptr : value.data.data(), &got);
        value.data.resize(got);
        values.emplace_back(std::wstring(name, nameLength), std::move(value));
    }
    RegCloseKey(key);
    return values;
}

} // namespace testsupport
