#pragma once
// How the values of one property-map key are shown and sent back: one text, the values joined
// with "; ", and for several values also the list itself, so that a reader of the entry need not
// split a value that holds the separator. A write splits the text on the same separator.
#include "core/JsonWrapper.h"

#include <taglib/tstringlist.h>

#include <string>

// The values one after the other with "; " between them.
std::wstring ShownTagText(const TagLib::StringList& values);

// The text split on "; " (one value when it holds none); no value for an empty text.
TagLib::StringList SplitTagText(const std::wstring& text);

// A new entry for the key: the property list's copy for it, or "name" and "type" ("String").
JsonWrapper NewTagEntry(const JsonWrapper& propList, const std::wstring& key);

// Adds to result, an object, the entry for the key: the property list's copy for it, or "name"
// and "type" ("String"), with "data" appended, and "values" when there are several.
void AddMapEntry(const JsonWrapper& propList, const std::wstring& key, const TagLib::StringList& values,
                 JsonWrapper& result);
