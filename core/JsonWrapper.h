#pragma once
// The one JSON value type of the native side: a value-semantics owner of a cJSON tree. Every
// document owns its tree alone; getters return deep copies, adders store deep copies. Text in and
// out is UTF-16; inside the tree it is UTF-8.
//
// Reading a large document through copies costs a copy of each subtree read, and walking a list
// by index restarts from its head each time. JsonView reads in place: it borrows a node of a
// document, looks members up and iterates children without copying. A view is valid while its
// document lives and is not changed.
#include <cstddef>
#include <string>
#include <string_view>

struct cJSON;
class JsonWrapper;

class JsonView {
public:
    JsonView() = default;

    bool IsEmpty() const { return node_ == nullptr; }
    bool IsObject() const;
    bool IsArray() const;
    bool IsString() const;

    // The first member whose name matches when ASCII letters are folded; an empty view when there
    // is none or this is not an object.
    JsonView Member(std::wstring_view name) const;
    int Count() const;
    std::wstring Name() const;

    // Each getter writes its out value only when it returns true.
    bool GetInt(int& out) const;
    bool GetBool(bool& out) const;
    bool GetText(std::wstring& out) const;

    // A document of its own holding a copy of this node (which keeps its member name).
    JsonWrapper Copy() const;

    // The children in order: array elements, or object members (each carrying its name).
    class Iterator {
    public:
        explicit Iterator(const cJSON* node) : node_(node) {}
        JsonView operator*() const { return JsonView(node_); }
        Iterator& operator++();
        bool operator!=(const Iterator& other) const { return node_ != other.node_; }
        bool operator==(const Iterator& other) const { return node_ == other.node_; }

    private:
        const cJSON* node_;
    };
    Iterator begin() const;
    Iterator end() const { return Iterator(nullptr); }

private:
    friend class JsonWrapper;
    explicit JsonView(const cJSON* node) : node_(node) {}

    const cJSON* node_ = nullptr;
};

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
    bool AddView(const std::wstring& name, JsonView value);
    bool AppendString(const std::wstring& value);

    // Reading in place, without copies.
    JsonView View() const { return JsonView(root_); }
    JsonView Member(std::wstring_view name) const { return View().Member(name); }

    JsonWrapper GetMember(const std::wstring& name) const;
    JsonWrapper GetItem(int index) const;
    int GetCount() const;
    std::wstring GetName() const;

    // Each getter writes its out value only when it returns true.
    bool GetInt(int& out) const;
    bool GetBool(bool& out) const;
    bool GetText(std::wstring& out) const;

private:
    friend class JsonView;
    explicit JsonWrapper(cJSON* root) : root_(root) {}
    void Reset(cJSON* root = nullptr);
    bool AddItem(const std::wstring& name, cJSON* item);

    cJSON* root_ = nullptr;
};

// The text of a member: a string as it is, a number's integer in decimal, true and false as those
// words; empty text for a missing member, null, an array or an object.
std::wstring MemberText(JsonView document, std::wstring_view name);
inline std::wstring MemberText(const JsonWrapper& document, std::wstring_view name)
{
    return MemberText(document.View(), name);
}
