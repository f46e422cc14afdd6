#include "FileTimes.h"

#include "../platform/ComError.h"
#include "../platform/UniqueHandle.h"
#include "JsonWrapper.h"
#include "TextConvert.h"

#include <cwctype>
#include <ctime>
#include <cwchar>

namespace {

struct AttributeLetter {
    wchar_t letter;
    DWORD bit;
};

// The order of this table is the order of the letters in every text.
constexpr AttributeLetter kAttributeLetters[] = {
    {L'R', FILE_ATTRIBUTE_READONLY},  {L'D', FILE_ATTRIBUTE_DIRECTORY},
    {L'H', FILE_ATTRIBUTE_HIDDEN},    {L'S', FILE_ATTRIBUTE_SYSTEM},
    {L'A', FILE_ATTRIBUTE_ARCHIVE},   {L'O', FILE_ATTRIBUTE_OFFLINE},
    {L'T', FILE_ATTRIBUTE_TEMPORARY}, {L'C', FILE_ATTRIBUTE_COMPRESSED},
    {L'E', FILE_ATTRIBUTE_ENCRYPTED}, {L'I', FILE_ATTRIBUTE_NOT_CONTENT_INDEXED},
    {L'N', FILE_ATTRIBUTE_NORMAL},
};

// The members of a document that hold the three times, in the order they are added.
constexpr const wchar_t* kCreateTime = L"createtime";
constexpr const wchar_t* kModifyTime = L"modifytime";
constexpr const wchar_t* kAccessTime = L"accesstime";

// Local calendar fields to a C time value; the library decides on daylight saving.
long long LocalFieldsToTime(int year, int month, int day, int hour, int minute, int second)
{
    std::tm fields{};
    fields.tm_year = year - 1900;
    fields.tm_mon = month - 1;
    fields.tm_mday = day;
    fields.tm_hour = hour;
    fields.tm_min = minute;
    fields.tm_sec = second;
    fields.tm_isdst = -1;
    const __time64_t value = _mktime64(&fields);
    if (value == -1) throw ComError(E_INVALIDARG);
    return value;
}

std::tm TimeToLocalFields(long long value)
{
    const __time64_t time = value;
    std::tm fields{};
    if (_localtime64_s(&fields, &time) != 0) throw ComError(E_INVALIDARG);
    return fields;
}

std::wstring Format(const wchar_t* format, long long value)
{
    wchar_t buffer[128];
    std::swprintf(buffer, 128, format, static_cast<long>(value));
    return buffer;
}

} // namespace

std::optional<std::array<int, 6>> SplitDateTime(const std::wstring& input)
{
    std::wstring text = TrimWhiteSpace(input);
    int colons = 0;
    for (wchar_t& c : text) {
        if (c == L' ' || c == L'-' || c == L'/') c = L':';
        if (c == L':') ++colons;
    }
    if (colons != 5) return std::nullopt;

    std::array<int, 6> fields{};
    size_t count = 0;
    for (size_t pos = 0; pos < text.size();) {
        const size_t end = std::min(text.find(L':', pos), text.size());
        if (end > pos) {
            if (count == fields.size()) return std::nullopt;
            fields[count++] = _wtoi(text.substr(pos, end - pos).c_str());
        }
        pos = end + 1;
    }
    if (count != fields.size()) return std::nullopt;
    return fields;
}

long long ParseDateTime(const std::wstring& text)
{
    const auto fields = SplitDateTime(text);
    if (!fields) return 0;
    const auto [year, month, day, hour, minute, second] = *fields;
    if (year < 1900 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 || minute < 0 ||
        minute > 59 || second < 0 || second > 59)
        throw ComError(E_FAIL);
    return LocalFieldsToTime(year, month, day, hour, minute, second);
}

FILETIME DateTimeToFileTime(const std::wstring& text)
{
    const std::tm fields = TimeToLocalFields(ParseDateTime(text));
    SYSTEMTIME local{};
    local.wYear = static_cast<WORD>(fields.tm_year + 1900);
    local.wMonth = static_cast<WORD>(fields.tm_mon + 1);
    local.wDay = static_cast<WORD>(fields.tm_mday);
    local.wHour = static_cast<WORD>(fields.tm_hour);
    local.wMinute = static_cast<WORD>(fields.tm_min);
    local.wSecond = static_cast<WORD>(fields.tm_sec);
    FILETIME localTime{}, utc{};
    SystemTimeToFileTime(&local, &localTime);
    LocalFileTimeToFileTime(&localTime, &utc);
    return utc;
}

std::wstring FormatFileTime(const FILETIME& utc)
{
    FILETIME localTime;
    SYSTEMTIME local;
    if (!FileTimeToLocalFileTime(&utc, &localTime) || !FileTimeToSystemTime(&localTime, &local))
        throw ComError(E_INVALIDARG);
    const long long value = local.wYear < 1900 ? 0
                                               : LocalFieldsToTime(local.wYear, local.wMonth, local.wDay, local.wHour,
                                                                   local.wMinute, local.wSecond);
    const std::tm fields = TimeToLocalFields(value);
    wchar_t buffer[128];
    if (std::wcsftime(buffer, 128, L"%Y:%m:%d %H:%M:%S", &fields) == 0) return {};
    return buffer;
}

bool ReadFileTimes(const std::wstring& fileName, JsonWrapper& document)
{
    FILETIME created, accessed, written;
    {
        UniqueHandle file(CreateFileW(fileName.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (!file.IsValid()) return false;
        if (!GetFileTime(file.Get(), &created, &accessed, &written)) return false;
    }
    document.AddString(kCreateTime, FormatFileTime(created));
    document.AddString(kModifyTime, FormatFileTime(written));
    document.AddString(kAccessTime, FormatFileTime(accessed));
    return true;
}

BOOL WriteFileTimes(const std::wstring& fileName, const JsonWrapper& props, std::wstring& error)
{
    UniqueHandle file(CreateFileW(fileName.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file.IsValid()) {
        error = Format(L"file open failed, error: %ld", GetLastError());
        return FALSE;
    }

    struct Slot {
        const wchar_t* member;
        FILETIME time;
        bool given;
    } slots[] = {{kCreateTime, {}, false}, {kAccessTime, {}, false}, {kModifyTime, {}, false}};
    for (Slot& slot : slots) {
        const std::wstring text = MemberText(props, slot.member);
        if (text.empty()) continue;
        // A text that is not a date-time at all is refused rather than read as 1970: a typing
        // slip must not silently replace the file's real time.
        if (!SplitDateTime(text)) {
            error = L"invalid date-time text for " + std::wstring(slot.member) + L": " + text;
            return FALSE;
        }
        slot.time = DateTimeToFileTime(text);
        slot.given = true;
    }

    const auto pick = [](const Slot& slot) { return slot.given ? &slot.time : nullptr; };
    const BOOL result = SetFileTime(file.Get(), pick(slots[0]), pick(slots[1]), pick(slots[2]));
    if (!result) error = Format(L"SetFileTime error: %ld", GetLastError());
    return result;
}

std::wstring AttributesToLetters(DWORD attributes)
{
    std::wstring letters;
    for (const auto& entry : kAttributeLetters) {
        if (attributes & entry.bit) letters += entry.letter;
    }
    return letters;
}

DWORD LettersToAttributes(const std::wstring& letters)
{
    DWORD attributes = 0;
    for (const auto& entry : kAttributeLetters) {
        if (letters.find(entry.letter) != std::wstring::npos) attributes |= entry.bit;
    }
    return attributes;
}
