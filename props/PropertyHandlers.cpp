#include "PropertyHandlers.h"

PropertyHandlers::PropertyHandlers()
    : table_{{{L"doc", &doc_}, {L"exif", &exif_}, {L"media", &media_}, {L"avi", &avi_}}}
{}

PropertyHandler* PropertyHandlers::Find(std::wstring_view category) const
{
    for (const Entry& entry : table_) {
        if (category == entry.category) return entry.handler;
    }
    return nullptr;
}
