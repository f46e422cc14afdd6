#include "UIHandler.h"

#include "../platform/Bstr.h"
#include "../platform/ComPtr.h"
#include "../platform/ComTable.h"
#include "AppServices.h"
#include "FileCollection.h"
#include "FileTimes.h"

#include <cwchar>

namespace {

// Not in mingw-w64's uuid library.
constexpr IID kIID_ICustomDoc = {0x3050F3F0, 0x98B5, 0x11CF, {0xBB, 0x82, 0x00, 0xAA, 0x00, 0xBD, 0xCE, 0x0B}};

// Every "setprops" ends with this pause, whatever its outcome.
struct SetPropsPause {
    ~SetPropsPause() { Sleep(100); }
};

} // namespace

const UIHandler::CommandEntry UIHandler::kCommands[] = {
    {L"addfiles", false, &UIHandler::AddFiles},         {L"log", true, &UIHandler::Log},
    {L"initproplist", false, &UIHandler::InitPropList}, {L"setprops", false, &UIHandler::SetProps},
    {L"getprops", false, &UIHandler::GetProps},         {L"getwmi", false, &UIHandler::GetWmi},
    {L"getsetting", false, &UIHandler::GetSetting},     {L"setsetting", false, &UIHandler::SetSetting},
    {L"getappver", false, &UIHandler::GetAppVer},       {L"getcmdline", false, &UIHandler::GetCmdLine},
    {L"openurl", false, &UIHandler::OpenUrl},           {L"getwinsize", false, &UIHandler::GetWinSize},
    {L"setwinsize", false, &UIHandler::SetWinSize},
};

bool UIHandler::AttachToBrowser(IWebBrowser2* browser, HWND window)
{
    window_ = window;
    if (!browser) return attached_;
    ComPtr<IDispatch> document;
    if (FAILED(browser->get_Document(document.Put())) || !document) return attached_;
    ComPtr<ICustomDoc> custom = document.As<ICustomDoc>(kIID_ICustomDoc);
    if (custom && SUCCEEDED(custom->SetUIHandler(static_cast<IDocHostUIHandler*>(this)))) attached_ = true;
    return attached_;
}

STDMETHODIMP UIHandler::QueryInterface(REFIID iid, void** out)
{
    static const InterfaceEntry<UIHandler> table[] = {
        {&IID_IUnknown, [](UIHandler* h) -> IUnknown* { return static_cast<IDocHostUIHandler*>(h); }},
        {&IID_IDocHostUIHandler, [](UIHandler* h) -> IUnknown* { return static_cast<IDocHostUIHandler*>(h); }},
        {&IID_IDispatch, [](UIHandler* h) -> IUnknown* { return static_cast<IDispatch*>(h); }},
    };
    return QueryInterfaceFromTable(this, table, iid, out);
}

STDMETHODIMP UIHandler::GetHostInfo(DOCHOSTUIINFO* info)
{
    if (!info) return E_POINTER;
    info->dwFlags = DOCHOSTUIFLAG_NO3DBORDER | DOCHOSTUIFLAG_SCROLL_NO | DOCHOSTUIFLAG_ENABLE_FORMS_AUTOCOMPLETE |
                    DOCHOSTUIFLAG_THEME | DOCHOSTUIFLAG_DPI_AWARE;
    info->dwDoubleClick = DOCHOSTUIDBLCLK_DEFAULT;
    return S_OK;
}

STDMETHODIMP UIHandler::GetExternal(IDispatch** dispatch)
{
    if (!dispatch) return E_POINTER;
    // The external object reads and writes the user's files: only our own page may hold it.
    if (externalGate_ && !externalGate_()) {
        *dispatch = nullptr;
        return S_FALSE;
    }
    *dispatch = static_cast<IDispatch*>(this);
    return S_OK;
}

STDMETHODIMP UIHandler::GetTypeInfoCount(UINT* count)
{
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

STDMETHODIMP UIHandler::GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID, DISPID* ids)
{
    if (!names || !ids) return E_POINTER;
    if (names[0] && _wcsicmp(names[0], L"JsonCommand") == 0) {
        ids[0] = kJsonCommandId;
        return S_OK;
    }
    ids[0] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
}

STDMETHODIMP UIHandler::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result, EXCEPINFO*, UINT*)
{
    if (id != kJsonCommandId) return E_INVALIDARG;
    if (!params || params->cArgs != 1 || !params->rgvarg) return E_FAIL;
    // No exception may leave a COM method: a command that fails deep inside gives no answer.
    try {
        std::wstring request, answer;
        if (!VariantText(params->rgvarg[0], request)) return S_OK;
        if (!RunRequest(request, answer)) return S_OK;
        if (result) {
            VariantClear(result);
            result->vt = VT_BSTR;
            result->bstrVal = SysAllocStringLen(answer.data(), static_cast<UINT>(answer.size()));
        }
    } catch (...) {
    }
    return S_OK;
}

