#pragma once
// Stored document property values (PROPVARIANT) and the texts the page shows and edits.
//
// Writing only ever stores a value the user gave: a text that is not a value of its type is
// refused, and a type without a text form (clipboard data, vectors, unknown type names) is left as
// it is stored rather than overwritten with a zero.
#include "platform/PropVariant.h"

#include <windows.h>
#include <propsys.h>

#include <optional>
#include <string>

namespace docprops {

// The summary information set, whose PID 10 is the total editing time.
inline constexpr FMTID kSummaryInformation = {
    0xF29F85E0, 0x4FF9, 0x1068, {0xAB, 0x91, 0x08, 0x00, 0x2B, 0x27, 0xB3, 0xD9}};
inline constexpr PROPID kEditTimeId = 10;

// The text of a stored value: numbers in decimal, strings as they are, "True"/"False", a time as
// local date-time text, the editing time as a duration "hh:mm:ss", string vectors joined with
// ", "; empty text for a type without a text form. Nothing for a time the date-time text cannot
// show, which a listing then leaves out.
std::optional<std::wstring> VariantToText(const PROPVARIANT& value, const PROPERTYKEY& key);

// The elements of a vector of strings (wide, COM or ANSI), joined with ", "; empty text for a
// vector of anything else. Reading stops at the first element that is not a string.
std::wstring JoinStringElements(const PROPVARIANT& value);

enum class TextConversion {
    Converted,  // value holds what to store
    NoTextForm, // the type has no text form: nothing is to be stored
    NotAValue,  // the text is not a value of the type: the write must be refused
};

// The value to store for a text of the given type. `name` is the property's name in the request:
// "EditTime" takes a duration ("h:m:s") as well as a number of 100-nanosecond units. Strings are
// stored as VT_LPWSTR whatever their type name says.
TextConversion TextToVariant(const std::wstring& name, VARTYPE type, const std::wstring& text, PropVariant& value);

// What a refused text was expected to be, for the message that names it ("number", ...).
std::wstring ExpectedTextOf(const std::wstring& name, VARTYPE type);

} // namespace docprops
