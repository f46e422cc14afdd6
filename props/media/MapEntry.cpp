#include "MapEntry.h"
#include "props/media/TagText.h"

using namespace TagLib;

namespace {

const wchar_t kSeparator[] = L"; ";
constexpr size_t kSeparatorSize = 2;

} // namespace

std::wstring ShownTagText(const StringList& values)
{
    std::wstring text;
    for (auto value = values.begin(); value != values.end(); ++value) {
        if (value != values.begin()) text += kSeparator;
        text += FromTagText(*value);
    }
    return text;
}

StringList SplitTagText(const std::wstring& text)
{
    StringList values;
    if (text.empty()) return values;
    size_t start = 0;
    for (size_t at; (at = text.find(kSeparator, start)) != std::wstring::npos; start = at + kSeparatorSize)
        values.append(ToTagText(text.substr(start, at - start)));
    values.append(ToTagText(text.substr(start)));
    return values;
}

JsonWrapper NewTagEntry(const JsonWrapper& propList, const std::wstring& key)
{
    JsonWrapper entry;
    const JsonView known = propList.Member(key);
    if (!known.IsEmpty()) {
        entry = known.Copy();
    } else {
        entry.MakeObject();
        entry.AddString(L"name", key);
        entry.AddString(L"type", L"String");
    }
    return entry;
}

void AddMapEntry(const JsonWrapper& propList, const std::wstring& key, const StringList& values, JsonWrapper& result)
{
    JsonWrapper entry = NewTagEntry(propList, key);
    // A list member that is not an object takes no "data" and goes in as it is.
    entry.AddString(L"data", ShownTagText(values));
    if (values.size() > 1) {
        JsonWrapper list;
        list.MakeArray();
        for (const String& value : values)
            list.AppendString(FromTagText(value));
        entry.AddDocument(L"values", list);
    }
    result.AddDocument(key, entry);
}
