#pragma once
// The "avi" category: the items of an AVI file's INFO list, read and written through this
// program's own RIFF layer (AviRiffFile), since the platform's AVI library cannot write under Wine.
#include "props/PropertyHandler.h"

#include <cstddef>
#include <string>

class AVIFileProp : public PropertyHandler {
public:
    // Reading looks at the first 4096 bytes of the INFO list.
    static constexpr size_t kReadLimit = 4096;

    void GetProps(const std::wstring& fileName, JsonWrapper& result) override;
    bool SetProps(const std::wstring& fileName, JsonView props, std::wstring& error) override;
};
