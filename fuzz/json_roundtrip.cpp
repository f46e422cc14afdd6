// The JSON document's text forms: whatever parses must print to a text that parses again and
// prints the same. The one allowed difference is a number whose printed form rounds it (six
// decimals, or seven digits with an exponent, the page's fixed forms): read back, it may print
// otherwise, and the next pass must then change nothing. Input goes in both ways the program takes
// it: as UTF-8 bytes straight to the parser, and as the UTF-16 text a request arrives as; the
// parsed document is also read through JsonView, as the command engine reads requests.
#include "FuzzCheck.h"

#include "core/JsonText.h"
#include "core/JsonWrapper.h"
#include "core/TextConvert.h"

#include <cjson/cJSON.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace {

struct TreeDeleter {
    void operator()(cJSON* item) const { cJSON_Delete(item); }
};
using Tree = std::unique_ptr<cJSON, TreeDeleter>;

bool SameText(const char* a, const char* b)
{
    return (a == nullptr) == (b == nullptr) && (a == nullptr || std::strcmp(a, b) == 0);
}

// True when the printed number reads back as the same value.
bool PrintsExactly(const cJSON* number)
{
    const std::string printed = PrintJsonText(number);
    return std::strtod(printed.c_str(), nullptr) == number->valuedouble;
}

// The tree parsed from the print of `first` against `first`: the same shape, names, strings and
// words; numbers the same unless their print rounded them (reported through `rounded`); a number
// without a JSON spelling comes back as null.
void CheckReparsed(const cJSON* first, const cJSON* second, bool& rounded)
{
    FUZZ_CHECK(SameText(first->string, second->string));
    const int type = first->type & 0xFF;
    if (type == cJSON_Number && !std::isfinite(first->valuedouble)) {
        FUZZ_CHECK((second->type & 0xFF) == cJSON_NULL);
        return;
    }
    FUZZ_CHECK((second->type & 0xFF) == type);
    switch (type) {
    case cJSON_String: FUZZ_CHECK(SameText(first->valuestring, second->valuestring)); break;
    case cJSON_Number:
        if (PrintsExactly(first))
            FUZZ_CHECK(second->valuedouble == first->valuedouble);
        else
            rounded = true;
        break;
    case cJSON_Array:
    case cJSON_Object: {
        const cJSON* a = first->child;
        const cJSON* b = second->child;
        for (; a && b; a = a->next, b = b->next)
            CheckReparsed(a, b, rounded);
        FUZZ_CHECK(a == nullptr && b == nullptr);
        break;
    }
    default: break;
    }
}

// Parse, print, parse the print, print again, and hold the two prints to the property above.
void CheckRoundTrip(std::string_view text)
{
    const Tree first(ParseJsonText(text));
    if (!first) return;
    const std::string printed = PrintJsonText(first.get());
    const Tree second(ParseJsonText(printed));
    FUZZ_CHECK(second != nullptr);
    bool rounded = false;
    CheckReparsed(first.get(), second.get(), rounded);
    const std::string reprinted = PrintJsonText(second.get());
    if (reprinted == printed) return;
    FUZZ_CHECK(rounded);
    const Tree third(ParseJsonText(reprinted));
    FUZZ_CHECK(third != nullptr);
    FUZZ_CHECK(PrintJsonText(third.get()) == reprinted);
}

std::wstring FoldAscii(std::wstring text)
{
    for (wchar_t& c : text)
        if (c >= L'A' && c <= L'Z') c += L'a' - L'A';
    return text;
}

// Reads a node the ways the engine does and checks that the readings agree with one another.
void Walk(JsonView view, int depth)
{
    int count = 0;
    for (JsonView child : view) {
        if (view.IsObject()) {
            // Lookup folds ASCII case and takes the first match, which may be an earlier member.
            const JsonView found = view.Member(child.Name());
            FUZZ_CHECK(!found.IsEmpty());
            FUZZ_CHECK(FoldAscii(found.Name()) == FoldAscii(child.Name()));
        } else {
            FUZZ_CHECK(child.Name().empty());
        }
        Walk(child, depth + 1);
        ++count;
    }
    FUZZ_CHECK(count == view.Count());

    int number = 0;
    bool flag = false;
    std::wstring text;
    const bool isNumber = view.GetInt(number);
    const bool isFlag = view.GetBool(flag);
    const bool hasText = view.GetText(text);
    if (isNumber) FUZZ_CHECK(hasText && text == std::to_wstring(number));
    if (isFlag) FUZZ_CHECK(hasText && text == (flag ? L"true" : L"false"));
    if (view.IsObject() || view.IsArray()) FUZZ_CHECK(!hasText && !isNumber && !isFlag);
    if (!view.IsObject()) FUZZ_CHECK(view.Member(L"cmd").IsEmpty());
    FUZZ_CHECK(MemberText(view, L"name") == (view.Member(L"name").GetText(text) ? text : std::wstring()));

    // Copies cost a subtree each, so only the top levels are copied.
    if (depth < 2) {
        const JsonWrapper copy = view.Copy();
        FUZZ_CHECK(copy.GetCount() == count);
        FUZZ_CHECK(copy.GetName() == view.Name());
        if (view.IsString()) {
            JsonWrapper reparsed;
            FUZZ_CHECK(reparsed.Parse(copy.Print()));
            std::wstring again;
            FUZZ_CHECK(reparsed.GetText(again) && view.GetText(text) && again == text);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    CheckRoundTrip(bytes);

    // The way a request arrives: UTF-16 text, ill-formed UTF-8 already replaced.
    const std::wstring text = Utf8ToUtf16(bytes);
    JsonWrapper document;
    if (!document.Parse(text)) return 0;
    const std::wstring printed = document.Print();
    JsonWrapper again;
    FUZZ_CHECK(again.Parse(printed));
    CheckRoundTrip(Utf16ToUtf8(printed));
    if (Utf16ToUtf8(text) == bytes) FUZZ_CHECK(Utf16ToUtf8(printed) == PrintJsonText(Tree(ParseJsonText(bytes)).get()));

    Walk(document.View(), 0);
    int index = 0;
    for (JsonView child : document.View()) {
        if (index == 8) break;
        FUZZ_CHECK(document.GetItem(index++).Print() == child.Copy().Print());
    }
    return 0;
}
