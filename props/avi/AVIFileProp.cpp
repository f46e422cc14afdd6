#include "AVIFileProp.h"

#include "core/TextConvert.h"
#include "props/avi/AviRiffFile.h"
#include "props/avi/AviStatus.h"
#include "props/avi/InfoList.h"
#include "props/avi/UndoableFile.h"
#include "props/avi/WindowsFile.h"
#include "platform/FileSave.h"

#include <cstdio>
#include <set>
#include <vector>

namespace {

std::wstring Failure(int32_t status)
{
    wchar_t text[64];
    std::swprintf(text, sizeof text / sizeof text[0], L"set avi property failed, hr=0x%08X",
                  static_cast<unsigned>(status));
    // A system error also in words.
    if (HRESULT_FACILITY(status) == FACILITY_WIN32)
        return std::wstring(text) + L" (" + SystemErrorText(HRESULT_CODE(status)) + L")";
    return text;
}

// Identifiers compared as the property list compares member names: ASCII letters in either case.
std::string Folded(std::string id)
{
    for (char& c : id) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return id;
}

} // namespace

void AVIFileProp::GetProps(const std::wstring& fileName, JsonWrapper& result)
{
    result.MakeObject();
    WindowsFile file;
    if (AviStatus::Failed(file.Open(fileName, false))) return;
    AviRiffFile avi(file);
    std::vector<uint8_t> content;
    if (AviStatus::Failed(avi.Open(AviRiffFile::Mode::Read)) ||
        AviStatus::Failed(avi.ReadInfoList(content, kReadLimit)))
        return;
    const InfoList list = InfoList::Parse(content);
    for (const InfoList::Item& item : list.items) {
        const std::wstring id = Utf8ToUtf16(item.id);
        const JsonView known = propList_.Member(id);
        if (known.IsEmpty()) continue;
        JsonWrapper entry = known.Copy();
        entry.AddString(L"data", Utf8ToUtf16(item.text));
        result.AddDocument(id, entry);
    }
}

bool AVIFileProp::SetProps(const std::wstring& fileName, JsonView props, std::wstring& error)
{
    // Without an object of items there is nothing to replace the list with: the list stays.
    if (!props.IsObject()) {
        error = L"set avi property failed: the request holds no object of INFO items";
        return false;
    }
    InfoList list;
    std::set<std::string> named;
    for (const JsonView member : props) {
        named.insert(Folded(Utf16ToUtf8(member.Name())));
        bool readOnly = false;
        if (member.Member(L"readonly").GetBool(readOnly) && readOnly) continue;
        std::wstring text;
        if (!member.Member(L"data").GetText(text) || text.empty()) continue;
        const std::string id = Utf16ToUtf8(member.Name());
        if (!InfoList::IsIdentifier(id)) {
            error = L"set avi property failed: \"" + member.Name() + L"\" is not a four-character INFO identifier";
            return false;
        }
        list.items.push_back({id, Utf16ToUtf8(text), {}});
    }

    // Checked here: Wine runs as root, so the system would let the write through.
    const DWORD attributes = GetFileAttributesW(fileName.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        error = L"The file is read-only";
        return false;
    }
    WindowsFile windowsFile;
    int32_t status = windowsFile.Open(fileName, true);
    UndoableFile file(windowsFile);
    AviRiffFile avi(file);
    if (!AviStatus::Failed(status)) status = avi.Open(AviRiffFile::Mode::Write);
    std::vector<uint8_t> content;
    if (!AviStatus::Failed(status)) {
        // The items the page never saw, because its list does not know them, and the request does
        // not name, stay as they were: a save of the items it shows must not lose them.
        status = avi.ReadInfoList(content);
        if (status == AviStatus::NoData) status = AviStatus::Ok;
        InfoList old = InfoList::Parse(content);
        for (InfoList::Item& item : old.items) {
            if (InfoList::IsIdentifier(item.id) && propList_.Member(Utf8ToUtf16(item.id)).IsEmpty() &&
                named.count(Folded(item.id)) == 0)
                list.items.push_back(std::move(item));
        }
        content.clear();
        if (!list.items.empty() && !list.Build(content)) status = AviStatus::BadSize;
    }
    if (!AviStatus::Failed(status)) {
        // The list may go at the end of the file: it must fit there.
        if (!DiskHolds(fileName, content.size())) {
            error = SystemErrorText(ERROR_DISK_FULL);
            return false;
        }
        status = avi.StoreInfoList(content);
        // Half a store is worse than none: the file goes back to what it was.
        if (AviStatus::Failed(status)) file.Undo();
    }
    if (AviStatus::Failed(status)) {
        error = Failure(status);
        return false;
    }
    return true;
}
