#include "FileTimes.h"

#include "core/DateTime.h"
#include "platform/ComError.h"
#include "platform/FileTimeText.h"
#include "platform/UniqueHandle.h"

#include <cwchar>
#include <utility>

namespace {

// The members of a document that hold the three times, in the order they are added.
constexpr const wchar_t* kCreateTime = L"createtime";
constexpr const wchar_t* kModifyTime = L"modifytime";
constexpr const wchar_t* kAccessTime = L"accesstime";

// Whoever else holds the file open, for whatever access: opening for the attributes alone takes
// no share of its data, so no holder's share mode can refuse it.
constexpr DWORD kFullSharing = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

std::wstring Format(const wchar_t* format, long long value)
{
    wchar_t buffer[128];
    std::swprintf(buffer, 128, format, static_cast<long>(value));
    return buffer;
}

} // namespace

long long ParseDateTime(const std::wstring& text)
{
    const auto fields = SplitDateTime(text);
    if (!fields) return 0;
    if (!DateTimeFieldsExist(*fields)) throw ComError(E_FAIL);
    const DateTimeReading reading = ReadDateTimeText(text);
    if (!reading.value) throw ComError(E_INVALIDARG);
    return *reading.value;
}

FILETIME DateTimeToFileTime(const std::wstring& text)
{
    const auto time = TimeValueToFileTime(ParseDateTime(text));
    if (!time) throw ComError(E_INVALIDARG);
    return *time;
}

std::wstring FormatFileTime(const FILETIME& utc)
{
    auto text = FileTimeToText(utc);
    if (!text) throw ComError(E_INVALIDARG);
    return std::move(*text);
}

bool ReadFileTimes(const std::wstring& fileName, JsonWrapper& document)
{
    FILETIME created, accessed, written;
    {
        // Backup semantics opens folders too.
        UniqueHandle file(CreateFileW(fileName.c_str(), FILE_READ_ATTRIBUTES, kFullSharing, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (!file.IsValid()) return false;
        if (!GetFileTime(file.Get(), &created, &accessed, &written)) return false;
    }
    // A time no text can show is sent as empty text: the page marks it and never writes it back.
    for (const auto& [member, time] :
         {std::pair{kCreateTime, created}, std::pair{kModifyTime, written}, std::pair{kAccessTime, accessed}})
        document.AddString(member, FileTimeToText(time).value_or(std::wstring()));
    return true;
}

BOOL WriteFileTimes(const std::wstring& fileName, JsonView props, std::wstring& error)
{
    UniqueHandle file(CreateFileW(fileName.c_str(), FILE_WRITE_ATTRIBUTES, kFullSharing, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS, nullptr));
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
        // A text that names no instant is refused, and so is one that would be carried into
        // another date ("2020:02:30"): a typing slip must not silently replace the file's time.
        std::wstring why;
        if (!TextToFileTime(text, slot.time, why)) {
            error = L"invalid date-time text for " + std::wstring(slot.member) + L": " + text + L" (" + why + L")";
            return FALSE;
        }
        slot.given = true;
    }

    const auto pick = [](const Slot& slot) { return slot.given ? &slot.time : nullptr; };
    const BOOL result = SetFileTime(file.Get(), pick(slots[0]), pick(slots[1]), pick(slots[2]));
    if (!result) error = Format(L"SetFileTime error: %ld", GetLastError());
    return result;
}
