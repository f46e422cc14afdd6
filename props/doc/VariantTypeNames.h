#pragma once
// The names under which the page knows the types of document property values ("VT_LPSTR",
// "VT_FILETIME", ...): the only ones the handler reads from a list entry or writes into an item.
#include <wtypes.h>

#include <string>

namespace docprops {

// The name of a type; empty text for a type without one.
std::wstring TypeNameOf(VARTYPE type);

// The type of a name, compared exactly; VT_EMPTY for any other text.
VARTYPE TypeFromName(const std::wstring& name);

} // namespace docprops
