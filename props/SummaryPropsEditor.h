#pragma once
// The "doc" category: the OLE property sets of a file.
#include "../bridge/JsonWrapper.h"

#include <string>

class SummaryPropsEditor {
public:
    SummaryPropsEditor() = default;
    SummaryPropsEditor(const SummaryPropsEditor&) = delete;
    SummaryPropsEditor& operator=(const SummaryPropsEditor&) = delete;
    virtual ~SummaryPropsEditor() = default;

    // Replaces the page's property list; a text that is not JSON leaves the list empty.
    bool SetPropList(const std::wstring& listText) { return propList_.Parse(listText); }

    void GetProps(const std::wstring& fileName, JsonWrapper& result);
    bool SetProps(const std::wstring& fileName, const JsonWrapper& props, std::wstring& error);

private:
    JsonWrapper propList_;
};
