#include "JsonWrapper.h"

#include "JsonText.h"
#include "TextConvert.h"

#include <cjson/cJSON.h>

#include <cstdio>
#include <utility>

namespace {

int Type(const cJSON* item)
{
    return item->type & 0xFF;
}

// Member names match when ASCII letters are folded; other bytes must be equal.
bool NamesMatch(const char* a, const char* b)
{
    const auto fold = [](unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; };
    for (;; ++a, ++b) {
        if (fold(static_cast<unsigned char>(*a)) != fold(static_cast<unsigned char>(*b))) return false;
        if (*a == '\0') return true;
    }
}

cJSON* CopyTree(const cJSON* item)
{
    return item ? cJSON_Duplicate(item, true) : nullptr;
}

} // namespace

JsonWrapper::JsonWrapper(const JsonWrapper& other) : root_(CopyTree(other.root_)) {}

JsonWrapper& JsonWrapper::operator=(const JsonWrapper& other)
{
    if (this != &other) {
        Reset();
        root_ = CopyTree(other.root_);
    }
    return *this;
}

JsonWrapper::JsonWrapper(JsonWrapper&& other) noexcept : root_(std::exchange(other.root_, nullptr)) {}

JsonWrapper& JsonWrapper::operator=(JsonWrapper&& other) noexcept
{
    if (this != &other) Reset(std::exchange(other.root_, nullptr));
    return *this;
}

JsonWrapper::~JsonWrapper()
{
    Reset();
}

void JsonWrapper::Reset(cJSON* root)
{
    if (root_) cJSON_Delete(root_);
    root_ = root;
}

bool JsonWrapper::MakeObject()
{
    Reset(cJSON_CreateObject());
    return root_ != nullptr;
}

bool JsonWrapper::MakeArray()
{
    Reset(cJSON_CreateArray());
    return root_ != nullptr;
}

bool JsonWrapper::Parse(const std::wstring& text)
{
    Reset();
    root_ = ParseJsonText(Utf16ToUtf8(text));
    return root_ != nullptr;
}

std::wstring JsonWrapper::Print() const
{
    return Utf8ToUtf16(PrintJsonText(root_));
}

bool JsonWrapper::AddItem(const std::wstring& name, cJSON* item)
{
    if (!item) return false;
    if (!root_ || Type(root_) != cJSON_Object || !cJSON_AddItemToObject(root_, Utf16ToUtf8(name).c_str(), item)) {
        cJSON_Delete(item);
        return false;
    }
    return true;
}

bool JsonWrapper::AddString(const std::wstring& name, const std::wstring& value)
{
    if (!root_ || Type(root_) != cJSON_Object) return false;
    return AddItem(name, cJSON_CreateString(Utf16ToUtf8(value).c_str()));
}

bool JsonWrapper::AddNumber(const std::wstring& name, double value)
{
    if (!root_ || Type(root_) != cJSON_Object) return false;
    return AddItem(name, cJSON_CreateNumber(value));
}

bool JsonWrapper::AddBool(const std::wstring& name, bool value)
{
    if (!root_ || Type(root_) != cJSON_Object) return false;
    return AddItem(name, cJSON_CreateBool(value));
}

bool JsonWrapper::AddDocument(const std::wstring& name, const JsonWrapper& document)
{
    if (!root_ || Type(root_) != cJSON_Object || !document.root_) return false;
    return AddItem(name, CopyTree(document.root_));
}

bool JsonWrapper::AppendString(const std::wstring& value)
{
    if (!root_ || Type(root_) != cJSON_Array) return false;
    cJSON* item = cJSON_CreateString(Utf16ToUtf8(value).c_str());
    if (!item) return false;
    if (!cJSON_AddItemToArray(root_, item)) {
        cJSON_Delete(item);
        return false;
    }
    return true;
}

JsonWrapper JsonWrapper::GetMember(const std::wstring& name) const
{
    return Member(name).Copy();
}

JsonWrapper JsonWrapper::GetItem(int index) const
{
    if (!root_) return {};
    const cJSON* child = root_->child;
    for (int i = 0; child && i < index; ++i)
        child = child->next;
    return JsonWrapper(CopyTree(child));
}

int JsonWrapper::GetCount() const
{
    return View().Count();
}

std::wstring JsonWrapper::GetName() const
{
    return View().Name();
}

bool JsonWrapper::GetInt(int& out) const
{
    return View().GetInt(out);
}

bool JsonWrapper::GetBool(bool& out) const
{
    return View().GetBool(out);
}

bool JsonWrapper::GetText(std::wstring& out) const
{
    return View().GetText(out);
}

bool JsonWrapper::AddView(const std::wstring& name, JsonView value)
{
    if (!root_ || Type(root_) != cJSON_Object || !value.node_) return false;
    return AddItem(name, CopyTree(value.node_));
}

bool JsonView::IsObject() const
{
    return node_ && Type(node_) == cJSON_Object;
}

bool JsonView::IsArray() const
{
    return node_ && Type(node_) == cJSON_Array;
}

bool JsonView::IsString() const
{
    return node_ && Type(node_) == cJSON_String;
}

JsonView JsonView::Member(std::wstring_view name) const
{
    if (!IsObject()) return {};
    const std::string key = Utf16ToUtf8(name);
    for (const cJSON* child = node_->child; child; child = child->next) {
        if (child->string && NamesMatch(child->string, key.c_str())) return JsonView(child);
    }
    return {};
}

int JsonView::Count() const
{
    if (!IsObject() && !IsArray()) return 0;
    int count = 0;
    for (const cJSON* child = node_->child; child; child = child->next)
        ++count;
    return count;
}

std::wstring JsonView::Name() const
{
    if (!node_ || !node_->string) return {};
    return Utf8ToUtf16(node_->string);
}

bool JsonView::GetInt(int& out) const
{
    if (!node_ || Type(node_) != cJSON_Number) return false;
    out = node_->valueint;
    return true;
}

bool JsonView::GetBool(bool& out) const
{
    if (!node_) return false;
    switch (Type(node_)) {
    case cJSON_True: out = true; return true;
    case cJSON_False: out = false; return true;
    default: return false;
    }
}

bool JsonView::GetText(std::wstring& out) const
{
    if (!node_) return false;
    switch (Type(node_)) {
    case cJSON_String: out = Utf8ToUtf16(node_->valuestring ? node_->valuestring : ""); return true;
    case cJSON_Number: out = std::to_wstring(node_->valueint); return true;
    case cJSON_True: out = L"true"; return true;
    case cJSON_False: out = L"false"; return true;
    default: return false;
    }
}

JsonWrapper JsonView::Copy() const
{
    return JsonWrapper(CopyTree(node_));
}

JsonView::Iterator JsonView::begin() const
{
    return Iterator(IsObject() || IsArray() ? node_->child : nullptr);
}

JsonView::Iterator& JsonView::Iterator::operator++()
{
    if (node_) node_ = node_->next;
    return *this;
}

std::wstring MemberText(JsonView document, std::wstring_view name)
{
    std::wstring text;
    document.Member(name).GetText(text);
    return text;
}
