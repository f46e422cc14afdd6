#pragma once
// The "media" category: the tags of audio and video files, read and written through the tag
// library. The route (ID3v2 frames, MP4 or ASF property map, basic fields) follows the file name.
// A write goes to a scratch copy through a checked stream, is read back by the route, and only
// then replaces the file.
#include "props/PropertyHandler.h"

#include <string>

class MediaProps : public PropertyHandler {
public:
    // Always leaves an object in result, empty when the file's tags cannot be read.
    void GetProps(const std::wstring& fileName, JsonWrapper& result) override;
    // True when the tags were saved and read back as written; false with the reason in words,
    // the file then as it was.
    bool SetProps(const std::wstring& fileName, JsonView props, std::wstring& error) override;
};
