#include "MediaProps.h"
#include "props/media/MediaRoute.h"
#include "props/media/MediaTags.h"
#include "props/media/ScratchCopy.h"

#include <taglib/tfilestream.h>

void MediaProps::GetProps(const std::wstring& fileName, JsonWrapper& result)
{
    result.MakeObject();
    // Read-only: reading needs no write access and takes no write lock.
    TagLib::FileStream stream(fileName.c_str(), true);
    if (!stream.isOpen()) return;
    ReadMediaTags(stream, MediaRouteOf(fileName), PropList(), result);
}

bool MediaProps::SetProps(const std::wstring& fileName, JsonView props, std::wstring&)
{
    // A request without the category's object names no values; on the routes that write the whole
    // set it would otherwise remove every tag.
    if (fileName.empty() || !props.IsObject()) return false;
    ScratchCopy scratch(fileName);
    if (!scratch.IsReady()) return false;
    bool saved = false;
    {
        TagLib::FileStream stream(scratch.Path().c_str(), false);
        if (!stream.isOpen() || stream.readOnly()) return false;
        saved = WriteMediaTags(stream, MediaRouteOf(fileName), props);
    }
    return saved && scratch.Commit();
}
