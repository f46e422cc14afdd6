#pragma once
// The "doc" category: the OLE property sets of a file.
#include "props/PropertyHandler.h"

#include <string>

class SummaryPropsEditor : public PropertyHandler {
public:
    void GetProps(const std::wstring& fileName, JsonWrapper& result) override;
    bool SetProps(const std::wstring& fileName, JsonView props, std::wstring& error) override;
};
