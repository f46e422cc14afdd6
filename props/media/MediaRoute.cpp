#include "MediaRoute.h"

namespace {

struct RouteEnding {
    const wchar_t* ending;
    MediaRoute route;
};

constexpr RouteEnding kRoutes[] = {
    {L".mp3", MediaRoute::Id3v2Frames}, {L".mp4", MediaRoute::Mp4Map}, {L".m4a", MediaRoute::Mp4Map},
    {L".m4p", MediaRoute::Mp4Map},      {L".m4b", MediaRoute::Mp4Map}, {L".3g2", MediaRoute::Mp4Map},
    {L".mov", MediaRoute::Mp4Map},      {L".wma", MediaRoute::AsfMap}, {L".wmv", MediaRoute::AsfMap},
    {L".asf", MediaRoute::AsfMap},
};

wchar_t FoldAscii(wchar_t c)
{
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

bool SameIgnoringAsciiCase(std::wstring_view text, std::wstring_view ending)
{
    if (text.size() != ending.size()) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        if (FoldAscii(text[i]) != FoldAscii(ending[i])) return false;
    }
    return true;
}

} // namespace

MediaRoute MediaRouteOf(std::wstring_view fileName)
{
    const std::wstring_view tail = fileName.size() > 4 ? fileName.substr(fileName.size() - 4) : fileName;
    for (const RouteEnding& entry : kRoutes) {
        if (SameIgnoringAsciiCase(tail, entry.ending)) return entry.route;
    }
    return MediaRoute::TagMap;
}
