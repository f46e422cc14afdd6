#include "MediaTags.h"
#include "props/media/BasicFields.h"
#include "props/media/Id3Frames.h"
#include "props/media/TagMapWriter.h"
#include "props/media/TagText.h"

#include <taglib/asffile.h>
#include <taglib/fileref.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/tiostream.h>

using namespace TagLib;

namespace {

constexpr bool kNoAudioProperties = false;

void AddEntry(const JsonWrapper& propList, const std::wstring& key, const std::wstring& text, JsonWrapper& result)
{
    JsonWrapper entry;
    const JsonView known = propList.Member(key);
    if (!known.IsEmpty()) {
        entry = known.Copy();
    } else {
        entry.MakeObject();
        entry.AddString(L"name", key);
        entry.AddString(L"type", L"String");
    }
    // A list member that is not an object takes no "data" and goes in as it is.
    entry.AddString(L"data", text);
    result.AddDocument(key, entry);
}

void AddPropertyMap(const PropertyMap& map, const JsonWrapper& propList, JsonWrapper& result)
{
    for (const auto& [key, values] : map)
        AddEntry(propList, FromTagText(key), JoinedTagText(values), result);
}

// Frame identifiers are four ASCII characters; the library drops frames with any other.
std::wstring KeyOfFrame(const ByteVector& id)
{
    return FromTagText(String(id, String::Latin1));
}

void ReadFrames(IOStream& stream, const JsonWrapper& propList, JsonWrapper& result)
{
    MPEG::File file(&stream, kNoAudioProperties);
    if (!file.isValid()) return;
    const ID3v2::Tag* tag = file.ID3v2Tag(false);
    if (tag == nullptr) return;
    for (const ID3v2::Frame* frame : tag->frameList())
        AddEntry(propList, KeyOfFrame(frame->frameID()), FromTagText(frame->toString()), result);
}

template <typename File> void ReadMap(IOStream& stream, const JsonWrapper& propList, JsonWrapper& result)
{
    File file(&stream, kNoAudioProperties);
    if (file.isValid()) AddPropertyMap(file.properties(), propList, result);
}

void ReadBasicFields(IOStream& stream, const JsonWrapper& propList, JsonWrapper& result)
{
    const FileRef ref(&stream, kNoAudioProperties);
    if (ref.isNull()) return;
    const Tag* tag = ref.tag();
    if (tag != nullptr && !tag->isEmpty()) AddPropertyMap(BasicFieldsOf(*tag), propList, result);
}

// For each member in order, its key with its "data" text as the one value; a later member
// replaces an earlier one whose key differs only in letter case.
PropertyMap KeyedValues(JsonView request)
{
    PropertyMap map;
    for (const JsonView member : request)
        map.replace(ToTagText(member.Name()), StringList(ToTagText(MemberText(member, L"data"))));
    return map;
}

// Every member sets all frames of its identifier, or adds a frame when the tag has none. Frames
// are only added and changed, never removed.
bool WriteFrames(IOStream& stream, JsonView request)
{
    MPEG::File file(&stream, kNoAudioProperties);
    if (!file.isValid()) return false;
    // A file without an ID3v2 tag gets one, so that the values are stored.
    ID3v2::Tag& tag = *file.ID3v2Tag(true);
    for (const JsonView member : request) {
        const ByteVector id = Id3FrameIdOf(tag, member.Name());
        if (id.isEmpty()) return false;
        const String text = ToTagText(MemberText(member, L"data"));
        const ID3v2::FrameListMap& frames = tag.frameListMap();
        const ID3v2::FrameListMap::ConstIterator found = frames.find(id);
        if (found == frames.end() || found->second.isEmpty()) {
            std::unique_ptr<ID3v2::Frame> frame = MakeId3Frame(id, text);
            if (!frame) return false;
            tag.addFrame(frame.release());
        } else {
            for (ID3v2::Frame* frame : found->second)
                frame->setText(text);
        }
    }
    // Version 2.3, other tags kept, and the basic fields copied between ID3v1 and ID3v2 where
    // one of them lacks a field.
    return file.save(MPEG::File::AllTags, MPEG::File::StripNone, ID3v2::v3, MPEG::File::Duplicate);
}

template <typename File> bool WriteMap(IOStream& stream, JsonView request)
{
    File file(&stream, kNoAudioProperties);
    if (!file.isValid()) return false;
    WriteWholeMap(*file.tag(), KeyedValues(request));
    return file.save();
}

bool WriteBasicFields(IOStream& stream, JsonView request)
{
    FileRef ref(&stream, kNoAudioProperties);
    if (ref.isNull() || ref.tag() == nullptr) return false;
    SetBasicFields(*ref.tag(), KeyedValues(request));
    return ref.save();
}

} // namespace

void ReadMediaTags(IOStream& stream, MediaRoute route, const JsonWrapper& propList, JsonWrapper& result)
{
    result.MakeObject();
    switch (route) {
    case MediaRoute::Id3v2Frames: ReadFrames(stream, propList, result); break;
    case MediaRoute::Mp4Map: ReadMap<MP4::File>(stream, propList, result); break;
    case MediaRoute::AsfMap: ReadMap<ASF::File>(stream, propList, result); break;
    case MediaRoute::BasicFields: break;
    }
    if (result.GetCount() == 0) ReadBasicFields(stream, propList, result);
}

bool WriteMediaTags(IOStream& stream, MediaRoute route, JsonView request)
{
    switch (route) {
    case MediaRoute::Id3v2Frames: return WriteFrames(stream, request);
    case MediaRoute::Mp4Map: return WriteMap<MP4::File>(stream, request);
    case MediaRoute::AsfMap: return WriteMap<ASF::File>(stream, request);
    case MediaRoute::BasicFields: return WriteBasicFields(stream, request);
    }
    return false;
}
