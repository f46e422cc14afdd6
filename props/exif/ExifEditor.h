#pragma once
// The "exif" category: the EXIF items of images, listed and written as texts. The items come from
// the program's own image-metadata layer (ExifImage), which writes the EXIF block back without
// touching the image data; the file is replaced in one step, never deleted first.
#include "props/PropertyHandler.h"

#include <memory>
#include <string>

class ImageFile;

class ExifEditor : public PropertyHandler {
public:
    ExifEditor();
    ~ExifEditor() override;

    void GetProps(const std::wstring& fileName, JsonWrapper& result) override;
    bool SetProps(const std::wstring& fileName, JsonView props, std::wstring& error) override;

private:
    // The bytes of the file at hand, in a buffer kept from one file to the next.
    std::unique_ptr<ImageFile> file_;
};
