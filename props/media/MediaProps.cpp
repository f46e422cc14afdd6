#include "MediaProps.h"
#include "platform/FileSave.h"
#include "props/media/CheckedStream.h"
#include "props/media/MediaRoute.h"
#include "props/media/MediaTags.h"

namespace {

// What the scratch file may need beyond the original: the values' texts in the widest encoding
// the library writes, and the padding it gives a tag that grows.
uint64_t RoomForTags(JsonView props)
{
    uint64_t room = 64 << 10;
    for (const JsonView member : props)
        room += 4 * (member.Name().size() + MemberText(member, L"data").size()) + 64;
    return room;
}

} // namespace

void MediaProps::GetProps(const std::wstring& fileName, JsonWrapper& result)
{
    result.MakeObject();
    // Read-only: reading needs no write access and takes no write lock. The library sees the
    // name as given, by which it chooses the file's kind.
    ReadOnlyStream stream(SystemPath(fileName), fileName);
    if (!stream.isOpen()) return;
    ReadMediaTags(stream, MediaRouteOf(fileName), PropList(), result);
}

bool MediaProps::SetProps(const std::wstring& fileName, JsonView props, std::wstring& error)
{
    if (fileName.empty()) {
        error = L"No file name was given";
        return false;
    }
    // A request without the category's object names no values; on the routes that write the whole
    // set it would otherwise remove every tag.
    if (!props.IsObject()) {
        error = L"The request holds no media values";
        return false;
    }
    const MediaRoute route = MediaRouteOf(fileName);
    const std::wstring path = SystemPath(fileName);
    {
        // A file of another kind is refused before it is copied.
        ReadOnlyStream original(path, fileName);
        if (original.isOpen() && !IsOfRouteKind(original, route, error)) return false;
    }
    FileSave save(fileName);
    if (!save.Begin(FileSave::Start::CopyOfOriginal, RoomForTags(props))) {
        error = save.Error();
        return false;
    }
    WrittenTags written;
    std::wstring why;
    bool saved = false;
    {
        CheckedStream stream(save, fileName);
        saved = WriteMediaTags(stream, route, props, written, why);
    }
    // A failed write through the stream is the cause, even where the library went on regardless.
    if (!save.Failed() && !saved) save.Fail(why);
    const bool done = !save.Failed() && save.Finish([&](const std::wstring& scratch, std::wstring& problem) {
        ReadOnlyStream stream(scratch, fileName);
        if (!stream.isOpen()) {
            problem = L"The saved file cannot be opened to be checked";
            return false;
        }
        return CheckMediaTags(stream, route, written, problem);
    });
    if (!done) error = save.Error();
    return done;
}
