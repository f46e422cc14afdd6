#pragma once
// The "media" category: tags of audio and video files.
#include "../bridge/JsonWrapper.h"

#include <string>

class MediaProps {
public:
    MediaProps() = default;
    MediaProps(const MediaProps&) = delete;
    MediaProps& operator=(const MediaProps&) = delete;
    virtual ~MediaProps() = default;

    // Replaces the page's property list; a text that is not JSON leaves the list empty.
    bool SetPropList(const std::wstring& listText) { return propList_.Parse(listText); }

    // Adds its own "media" member to the answer document.
    void GetProps(const std::wstring& fileName, JsonWrapper& answer);
    bool SetProps(const std::wstring& fileName, const JsonWrapper& props);

private:
    JsonWrapper propList_;
};
