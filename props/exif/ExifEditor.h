#pragma once
// The "exif" category: the EXIF items of images, listed and written as texts.
#include "props/PropertyHandler.h"

#include <string>

class ExifEditor : public PropertyHandler {
public:
    void GetProps(const std::wstring& fileName, JsonWrapper& result) override;
    bool SetProps(const std::wstring& fileName, JsonView props, std::wstring& error) override;
};
