#pragma once
// The "media" category: tags of audio and video files.
#include "props/PropertyHandler.h"

#include <string>

class MediaProps : public PropertyHandler {
public:
    void GetProps(const std::wstring& fileName, JsonWrapper& result) override;
    bool SetProps(const std::wstring& fileName, JsonView props, std::wstring& error) override;
};
