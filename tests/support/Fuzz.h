#pragma once
// Seeded randomness for the tests that feed the program bad input. Every
// test starts from a fixed seed of its own, so a failure can be repeated;
// COVELIN_FUZZ_SEED=<n> runs all of them from another seed. A test puts
// SCOPED_TRACE(random.Describe()) first, so a failure names the seed.
#include <windows.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace testsupport {

class FuzzSource {
public:
    explicit FuzzSource(uint32_t fixedSeed);

    uint32_t Seed() const { return seed_; }
    std::string Describe() const;

    // A number from 0 to bound - 1 (0 when bound is 0).
    uint32_t Below(uint32_t bound);
    bool OneIn(uint32_t n) { return Below(n) == 0; }
    std::string Bytes(size_t count);

private:
    uint32_t seed_;
    std::mt19937 engine_;
};

// A 540-byte "setting.dat" record as a damaged or foreign file may hold one:
// random bytes, with hotkey chords that are sometimes empty, sometimes a few
// keys, sometimes every key, and the 32-bit fields sometimes 0, 1 or a
// value near the valid ones.
std::string RandomSettingRecord(FuzzSource& random);

// A registry value as stored: its type and its bytes.
struct StoredValue {
    DWORD type;
    std::vector<BYTE> data;
    std::string Describe() const;
    bool operator==(const StoredValue& other) const { return type == other.type && data == other.data; }
};

// Values a hand, another program or damage may leave where the program reads
// a value of its own: every type (text with and without its terminating zero,
// expandable text, lists, binary, numbers of every width, none, a type nobody
// defined) in lengths from 0 to 1 MB, with random content.
std::vector<StoredValue> OddRegistryValues(FuzzSource& random);

// Every value of a key, by name in the order enumerated, for checking that a
// reader left the key as it found it. Empty when the key does not exist.
std::vector<std::pair<std::wstring, StoredValue>> KeySnapshot(HKEY root, const std::wstring& subKey);

} // namespace testsupport
