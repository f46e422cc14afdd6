#pragma once
// The "exif" category: the EXIF items of images, listed and written as texts.
#include "../bridge/JsonWrapper.h"

#include <windows.h>

#include <string>

class ExifEditor {
public:
    ExifEditor() = default;
    ExifEditor(const ExifEditor&) = delete;
    ExifEditor& operator=(const ExifEditor&) = delete;
    virtual ~ExifEditor() = default;

    // Replaces the page's property list; a text that is not JSON leaves the list empty.
    bool SetPropList(const std::wstring& listText) { return propList_.Parse(listText); }

    void GetProps(const std::wstring& fileName, JsonWrapper& result);
    bool SetProps(const std::wstring& fileName, const JsonWrapper& props, std::wstring& error);

    // The GDI+ session is started and stopped by the main window; this handler keeps its token.
    ULONG_PTR& GdiplusToken() { return gdiplusToken_; }

private:
    JsonWrapper propList_;
    ULONG_PTR gdiplusToken_ = 0;
};