bool UIHandler::RunRequest(const std::wstring& text, std::wstring& answer)
{
    JsonWrapper request;
    if (!request.Parse(text)) return false;
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

void UIHandler::InitPropList(const JsonWrapper& request, std::wstring&)
{
    const std::wstring category = MemberText(request, L"cat");
    const std::wstring list = MemberText(request, L"props");
    if (category == L"doc")
        doc_.SetPropList(list);
    else if (category == L"exif")
        exif_.SetPropList(list);
    else if (category == L"media")
        media_.SetPropList(list);
    else if (category == L"avi")
        avi_.SetPropList(list);
}

void UIHandler::SetProps(const JsonWrapper& request, std::wstring& answer)
{
    SetPropsPause pause;
    JsonWrapper result;
    result.MakeObject();
    const std::wstring fileName = MemberText(request, L"filename");
    const std::wstring category = MemberText(request, L"cat");
    const JsonWrapper props = request.GetMember(L"props");
    const JsonWrapper categoryProps = props.GetMember(category);
    std::wstring error;
    if (category == L"datetime") {
        result.AddBool(L"result", WriteFileTimes(fileName, props, error) == 1);
    } else if (category == L"attributes") {
        const DWORD attributes = LettersToAttributes(MemberText(props, L"attributes"));
        result.AddBool(L"result", SetFileAttributesW(fileName.c_str(), attributes) == 1);
    } else if (category == L"doc") {
        result.AddBool(L"result", doc_.SetProps(fileName, categoryProps, error));
    } else if (category == L"exif") {
        result.AddBool(L"result", exif_.SetProps(fileName, categoryProps, error));
    } else if (category == L"avi") {
        result.AddBool(L"result", avi_.SetProps(fileName, categoryProps, error));
    } else if (category == L"media") {
        result.AddBool(L"result", media_.SetProps(fileName, categoryProps));
    }
    result.AddString(L"error", error);
    answer = result.Print();
}

void UIHandler::GetProps(const JsonWrapper& request, std::wstring& answer)
{
    const std::wstring fileName = MemberText(request, L"name");
    bool allProps = false;
    request.GetMember(L"allprops").GetBool(allProps);

    JsonWrapper result;
    result.MakeObject();
    ReadFileTimes(fileName, result);
    // An unreadable attribute word shows as no letters, not as every letter.
    const DWORD attributes = GetFileAttributesW(fileName.c_str());
    result.AddString(L"attributes", attributes == INVALID_FILE_ATTRIBUTES ? L"" : AttributesToLetters(attributes));
    if (allProps) {
        JsonWrapper doc, exif, avi;
        doc_.GetProps(fileName, doc);
        result.AddDocument(L"doc", doc);
        exif_.GetProps(fileName, exif);
        result.AddDocument(L"exif", exif);
        media_.GetProps(fileName, result);
        avi_.GetProps(fileName, avi);
        result.AddDocument(L"avi", avi);
    }
    answer = result.Print();
}

void UIHandler::AddFiles(const JsonWrapper& request, std::wstring& answer)
{
    // Flags are on only for the exact text "true": a JSON true, or the string "true".
    const auto flag = [&request](const wchar_t* name) { return MemberText(request, name) == L"true"; };
    answer = CollectFiles(flag(L"forfolder"), flag(L"subdir"), flag(L"includedir"), flag(L"dironly"));
}

void UIHandler::Log(const JsonWrapper& request, std::wstring&)
{
    LogFromPage(MemberText(request, L"data"));
}

void UIHandler::GetWmi(const JsonWrapper& request, std::wstring& answer)
{
    // The query takes the three strings over and frees them.
    answer = hardware_.QueryWmi(SysAllocString(MemberText(request, L"namespace").c_str()),
                                SysAllocString(MemberText(request, L"classname").c_str()),
                                SysAllocString(MemberText(request, L"propname").c_str()));
}

void UIHandler::GetSetting(const JsonWrapper& request, std::wstring& answer)
{
    answer = ReadSetting(MemberText(request, L"name"));
}

void UIHandler::SetSetting(const JsonWrapper& request, std::wstring&)
{
    WriteSetting(MemberText(request, L"name"), MemberText(request, L"value"));
}

void UIHandler::GetAppVer(const JsonWrapper&, std::wstring& answer)
{
    answer = GetAppVersion(OwnModulePath());
}

void UIHandler::GetCmdLine(const JsonWrapper&, std::wstring& answer)
{
    answer = GetCommandLineW();
}

void UIHandler::OpenUrl(const JsonWrapper& request, std::wstring&)
{
    OpenWebOrMailAddress(MemberText(request, L"url"));
}

void UIHandler::GetWinSize(const JsonWrapper&, std::wstring& answer)
{
    answer = WindowSizeText(window_);
}

void UIHandler::SetWinSize(const JsonWrapper& request, std::wstring& answer)
{
    answer = SetWindowSizeFromText(window_, MemberText(request, L"size"));
}
