#pragma once
// The "avi" category: the INFO list of AVI files.
#include "props/PropertyHandler.h"

#include <string>

class AVIFileProp : public PropertyHandler {
public:
    void GetProps(const std::wstring& fileName, JsonWrapper& result) override;
    bool SetProps(const std::wstring& fileName, JsonView props, std::wstring& error) override;
};
