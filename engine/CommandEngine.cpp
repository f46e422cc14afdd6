#include "CommandEngine.h"

#include "core/AttributeLetters.h"
#include "engine/AppServices.h"
#include "engine/FileCollection.h"
#include "engine/FileTimes.h"
#include "platform/FileSave.h"

#include <cwchar>
#include <optional>
#include <string_view>
#include <vector>

namespace {

// Every "setprops" ends with this pause, whatever its outcome.
struct SetPropsPause {
    ~SetPropsPause() { Sleep(100); }
};

// Whether a string holds U+0000, where the system would end a name, so that "a.txt\u0000.jpg"
// would reach a.txt. The document keeps that character in a string, and its printer writes it as
// \u0000, the one way to tell it from the replacement characters it reads as.
bool HoldsNul(JsonView value)
{
    if (!value.IsString()) return false;
    const std::wstring printed = value.Copy().Print();
    for (size_t i = 0; i < printed.size(); ++i) {
        if (printed[i] != L'\\') continue;
        if (printed.compare(i, 6, L"\\u0000") == 0) return true;
        ++i; // the escaped character, which may be a backslash itself
    }
    return false;
}

// The text of a member that the engine hands to the system as a file name, path or address; nothing
// when it holds U+0000.
std::optional<std::wstring> NameText(JsonView request, std::wstring_view member)
{
    if (HoldsNul(request.Member(member))) return std::nullopt;
    return MemberText(request, member);
}

constexpr const wchar_t* kNulNameError = L"the file name holds a null character (U+0000)";

// Sets a file's attribute word from its letters. Only a text counts as letters: a missing member,
// or a number, list or object in its place, would otherwise read as no letters and clear the
// read-only and hidden bits of a file the request never meant to change.
bool SetAttributes(const std::wstring& fileName, JsonView letters, std::wstring& error)
{
    std::wstring text;
    if (!letters.IsString() || !letters.GetText(text)) {
        error = L"no attribute letters: \"attributes\" must be a text";
        return false;
    }
    return SetFileAttributesW(fileName.c_str(), LettersToAttributes(text)) == 1;
}

// The size in bytes of a file; nothing for a folder, or for a file whose size cannot be read.
std::optional<unsigned long long> FileSize(const std::wstring& fileName)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(fileName.c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return std::nullopt;
    return (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

} // namespace

const CommandEngine::CommandEntry CommandEngine::kCommands[] = {
    {L"addfiles", false, &CommandEngine::AddFiles},         {L"log", true, &CommandEngine::Log},
    {L"initproplist", false, &CommandEngine::InitPropList}, {L"setprops", false, &CommandEngine::SetProps},
    {L"getprops", false, &CommandEngine::GetProps},         {L"getwmi", false, &CommandEngine::GetWmi},
    {L"getsetting", false, &CommandEngine::GetSetting},     {L"setsetting", false, &CommandEngine::SetSetting},
    {L"getappver", false, &CommandEngine::GetAppVer},       {L"getcmdline", false, &CommandEngine::GetCmdLine},
    {L"openurl", false, &CommandEngine::OpenUrl},           {L"getwinsize", false, &CommandEngine::GetWinSize},
    {L"setwinsize", false, &CommandEngine::SetWinSize},     {L"collectpaths", false, &CommandEngine::CollectPaths},
};

bool CommandEngine::RunRequest(const std::wstring& text, std::wstring& answer)
{
    JsonWrapper document;
    if (!document.Parse(text)) return false;
    const JsonView request = document.View();
    const std::wstring name = MemberText(request, L"cmd");
    for (const CommandEntry& command : kCommands) {
        const bool match = command.exactCase ? std::wcscmp(name.c_str(), command.name) == 0
                                             : _wcsicmp(name.c_str(), command.name) == 0;
        if (match) {
            (this->*command.run)(request, answer);
            break;
        }
    }
    return true;
}

void CommandEngine::InitPropList(JsonView request, std::wstring&)
{
    if (PropertyHandler* handler = handlers_.Find(MemberText(request, L"cat")))
        handler->SetPropList(MemberText(request, L"props"));
}

void CommandEngine::SetProps(JsonView request, std::wstring& answer)
{
    SetPropsPause pause;
    JsonWrapper result;
    result.MakeObject();
    // The name goes to the system as given: a trailing dot or space is part of it.
    std::optional<std::wstring> fileName = NameText(request, L"filename");
    if (fileName && !fileName->empty()) fileName = SystemPath(*fileName);
    const std::wstring category = MemberText(request, L"cat");
    const JsonView props = request.Member(L"props");
    PropertyHandler* handler = handlers_.Find(category);
    std::wstring error;
    std::optional<std::wstring> timesNote;
    if (category != L"datetime" && category != L"attributes" && !handler) {
        // No writer for the category: nothing is done and no result reported.
    } else if (!fileName) {
        result.AddBool(L"result", false);
        error = kNulNameError;
    } else if (category == L"datetime") {
        result.AddBool(L"result", WriteFileTimes(*fileName, props, error) == 1);
    } else if (category == L"attributes") {
        result.AddBool(L"result", SetAttributes(*fileName, props.Member(L"attributes"), error));
    } else {
        // Only the JSON value true keeps the times, as only true asks "getprops" for every category.
        bool keepTimes = false;
        request.Member(L"keeptimes").GetBool(keepTimes);
        std::optional<KeptFileTimes> kept;
        if (keepTimes) kept.emplace(*fileName);
        const bool written = handler->SetProps(*fileName, props.Member(category), error);
        result.AddBool(L"result", written);
        if (kept && written) timesNote = kept->SetBack(setTimesBack_);
    }
    result.AddString(L"error", error);
    // The outcome of keeping the times has members of its own, so that it is never taken for the
    // handler's text (the document handler may answer true with a text of the way it did not take).
    if (timesNote) {
        result.AddBool(L"timeskept", timesNote->empty());
        if (!timesNote->empty()) result.AddString(L"timeserror", *timesNote);
    }
    answer = result.Print();
}

void CommandEngine::GetProps(JsonView request, std::wstring& answer)
{
    const std::optional<std::wstring> name = NameText(request, L"name");
    if (!name) return; // nothing to report about a name the system cannot be given
    const std::wstring fileName = name->empty() ? *name : SystemPath(*name);
    bool allProps = false;
    request.Member(L"allprops").GetBool(allProps);
    // The size is asked for on its own, so that the answers of requests without it stay as they were.
    bool withSize = false;
    request.Member(L"size").GetBool(withSize);

    JsonWrapper result;
    result.MakeObject();
    ReadFileTimes(fileName, result);
    // An unreadable attribute word shows as no letters, not as every letter.
    const DWORD attributes = GetFileAttributesW(fileName.c_str());
    result.AddString(L"attributes", attributes == INVALID_FILE_ATTRIBUTES ? L"" : AttributesToLetters(attributes));
    if (withSize) {
        // A double holds every size below 2^53 exactly, and the printer writes whole numbers as digits.
        if (const std::optional<unsigned long long> size = FileSize(fileName))
            result.AddNumber(L"size", static_cast<double>(*size));
    }
    if (allProps) {
        for (const PropertyHandlers::Entry& entry : handlers_.All()) {
            JsonWrapper props;
            entry.handler->GetProps(fileName, props);
            result.AddDocument(entry.category, props);
        }
    }
    answer = result.Print();
}

void CommandEngine::AddFiles(JsonView request, std::wstring& answer)
{
    // Flags are on only for the exact text "true": a JSON true, or the string "true".
    const auto flag = [&request](const wchar_t* name) { return MemberText(request, name) == L"true"; };
    answer = CollectFiles(flag(L"forfolder"), flag(L"subdir"), flag(L"includedir"), flag(L"dironly"));
}

void CommandEngine::CollectPaths(JsonView request, std::wstring& answer)
{
    const auto flag = [&request](const wchar_t* name) { return MemberText(request, name) == L"true"; };
    // Only a list of texts names paths; anything else in the list, or in place of it, names none.
    std::vector<std::wstring> paths;
    const JsonView given = request.Member(L"paths");
    if (given.IsArray()) {
        for (const JsonView item : given) {
            std::wstring path;
            if (item.IsString() && !HoldsNul(item) && item.GetText(path)) paths.push_back(path);
        }
    }
    answer = ::CollectPaths(paths, flag(L"subdir"), flag(L"includedir"), flag(L"dironly"));
}

void CommandEngine::Log(JsonView request, std::wstring&)
{
    LogFromPage(MemberText(request, L"data"));
}

void CommandEngine::GetWmi(JsonView request, std::wstring& answer)
{
    // The query takes the three strings over and frees them.
    answer = hardware_.QueryWmi(SysAllocString(MemberText(request, L"namespace").c_str()),
                                SysAllocString(MemberText(request, L"classname").c_str()),
                                SysAllocString(MemberText(request, L"propname").c_str()));
}

void CommandEngine::GetSetting(JsonView request, std::wstring& answer)
{
    answer = ReadSetting(MemberText(request, L"name"));
}

void CommandEngine::SetSetting(JsonView request, std::wstring&)
{
    WriteSetting(MemberText(request, L"name"), MemberText(request, L"value"));
}

void CommandEngine::GetAppVer(JsonView, std::wstring& answer)
{
    answer = GetAppVersion(OwnModulePath());
}

void CommandEngine::GetCmdLine(JsonView, std::wstring& answer)
{
    answer = GetCommandLineW();
}

void CommandEngine::OpenUrl(JsonView request, std::wstring&)
{
    if (const std::optional<std::wstring> url = NameText(request, L"url")) OpenWebOrMailAddress(*url);
}

void CommandEngine::GetWinSize(JsonView, std::wstring& answer)
{
    answer = WindowSizeText(window_);
}

void CommandEngine::SetWinSize(JsonView request, std::wstring& answer)
{
    answer = SetWindowSizeFromText(window_, MemberText(request, L"size"));
}
