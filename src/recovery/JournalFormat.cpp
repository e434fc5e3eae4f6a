#include "recovery/JournalFormat.h"

#include <utility>

// Little-endian:
//   0  "CVHJ"                     4  version (3; 1 and 2 are still read)
//   8  flags: 1 volume muted, 2 notification area hidden,
//      4 the muted endpoint was muted by the user already (version 2)
//   12 saved wave volume          16 writer's mark (8 bytes)
//   24 number of entries          28 zero
//   32 entries of 24 bytes: window handle (8), process id (4),
//      entry flags (4: 1 = the window was marked, 2 = minimised instead of
//      hidden, version 2), process creation time (8)
//   version 2 only, the mute's tail: the muted endpoint's id, the number of
//      muted sessions, then each session's endpoint id and instance id; every
//      id is a count of UTF-16 units (4) and the units
//   version 3 only: the number of other endpoints the mute switched on, then
//      each one's id
//   then a 32-bit FNV-1a checksum of everything before it.

namespace {

constexpr char kMagic[4] = {'C', 'V', 'H', 'J'};
constexpr DWORD kVersion = 3;
constexpr DWORD kFirstVersion = 1;
constexpr DWORD kSecondVersion = 2;
constexpr DWORD kFlagVolumeMuted = 1;
constexpr DWORD kFlagNotifyAreaHidden = 2;
constexpr DWORD kFlagEndpointWasMuted = 4;
constexpr DWORD kKnownFirstFlags = kFlagVolumeMuted | kFlagNotifyAreaHidden;
constexpr DWORD kKnownFlags = kKnownFirstFlags | kFlagEndpointWasMuted;
constexpr DWORD kEntryMarked = 1;
constexpr DWORD kEntryMinimised = 2;
constexpr size_t kHeaderSize = 32;
constexpr size_t kEntrySize = 24;
constexpr size_t kChecksumSize = 4;
// Far more windows than one desktop holds; a count beyond it is damage.
constexpr DWORD kMaxEntries = 65536;
// Endpoint and session ids are short text; so is their list.
constexpr DWORD kMaxIdUnits = 512;
constexpr DWORD kMaxSessions = 1024;
constexpr DWORD kMaxEndpoints = 64;
constexpr size_t kMaxTailBytes =
    4 + (4 + kMaxIdUnits * 2) * (1 + 2 * size_t{kMaxSessions}) + 4 + 4 + (4 + kMaxIdUnits * 2) * size_t{kMaxEndpoints};

void Put32(std::string& out, DWORD value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

void Put64(std::string& out, ULONGLONG value)
{
    Put32(out, static_cast<DWORD>(value & 0xFFFFFFFFu));
    Put32(out, static_cast<DWORD>(value >> 32));
}

DWORD Get32(const std::string& in, size_t at)
{
    DWORD value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(in[at + static_cast<size_t>(i)]);
    return value;
}

ULONGLONG Get64(const std::string& in, size_t at)
{
    return (static_cast<ULONGLONG>(Get32(in, at + 4)) << 32) | Get32(in, at);
}

void PutText(std::string& out, const std::wstring& text)
{
    // An id longer than any the system hands out is cut, not refused.
    const std::wstring kept = text.substr(0, kMaxIdUnits);
    Put32(out, static_cast<DWORD>(kept.size()));
    for (const wchar_t unit : kept) {
        out.push_back(static_cast<char>(unit & 0xFF));
        out.push_back(static_cast<char>((unit >> 8) & 0xFF));
    }
}

// Reads one id at `at` (moved past it) from bytes ending at `end`.
bool GetText(const std::string& in, size_t& at, size_t end, std::wstring& text)
{
    if (end - at < 4)
        return false;
    const DWORD units = Get32(in, at);
    at += 4;
    if (units > kMaxIdUnits || end - at < size_t{units} * 2)
        return false;
    text.clear();
    for (DWORD i = 0; i < units; ++i, at += 2)
        text.push_back(
            static_cast<wchar_t>(static_cast<unsigned char>(in[at]) | (static_cast<unsigned char>(in[at + 1]) << 8)));
    return true;
}

DWORD Checksum(const std::string& bytes, size_t length)
{
    DWORD hash = 2166136261u;
    for (size_t i = 0; i < length; ++i) {
        hash ^= static_cast<unsigned char>(bytes[i]);
        hash *= 16777619u;
    }
    return hash;
}

} // namespace

size_t MaxJournalBytes()
{
    return kHeaderSize + kMaxEntries * kEntrySize + kMaxTailBytes + kChecksumSize;
}

MuteState HiddenRecord::Mute() const
{
    MuteState mute;
    mute.volumeMuted = volumeMuted;
    mute.endpointId = endpointId;
    mute.endpointWasMuted = endpointWasMuted;
    mute.savedWaveVolume = savedWaveVolume;
    mute.sessions = mutedSessions;
    mute.moreEndpoints = moreEndpoints;
    return mute;
}

void HiddenRecord::SetMute(const MuteState& mute)
{
    volumeMuted = mute.volumeMuted;
    endpointId = mute.endpointId;
    endpointWasMuted = mute.endpointWasMuted;
    savedWaveVolume = mute.savedWaveVolume;
    mutedSessions = mute.sessions;
    if (mutedSessions.size() > kMaxSessions)
        mutedSessions.resize(kMaxSessions);
    moreEndpoints = mute.moreEndpoints;
    if (moreEndpoints.size() > kMaxEndpoints)
        moreEndpoints.resize(kMaxEndpoints);
}

std::string EncodeHiddenRecord(const HiddenRecord& record)
{
    std::string out;
    out.reserve(kHeaderSize + record.entries.size() * kEntrySize + kChecksumSize);
    out.append(kMagic, sizeof kMagic);
    Put32(out, kVersion);
    Put32(out, (record.volumeMuted ? kFlagVolumeMuted : 0) | (record.notifyAreaHidden ? kFlagNotifyAreaHidden : 0) |
                   (record.endpointWasMuted ? kFlagEndpointWasMuted : 0));
    Put32(out, record.savedWaveVolume);
    Put64(out, record.writer);
    Put32(out, static_cast<DWORD>(record.entries.size()));
    Put32(out, 0);
    for (const HiddenEntry& entry : record.entries) {
        Put64(out, static_cast<ULONGLONG>(reinterpret_cast<ULONG_PTR>(entry.window)));
        Put32(out, entry.processId);
        Put32(out, (entry.marked ? kEntryMarked : 0) | (entry.minimised ? kEntryMinimised : 0));
        Put64(out, entry.processCreated);
    }
    PutText(out, record.endpointId);
    // SetMute keeps the list within kMaxSessions.
    Put32(out, static_cast<DWORD>(record.mutedSessions.size()));
    for (const MutedSession& session : record.mutedSessions) {
        PutText(out, session.endpointId);
        PutText(out, session.sessionId);
    }
    Put32(out, static_cast<DWORD>(record.moreEndpoints.size()));
    for (const std::wstring& endpoint : record.moreEndpoints)
        PutText(out, endpoint);
    Put32(out, Checksum(out, out.size()));
    return out;
}

bool IsLaterJournalVersion(const std::string& bytes)
{
    return bytes.size() >= 8 && bytes.compare(0, sizeof kMagic, kMagic, sizeof kMagic) == 0 &&
           Get32(bytes, 4) > kVersion;
}

bool DecodeHiddenRecord(const std::string& bytes, HiddenRecord* record)
{
    if (bytes.size() < kHeaderSize + kChecksumSize || bytes.size() > MaxJournalBytes())
        return false;
    if (bytes.compare(0, sizeof kMagic, kMagic, sizeof kMagic) != 0)
        return false;
    const DWORD version = Get32(bytes, 4);
    if (version != kVersion && version != kSecondVersion && version != kFirstVersion)
        return false;
    const DWORD knownEntryFlags = version == kFirstVersion ? kEntryMarked : kEntryMarked | kEntryMinimised;
    const DWORD flags = Get32(bytes, 8);
    const DWORD count = Get32(bytes, 24);
    if ((flags & ~(version == kFirstVersion ? kKnownFirstFlags : kKnownFlags)) != 0 || Get32(bytes, 28) != 0 ||
        count > kMaxEntries)
        return false;
    const size_t entriesEnd = kHeaderSize + static_cast<size_t>(count) * kEntrySize;
    if (bytes.size() < entriesEnd + kChecksumSize)
        return false;
    const size_t body = bytes.size() - kChecksumSize;
    if (Get32(bytes, body) != Checksum(bytes, body))
        return false;

    // The mute's tail: nothing in the first version.
    std::wstring endpointId;
    std::vector<MutedSession> sessions;
    std::vector<std::wstring> moreEndpoints;
    size_t tail = entriesEnd;
    if (version == kFirstVersion) {
        if (body != entriesEnd)
            return false;
    } else {
        if (!GetText(bytes, tail, body, endpointId) || body - tail < 4)
            return false;
        const DWORD sessionCount = Get32(bytes, tail);
        tail += 4;
        if (sessionCount > kMaxSessions)
            return false;
        for (DWORD i = 0; i < sessionCount; ++i) {
            MutedSession session;
            if (!GetText(bytes, tail, body, session.endpointId) || !GetText(bytes, tail, body, session.sessionId))
                return false;
            sessions.push_back(std::move(session));
        }
        if (version == kVersion) {
            if (body - tail < 4)
                return false;
            const DWORD endpointCount = Get32(bytes, tail);
            tail += 4;
            if (endpointCount > kMaxEndpoints)
                return false;
            for (DWORD i = 0; i < endpointCount; ++i) {
                std::wstring endpoint;
                if (!GetText(bytes, tail, body, endpoint))
                    return false;
                moreEndpoints.push_back(std::move(endpoint));
            }
        }
        if (tail != body)
            return false;
    }

    HiddenRecord decoded;
    decoded.volumeMuted = (flags & kFlagVolumeMuted) != 0;
    decoded.notifyAreaHidden = (flags & kFlagNotifyAreaHidden) != 0;
    decoded.savedWaveVolume = Get32(bytes, 12);
    decoded.writer = Get64(bytes, 16);
    decoded.entries.reserve(count);
    decoded.endpointWasMuted = (flags & kFlagEndpointWasMuted) != 0;
    decoded.endpointId = std::move(endpointId);
    decoded.mutedSessions = std::move(sessions);
    decoded.moreEndpoints = std::move(moreEndpoints);
    for (size_t at = kHeaderSize; at < entriesEnd; at += kEntrySize) {
        const ULONGLONG handle = Get64(bytes, at);
        const DWORD entryFlags = Get32(bytes, at + 12);
        // A handle that does not fit this build, or a flag we never write.
        if (handle != static_cast<ULONG_PTR>(handle) || (entryFlags & ~knownEntryFlags) != 0)
            return false;
        HiddenEntry entry;
        entry.window = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(handle));
        entry.processId = Get32(bytes, at + 8);
        entry.marked = (entryFlags & kEntryMarked) != 0;
        entry.minimised = (entryFlags & kEntryMinimised) != 0;
        entry.processCreated = Get64(bytes, at + 16);
        decoded.entries.push_back(entry);
    }
    *record = std::move(decoded);
    return true;
}
