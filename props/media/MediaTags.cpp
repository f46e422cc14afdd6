#include "MediaTags.h"
#include "props/media/BasicFields.h"
#include "props/media/Id3Frames.h"
#include "props/media/MapEntry.h"
#include "props/media/MapRoute.h"
#include "props/media/NamelessStream.h"
#include "props/media/TagMapWriter.h"
#include "props/media/TagText.h"

#include <taglib/asffile.h>
#include <taglib/fileref.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2header.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/tiostream.h>

#include <algorithm>
#include <initializer_list>
#include <memory>

using namespace TagLib;

namespace {

constexpr bool kNoAudioProperties = false;

void AddEntry(const JsonWrapper& propList, const std::wstring& key, const std::wstring& text, JsonWrapper& result)
{
    JsonWrapper entry = NewTagEntry(propList, key);
    // A list member that is not an object takes no "data" and goes in as it is.
    entry.AddString(L"data", text);
    result.AddDocument(key, entry);
}

void AddPropertyMap(const PropertyMap& map, const JsonWrapper& propList, JsonWrapper& result)
{
    for (const auto& [key, values] : map)
        AddMapEntry(propList, FromTagText(key), values, result);
}

// Frame identifiers are four ASCII characters; the library drops frames with any other.
std::wstring KeyOfFrame(const ByteVector& id)
{
    return FromTagText(String(id, String::Latin1));
}

constexpr AudioProperties::ReadStyle kFast = AudioProperties::Fast;

// An ID3v2 header at the start: "ID3", a version the library reads, and a size of 7-bit bytes.
bool StartsWithId3v2(IOStream& stream)
{
    stream.seek(0);
    const ByteVector head = stream.readBlock(10);
    stream.seek(0);
    if (head.size() < 10 || !head.startsWith(ID3v2::Header::fileIdentifier())) return false;
    if (static_cast<unsigned char>(head[3]) < 2 || static_cast<unsigned char>(head[3]) > 4) return false;
    for (unsigned int i = 6; i < 10; ++i) {
        if (static_cast<unsigned char>(head[i]) >= 0x80) return false;
    }
    return true;
}

std::vector<std::wstring> Texts(const StringList& values)
{
    std::vector<std::wstring> texts;
    for (const String& value : values)
        texts.push_back(FromTagText(value));
    return texts;
}

void SetWholeSet(const PropertyMap& map, WrittenTags& written)
{
    written.wholeSet = true;
    written.values.clear();
    for (const auto& [key, values] : map)
        written.values.emplace_back(FromTagText(key), Texts(values));
}

std::vector<std::wstring> FrameTexts(const ID3v2::Tag& tag, const ByteVector& id)
{
    std::vector<std::wstring> texts;
    const ID3v2::FrameListMap& frames = tag.frameListMap();
    const ID3v2::FrameListMap::ConstIterator found = frames.find(id);
    if (found == frames.end()) return texts;
    for (const ID3v2::Frame* frame : found->second)
        texts.push_back(FromTagText(frame->toString()));
    return texts;
}

std::string Narrow(const std::wstring& text)
{
    std::string narrow;
    for (const wchar_t c : text)
        narrow += c < 0x80 ? static_cast<char>(c) : '?';
    return narrow;
}

std::wstring Quoted(const std::vector<std::wstring>& values)
{
    std::wstring text;
    for (const std::wstring& value : values)
        text += (text.empty() ? L"\"" : L", \"") + value + L"\"";
    return text.empty() ? L"nothing" : text;
}

bool IsOneOf(const std::wstring& ext, std::initializer_list<const wchar_t*> known)
{
    for (const wchar_t* one : known) {
        if (ext == one) return true;
    }
    return false;
}

enum class Purpose { Reading, Writing };

// The file of the basic-fields route: the kind its content shows; else, by name, a module kind
// (no content check in the library, but their readers check their headers) and, for reading, any
// kind whose reader looks at the file's ends only, so that a tag is found also where the audio is
// not where the content check looks (an ID3v2 tag before anything but frames). Null `ref` when
// the file is of none.
struct BasicFile {
    BasicFile(IOStream& stream, Purpose purpose) : byContent(stream)
    {
        ref = std::make_unique<FileRef>(&byContent, kNoAudioProperties, kFast);
        if (!ref->isNull()) return;
        ref.reset();
        const std::wstring ext = UpperExtension(stream);
        const bool byName = IsOneOf(ext, {L"MOD", L"MODULE", L"NST", L"WOW", L"S3M", L"IT", L"XM"}) ||
                            (purpose == Purpose::Reading && !IsOneOf(ext, {L"FLAC", L"OGG", L"OGA", L"SPX", L"OPUS"}));
        if (byName) ref = std::make_unique<FileRef>(&stream, kNoAudioProperties, kFast);
        if (ref && ref->isNull()) ref.reset();
    }
    NamelessStream byContent; // outlives the reference, which reads through it
    std::unique_ptr<FileRef> ref;
};

void ReadFrames(IOStream& stream, const JsonWrapper& propList, JsonWrapper& result)
{
    MPEG::File file(&stream, kNoAudioProperties, kFast);
    if (!file.isValid()) return;
    const ID3v2::Tag* tag = file.ID3v2Tag(false);
    if (tag == nullptr) return;
    for (const ID3v2::Frame* frame : tag->frameList())
        AddEntry(propList, KeyOfFrame(frame->frameID()), FromTagText(frame->toString()), result);
}

template <typename File> void ReadMap(IOStream& stream, const JsonWrapper& propList, JsonWrapper& result)
{
    File file(&stream, kNoAudioProperties, kFast);
    if (file.isValid()) AddPropertyMap(file.properties(), propList, result);
}

void ReadBasicFields(IOStream& stream, const JsonWrapper& propList, JsonWrapper& result)
{
    // Not by name alone: the library would search a file named as FLAC or Ogg from end to end
    // for the structure it lacks.
    const BasicFile file(stream, Purpose::Reading);
    if (!file.ref) return;
    const Tag* tag = file.ref->tag();
    if (tag != nullptr && !tag->isEmpty()) AddPropertyMap(BasicFieldsOf(*tag), propList, result);
}

// For each member in order, its key with its "data" text split into values; a later member
// replaces an earlier one whose key differs only in letter case.
PropertyMap KeyedValues(JsonView request)
{
    PropertyMap map;
    for (const JsonView member : request)
        map.replace(ToTagText(member.Name()), SplitTagText(MemberText(member, L"data")));
    return map;
}

const wchar_t kCouldNotRead[] = L"The tag library could not read the file's tags";
const wchar_t kCouldNotSave[] = L"The tag library could not save the file";

// Every member sets all frames of its identifier, or adds a frame when the tag has none. Frames
// are only added and changed, never removed.
bool WriteFrames(IOStream& stream, JsonView request, WrittenTags& written, std::wstring& why)
{
    MPEG::File file(&stream, kNoAudioProperties, kFast);
    if (!file.isValid()) return why = kCouldNotRead, false;
    // A tag read as version 2.4 stays 2.4: saved as 2.3 it would lose the frames 2.3 lacks (TDRL,
    // TMOO, TSST, RVA2 and others). A new tag, or an older one, is saved as 2.3, which more
    // players read.
    // (The library makes an empty tag for a file without one as it reads, so whether the file has
    // one is asked apart.)
    const ID3v2::Version version =
        file.hasID3v2Tag() && file.ID3v2Tag()->header()->majorVersion() == 4 ? ID3v2::v4 : ID3v2::v3;
    // A file without an ID3v2 tag gets one, so that the values are stored.
    ID3v2::Tag& tag = *file.ID3v2Tag(true);
    std::vector<ByteVector> touched;
    for (const JsonView member : request) {
        const ByteVector id = Id3FrameIdOf(tag, member.Name());
        if (id.isEmpty()) return why = L"\"" + member.Name() + L"\" is not an ID3v2 frame identifier", false;
        const String text = ToTagText(MemberText(member, L"data"));
        const ID3v2::FrameListMap& frames = tag.frameListMap();
        const ID3v2::FrameListMap::ConstIterator found = frames.find(id);
        if (found == frames.end() || found->second.isEmpty()) {
            std::unique_ptr<ID3v2::Frame> frame = MakeId3Frame(id, text);
            if (!frame) {
                return why = FromTagText(String(id, String::Latin1)) + L" frames hold no text that could be set", false;
            }
            tag.addFrame(frame.release());
        } else {
            for (ID3v2::Frame* frame : found->second)
                frame->setText(text);
        }
        if (std::find(touched.begin(), touched.end(), id) == touched.end()) touched.push_back(id);
    }
    // The basic fields the ID3v2 tag lacks are taken from an ID3v1 tag, as the save below does,
    // so that what is recorded as written is what the file will hold.
    if (file.ID3v1Tag() != nullptr) Tag::duplicate(file.ID3v1Tag(), &tag, false);
    written = WrittenTags();
    written.id3Version = version == ID3v2::v4 ? 4 : 3;
    for (const ByteVector& id : touched)
        written.values.emplace_back(KeyOfFrame(id), FrameTexts(tag, id));
    // Other tags kept, and the basic fields copied between ID3v1 and ID3v2 where one of them
    // lacks a field.
    if (!file.save(MPEG::File::AllTags, MPEG::File::StripNone, version, MPEG::File::Duplicate))
        return why = kCouldNotSave, false;
    return true;
}

template <typename File> bool WriteMap(IOStream& stream, JsonView request, WrittenTags& written, std::wstring& why)
{
    File file(&stream, kNoAudioProperties, kFast);
    if (!file.isValid()) return why = kCouldNotRead, false;
    WriteWholeMap(*file.tag(), KeyedValues(request));
    SetWholeSet(file.tag()->properties(), written);
    if (!file.save()) return why = kCouldNotSave, false;
    return true;
}

// The route's reading of the file as key -> values: the frames of the written identifiers, or the
// whole set. False when the file cannot be read as the route's kind.
bool ReadBack(IOStream& stream, MediaRoute route, const WrittenTags& written, WrittenTags& found, std::wstring& why)
{
    switch (route) {
    case MediaRoute::Id3v2Frames: {
        MPEG::File file(&stream, kNoAudioProperties, kFast);
        const ID3v2::Tag* tag = file.isValid() && file.hasID3v2Tag() ? file.ID3v2Tag() : nullptr;
        if (tag == nullptr) return why = L"The saved file has no ID3v2 tag", false;
        found.id3Version = tag->header()->majorVersion();
        for (const auto& [key, values] : written.values)
            found.values.emplace_back(key, FrameTexts(*tag, ByteVector(Narrow(key).c_str())));
        return true;
    }
    case MediaRoute::Mp4Map: {
        MP4::File file(&stream, kNoAudioProperties, kFast);
        if (!file.isValid()) return why = L"The saved file cannot be read as an MP4 file", false;
        SetWholeSet(file.properties(), found);
        return true;
    }
    case MediaRoute::AsfMap: {
        ASF::File file(&stream, kNoAudioProperties, kFast);
        if (!file.isValid()) return why = L"The saved file cannot be read as an ASF file", false;
        SetWholeSet(file.properties(), found);
        return true;
    }
    case MediaRoute::TagMap: return ReadMapTagsBack(stream, written, found, why);
    }
    return false;
}

} // namespace

