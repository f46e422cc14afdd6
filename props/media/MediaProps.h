#pragma once
// The "media" category: the tags of audio and video files, read and written through the tag
// library. The route (ID3v2 frames, MP4 or ASF property map, basic fields) follows the file name.
#include "props/PropertyHandler.h"

#include <string>

class MediaProps : public PropertyHandler {
public:
    // Always leaves an object in result, empty when the file's tags cannot be read.
    void GetProps(const std::wstring& fileName, JsonWrapper& result) override;
    // True when the library saved the tags. Gives no error text.
    bool SetProps(const std::wstring& fileName, JsonView props, std::wstring& error) override;
};
