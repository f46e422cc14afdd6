#pragma once
// The "avi" category: the INFO list of AVI files.
#include "../bridge/JsonWrapper.h"

#include <string>

class AVIFileProp {
public:
    AVIFileProp() = default;
    AVIFileProp(const AVIFileProp&) = delete;
    AVIFileProp& operator=(const AVIFileProp&) = delete;
    virtual ~AVIFileProp() = default;

    // Replaces the page's property list; a text that is not JSON leaves the list empty.
    bool SetPropList(const std::wstring& listText) { return propList_.Parse(listText); }

    void GetProps(const std::wstring& fileName, JsonWrapper& result);
    bool SetProps(const std::wstring& fileName, const JsonWrapper& props, std::wstring& error);

private:
    JsonWrapper propList_;
};