void ReadMediaTags(IOStream& stream, MediaRoute route, const JsonWrapper& propList, JsonWrapper& result)
{
    result.MakeObject();
    switch (route) {
    case MediaRoute::Id3v2Frames: ReadFrames(stream, propList, result); break;
    case MediaRoute::Mp4Map: ReadMap<MP4::File>(stream, propList, result); break;
    case MediaRoute::AsfMap: ReadMap<ASF::File>(stream, propList, result); break;
    case MediaRoute::TagMap: ReadMapTags(stream, propList, result); return;
    }
    if (result.GetCount() == 0) ReadBasicFields(stream, propList, result);
}

bool IsOfRouteKind(IOStream& stream, MediaRoute route, std::wstring& why)
{
    bool matches = false;
    switch (route) {
    case MediaRoute::Id3v2Frames:
        matches = StartsWithId3v2(stream) || MPEG::File::isSupported(&stream);
        if (!matches) why = L"The file is not an MP3 file: no ID3v2 tag and no MPEG frame found";
        break;
    case MediaRoute::Mp4Map:
        matches = MP4::File::isSupported(&stream);
        if (!matches) why = L"The file is not an MP4 file: no MP4 header found";
        break;
    case MediaRoute::AsfMap:
        matches = ASF::File::isSupported(&stream);
        if (!matches) why = L"The file is not an ASF file: no ASF header found";
        break;
    case MediaRoute::TagMap: matches = IsOfMapKind(stream, why); break;
    }
    stream.seek(0);
    return matches;
}

