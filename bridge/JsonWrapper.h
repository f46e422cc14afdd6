#pragma once
// The one JSON value type of the native side: a value-semantics owner of a cJSON tree. Every
// document owns its tree alone; getters return deep copies, adders store deep copies. Text in and
// out is UTF-16; inside the tree it is UTF-8.
#include <string>

struct cJSON;

class JsonWrapper {
public:
    JsonWrapper() = default;
    JsonWrapper(const JsonWrapper& other);
    JsonWrapper& operator=(const JsonWrapper& other);
    JsonWrapper(JsonWrapper&& other) noexcept;
    JsonWrapper& operator=(JsonWrapper&& other) noexcept;
    virtual ~JsonWrapper();

    bool MakeObject();
    bool MakeArray();
    bool Parse(const std::wstring& text);
    std::wstring Print() const;
    bool IsEmpty() const { return root_ == nullptr; }

    bool AddString(const std::wstring& name, const std::wstring& value);
    bool AddNumber(const std::wstring& name, double value);
    bool AddBool(const std::wstring& name, bool value);
    bool AddDocument(const std::wstring& name, const JsonWrapper& document);
    bool AppendString(const std::wstring& value);

    JsonWrapper GetMember(const std::wstring& name) const;
    JsonWrapper GetItem(int index) const;
    int GetCount() const;
    std::wstring GetName() const;

    // Each getter writes its out value only when it returns true.
    bool GetInt(int& out) const;
    bool GetBool(bool& out) const;
    bool GetText(std::wstring& out) const;

private:
    explicit JsonWrapper(cJSON* root) : root_(root) {}
    void Reset(cJSON* root = nullptr);
    bool AddItem(const std::wstring& name, cJSON* item);

    cJSON* root_ = nullptr;
};

// The text of a member: a string as it is, a number's integer in decimal, true and false as those
// words; empty text for a missing member, null, an array or an object.
std::wstring MemberText(const JsonWrapper& document, const wchar_t* name);
