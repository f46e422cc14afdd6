#pragma once
// The property handlers of every category, and the one table from a category word to its
// handler. The table's order is the order of the categories' members in a "getprops" answer.
#include "props/PropertyHandler.h"
#include "props/avi/AVIFileProp.h"
#include "props/doc/SummaryPropsEditor.h"
#include "props/exif/ExifEditor.h"
#include "props/media/MediaProps.h"

#include <array>
#include <string_view>

class PropertyHandlers {
public:
    struct Entry {
        const wchar_t* category;
        PropertyHandler* handler;
    };

    PropertyHandlers();
    PropertyHandlers(const PropertyHandlers&) = delete;
    PropertyHandlers& operator=(const PropertyHandlers&) = delete;

    // The handler of a category word, compared exactly; null for any other word.
    PropertyHandler* Find(std::wstring_view category) const;
    const std::array<Entry, 4>& All() const { return table_; }

private:
    ExifEditor exif_;
    SummaryPropsEditor doc_;
    MediaProps media_;
    AVIFileProp avi_;
    std::array<Entry, 4> table_;
};
