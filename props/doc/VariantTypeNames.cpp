#include "VariantTypeNames.h"

namespace docprops {

namespace {

struct TypeName {
    const wchar_t* name;
    VARTYPE type;
};

constexpr TypeName kTypeNames[] = {
    {L"VT_LPSTR", VT_LPSTR},
    {L"VT_LPWSTR", VT_LPWSTR},
    {L"VT_UI8", VT_UI8},
    {L"VT_I4", VT_I4},
    {L"VT_UI4", VT_UI4},
    {L"VT_FILETIME", VT_FILETIME},
    {L"VT_BOOL", VT_BOOL},
    {L"VT_VECTOR|VT_VARIANT", VT_VECTOR | VT_VARIANT},
    {L"VT_VECTOR|VT_LPSTR", VT_VECTOR | VT_LPSTR},
    {L"VT_R8", VT_R8},
    {L"VT_CF", VT_CF},
};

} // namespace

std::wstring TypeNameOf(VARTYPE type)
{
    for (const TypeName& entry : kTypeNames) {
        if (entry.type == type) return entry.name;
    }
    return {};
}

VARTYPE TypeFromName(const std::wstring& name)
{
    for (const TypeName& entry : kTypeNames) {
        if (name == entry.name) return entry.type;
    }
    return VT_EMPTY;
}

} // namespace docprops
