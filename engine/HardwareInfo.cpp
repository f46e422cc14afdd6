#include "HardwareInfo.h"

#include "core/TextConvert.h"
#include "platform/Bstr.h"
#include "platform/ComError.h"
#include "platform/ComPtr.h"
#include "platform/Variant.h"

#include <objbase.h>
#include <wbemcli.h>

#include <cwchar>
#include <cwctype>
#include <exception>

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

} // namespace

std::wstring HardwareInfo::QueryWmi(BSTR nameSpace, BSTR className, BSTR propertyName)
{
    // The strings are ours from here on, whatever happens.
    const Bstr ownedNameSpace = Bstr::Adopt(nameSpace), ownedClass = Bstr::Adopt(className),
               ownedProperty = Bstr::Adopt(propertyName);
    std::wstring result;
    try {
        ComPtr<IWbemLocator> locator;
        if (CoCreateInstance(kCLSID_WbemAdministrativeLocator, nullptr,
                             CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER,
                             IID_IWbemLocator, locator.PutVoid()) != S_OK)
            return result;
        // The process-wide security set at start-up applies; no proxy blanket of its own. A null
        // string is the empty one to COM, but not every WMI provider takes it so.
        const Bstr resource(BstrText(nameSpace));
        if (!resource.Get()) return result;
        ComPtr<IWbemServices> services;
        if (locator->ConnectServer(resource.Get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr, services.Put()) !=
            S_OK)
            return result;
        const std::wstring clazz = BstrText(className);
        const Bstr language(L"WQL");
        const Bstr query(L"Select * from " + clazz);
        ComPtr<IEnumWbemClassObject> objects;
        if (services->ExecQuery(language.Get(), query.Get(), WBEM_FLAG_RETURN_IMMEDIATELY | WBEM_FLAG_FORWARD_ONLY,
                                nullptr, objects.Put()) != S_OK)
            return result;
        const std::wstring property = BstrText(propertyName);
        for (;;) {
            ComPtr<IWbemClassObject> object;
            ULONG returned = 0;
            if (objects->Next(WBEM_INFINITE, 1, object.Put(), &returned) != S_OK || !object) break;
            if (IsLeftOut(object.Get(), clazz)) continue;
            std::wstring value;
            if (!ReadString(object.Get(), property.c_str(), value)) continue;
            value = TrimWhiteSpace(value);
            if (value.empty()) continue;
            if (!result.empty()) result += L';';
            result += value;
        }
    } catch (const std::exception&) {
        // What was gathered before the failure is still the answer.
    }
    return result;
}