bool WriteMediaTags(IOStream& stream, MediaRoute route, JsonView request, WrittenTags& written, std::wstring& why)
{
    if (!IsOfRouteKind(stream, route, why)) return false;
    switch (route) {
    case MediaRoute::Id3v2Frames: return WriteFrames(stream, request, written, why);
    case MediaRoute::Mp4Map: return WriteMap<MP4::File>(stream, request, written, why);
    case MediaRoute::AsfMap: return WriteMap<ASF::File>(stream, request, written, why);
    case MediaRoute::TagMap: return WriteMapTags(stream, request, written, why);
    }
    return false;
}

bool CheckMediaTags(IOStream& stream, MediaRoute route, const WrittenTags& written, std::wstring& why)
{
    WrittenTags found;
    if (!ReadBack(stream, route, written, found, why)) return false;
    if (written.id3Version != 0 && found.id3Version != written.id3Version) {
        why = L"The saved ID3v2 tag has version 2." + std::to_wstring(found.id3Version) + L", not 2." +
              std::to_wstring(written.id3Version);
        return false;
    }
    for (const auto& [key, values] : written.values) {
        auto at = std::find_if(found.values.begin(), found.values.end(),
                               [&key = key](const auto& entry) { return entry.first == key; });
        const std::vector<std::wstring> none;
        std::vector<std::wstring> stored = at == found.values.end() ? none : at->second;
        std::vector<std::wstring> wanted = values;
        // An ASF attribute's values stand in more than one header object, which the library reads
        // back in another order than it was given them.
        if (route == MediaRoute::AsfMap) {
            std::sort(stored.begin(), stored.end());
            std::sort(wanted.begin(), wanted.end());
        }
        if (stored != wanted) {
            why = L"The saved file holds " + Quoted(stored) + L" under " + key + L", not " + Quoted(values);
            return false;
        }
    }
    if (written.wholeSet && found.values.size() != written.values.size()) {
        for (const auto& [key, values] : found.values) {
            auto at = std::find_if(written.values.begin(), written.values.end(),
                                   [&key = key](const auto& entry) { return entry.first == key; });
            if (at == written.values.end()) {
                why = L"The saved file holds " + key + L", which was not written";
                return false;
            }
        }
    }
    return true;
}
