#include "HardwareInfo.h"

#include "core/TextConvert.h"
#include "platform/Bstr.h"
#include "platform/ComError.h"
#include "platform/ComPtr.h"
#include "platform/Variant.h"

#include <objbase.h>
#include <wbemcli.h>

#include <condition_variable>
#include <cwchar>
#include <cwctype>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

namespace {

// The administrative WMI locator; mingw-w64 does not declare it.
constexpr CLSID kCLSID_WbemAdministrativeLocator = {
    0xCB8555CC, 0x9128, 0x11D1, {0xAD, 0x9B, 0x00, 0xC0, 0x4F, 0xD8, 0xFD, 0xFF}};

// The value of a property when it is a present value of the given CIM type.
bool ReadProperty(IWbemClassObject* object, const wchar_t* name, CIMTYPE wanted, Variant& value)
{
    CIMTYPE type = 0;
    return object->Get(name, 0, value.Get(), &type, nullptr) == S_OK && value.Get()->vt != VT_NULL && type == wanted;
}

// A string property as text. Throws when the value cannot be converted.
bool ReadString(IWbemClassObject* object, const wchar_t* name, std::wstring& text)
{
    Variant value;
    if (!ReadProperty(object, name, CIM_STRING, value)) return false;
    ThrowIfFailed(VariantChangeType(value.Get(), value.Get(), 0, VT_BSTR));
    text = BstrText(value.Get()->bstrVal);
    return true;
}

// Removable disks and virtual network adapters are not the machine's own hardware.
bool IsLeftOut(IWbemClassObject* object, const std::wstring& className)
{
    if (className == L"Win32_DiskDrive") {
        std::wstring interfaceType;
        if (ReadString(object, L"InterfaceType", interfaceType))
            return interfaceType == L"USB" || interfaceType == L"1394";
    } else if (className == L"Win32_NetworkAdapter") {
        Variant physical;
        if (ReadProperty(object, L"PhysicalAdapter", CIM_BOOLEAN, physical))
            return physical.Get()->vt == VT_BOOL && physical.Get()->boolVal == VARIANT_FALSE;
    }
    return false;
}

// What the caller and the query's thread share. The caller may give up and return while the
// thread still waits inside WMI, so each side holds it.
struct QueryState {
    std::mutex mutex;
    std::condition_variable progress;
    std::wstring result;
    unsigned steps = 0;
    bool finished = false;
    bool abandoned = false;

    // Counts a finished step, with a value gathered by it if any; false once the caller has gone.
    bool Step(const std::wstring* value = nullptr)
    {
        const std::lock_guard<std::mutex> lock(mutex);
        if (value) {
            if (!result.empty()) result += L';';
            result += *value;
        }
        ++steps;
        progress.notify_all();
        return !abandoned;
    }

    void Finish()
    {
        const std::lock_guard<std::mutex> lock(mutex);
        finished = true;
        progress.notify_all();
    }
};

void RunQuery(QueryState& state, const std::wstring& nameSpace, const std::wstring& clazz, const std::wstring& property)
{
    ComPtr<IWbemLocator> locator;
    if (CoCreateInstance(kCLSID_WbemAdministrativeLocator, nullptr,
                         CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER,
                         IID_IWbemLocator, locator.PutVoid()) != S_OK ||
        !state.Step())
        return;
    // The process-wide security set at start-up applies; no proxy blanket of its own. A null
    // string is the empty one to COM, but not every WMI provider takes it so.
    const Bstr resource(nameSpace);
    if (!resource.Get()) return;
    ComPtr<IWbemServices> services;
    if (locator->ConnectServer(resource.Get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr, services.Put()) !=
            S_OK ||
        !state.Step())
        return;
    const Bstr language(L"WQL");
    const Bstr query(L"Select * from " + clazz);
    ComPtr<IEnumWbemClassObject> objects;
    if (services->ExecQuery(language.Get(), query.Get(), WBEM_FLAG_RETURN_IMMEDIATELY | WBEM_FLAG_FORWARD_ONLY, nullptr,
                            objects.Put()) != S_OK ||
        !state.Step())
        return;
    const long stepLimit = static_cast<long>(HardwareInfo::kStepLimit.count());
    for (;;) {
        ComPtr<IWbemClassObject> object;
        ULONG returned = 0;
        // A timed-out wait (WBEM_S_TIMEDOUT) ends the query as an error does.
        if (objects->Next(stepLimit, 1, object.Put(), &returned) != S_OK || !object) break;
        std::wstring value;
        if (!IsLeftOut(object.Get(), clazz) && ReadString(object.Get(), property.c_str(), value))
            value = TrimWhiteSpace(value);
        if (!state.Step(value.empty() ? nullptr : &value)) break;
    }
}

// The query's thread: an apartment of its own, released before the thread ends.
void QueryThread(std::shared_ptr<QueryState> state, std::wstring nameSpace, std::wstring clazz, std::wstring property)
{
    const HRESULT apartment = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    try {
        RunQuery(*state, nameSpace, clazz, property);
    } catch (...) {
        // What was gathered before the failure is still the answer; nothing may leave a thread.
    }
    if (SUCCEEDED(apartment)) CoUninitialize();
    state->Finish();
}

} // namespace

bool IsWmiIdentifier(std::wstring_view text)
{
    if (text.empty()) return false;
    for (const wchar_t c : text) {
        if (!((c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || (c >= L'0' && c <= L'9') || c == L'_'))
            return false;
    }
    return true;
}

bool IsLocalWmiNamespace(std::wstring_view text)
{
    // The empty namespace is WMI's default one on this machine.
    if (text.empty()) return true;
    // Each part a name: a leading separator (\\server\...), an empty part or a trailing separator
    // fails here.
    for (size_t start = 0;;) {
        const size_t end = text.find_first_of(L"\\/", start);
        if (!IsWmiIdentifier(text.substr(start, end == std::wstring_view::npos ? end : end - start))) return false;
        if (end == std::wstring_view::npos) return true;
        start = end + 1;
    }
}

std::wstring HardwareInfo::QueryWmi(BSTR nameSpace, BSTR className, BSTR propertyName)
{
    // The strings are ours from here on, whatever happens.
    const Bstr ownedNameSpace = Bstr::Adopt(nameSpace), ownedClass = Bstr::Adopt(className),
               ownedProperty = Bstr::Adopt(propertyName);
    const std::wstring space = BstrText(nameSpace), clazz = BstrText(className), property = BstrText(propertyName);
    if (!IsLocalWmiNamespace(space) || !IsWmiIdentifier(clazz) || !IsWmiIdentifier(property)) return {};

    auto state = std::make_shared<QueryState>();
    try {
        std::thread(QueryThread, state, space, clazz, property).detach();
    } catch (const std::exception&) {
        return {}; // no thread to run it on
    }
    std::unique_lock<std::mutex> lock(state->mutex);
    for (unsigned seen = 0; !state->finished; seen = state->steps) {
        const bool moved =
            state->progress.wait_for(lock, kStepLimit, [&] { return state->finished || state->steps != seen; });
        if (!moved) {
            state->abandoned = true;
            break;
        }
    }
    return state->result;
}
