// A file's kind is taken first from its name, when the content check of that kind agrees, and then
// from its content alone: by content alone, an APE or FLAC file behind an ID3v2 tag can pass the
// MPEG check first, and a write would then put frames where its own tag belongs. Only the kinds
// whose readers look at a file's ends, or check their header themselves, are ever opened by name
// alone, so that no file that is not of its name's kind is read from end to end.
//
// Each write starts from the property map the file shows, changes the keys the request names and
// hands the whole map back: the library keeps what is unchanged as it was stored and returns what
// it could not store, which refuses the write instead of reporting a value it dropped.
#include "MapRoute.h"
#include "props/media/MapEntry.h"
#include "props/media/NamelessStream.h"
#include "props/media/TagMapWriter.h"
#include "props/media/TagText.h"

#include <taglib/aifffile.h>
#include <taglib/apefile.h>
#include <taglib/asffile.h>
#include <taglib/dsdifffile.h>
#include <taglib/dsffile.h>
#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2header.h>
#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/itfile.h>
#include <taglib/modfile.h>
#include <taglib/modfilebase.h>
#include <taglib/mp4file.h>
#include <taglib/mpcfile.h>
#include <taglib/mpegfile.h>
#include <taglib/oggflacfile.h>
#include <taglib/opusfile.h>
#include <taglib/s3mfile.h>
#include <taglib/speexfile.h>
#include <taglib/trueaudiofile.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>
#include <taglib/wavpackfile.h>
#include <taglib/xmfile.h>

#include <memory>
#include <utility>
#include <vector>

using namespace TagLib;

namespace {

constexpr bool kNoAudioProperties = false;
constexpr AudioProperties::ReadStyle kFast = AudioProperties::Fast;

const wchar_t kCouldNotRead[] = L"The tag library could not read the file's tags";
const wchar_t kCouldNotSave[] = L"The tag library could not save the file";

// The marks of the Protracker family at offset 1080. The library takes any file without one for a
// 15-sample module, which any file of 1084 bytes would pass for: such files are not opened.
bool HasModuleMark(IOStream* stream)
{
    stream->seek(1080);
    const ByteVector mark = stream->readBlock(4);
    stream->seek(0);
    if (mark.size() != 4) return false;
    const auto digit = [&mark](unsigned int i) { return mark[i] >= '0' && mark[i] <= '9'; };
    return mark == "M.K." || mark == "M!K!" || mark == "M&K!" || mark == "N.T." || mark == "CD81" || mark == "OKTA" ||
           ((mark.startsWith("FLT") || mark.startsWith("TDZ")) && digit(3)) || (mark.endsWith("CHN") && digit(0)) ||
           ((mark.endsWith("CH") || mark.endsWith("CN")) && digit(0) && digit(1));
}

bool HasItsOwnCheck(IOStream*)
{
    return true;
}

struct NamedKind {
    const wchar_t* ext;
    bool (*isSupported)(IOStream*); // the kind's content check
    bool readByNameAlone;           // the reader looks at the file's ends only, or checks its header
};

constexpr NamedKind kNamedKinds[] = {
    {L"FLAC", &FLAC::File::isSupported, false},
    {L"MPC", &MPC::File::isSupported, true},
    {L"WV", &WavPack::File::isSupported, true},
    {L"APE", &APE::File::isSupported, true},
    {L"TTA", &TrueAudio::File::isSupported, true},
    {L"WAV", &RIFF::WAV::File::isSupported, true},
    {L"AIF", &RIFF::AIFF::File::isSupported, true},
    {L"AIFF", &RIFF::AIFF::File::isSupported, true},
    {L"AIFC", &RIFF::AIFF::File::isSupported, true},
    {L"DSF", &DSF::File::isSupported, true},
    {L"DFF", &DSDIFF::File::isSupported, true},
    {L"DSDIFF", &DSDIFF::File::isSupported, true},
    {L"MP2", &MPEG::File::isSupported, true},
    {L"MOD", &HasModuleMark, false},
    {L"MODULE", &HasModuleMark, false},
    {L"NST", &HasModuleMark, false},
    {L"WOW", &HasModuleMark, false},
    {L"S3M", &HasItsOwnCheck, true},
    {L"IT", &HasItsOwnCheck, true},
    {L"XM", &HasItsOwnCheck, true},
};

enum class Purpose { Reading, Writing };

// The opened file, or null `file` when the library reads the stream as no kind.
class MapFile {
public:
    MapFile(IOStream& stream, Purpose purpose) : nameless_(stream)
    {
        const std::wstring ext = UpperExtension(stream);
        const NamedKind* named = nullptr;
        for (const NamedKind& kind : kNamedKinds) {
            if (ext == kind.ext) named = &kind;
        }
        if (named && named->isSupported(&stream)) Open(stream);
        stream.seek(0);
        if (!file) Open(nameless_);
        // A tag at the end of a file whose start the content check does not know (an ID3v2 tag
        // before something other than frames) is still found; never for a write, which would add
        // a tag to a file that is not of the kind.
        if (!file && named && named->readByNameAlone && purpose == Purpose::Reading) Open(stream);
    }
    TagLib::File* file = nullptr;

private:
    void Open(IOStream& stream)
    {
        ref_ = std::make_unique<FileRef>(&stream, kNoAudioProperties, kFast);
        file = ref_->isNull() ? nullptr : ref_->file();
        if (!file) ref_.reset();
    }
    NamelessStream nameless_; // outlives the reference, which may read through it
    std::unique_ptr<FileRef> ref_;
};

// The kind's name in messages.
std::wstring KindName(const TagLib::File& file)
{
    const struct {
        bool is;
        const wchar_t* name;
    } kinds[] = {
        {dynamic_cast<const FLAC::File*>(&file) != nullptr, L"FLAC"},
        {dynamic_cast<const Ogg::Vorbis::File*>(&file) != nullptr, L"Ogg Vorbis"},
        {dynamic_cast<const Ogg::Opus::File*>(&file) != nullptr, L"Opus"},
        {dynamic_cast<const Ogg::Speex::File*>(&file) != nullptr, L"Speex"},
        {dynamic_cast<const Ogg::FLAC::File*>(&file) != nullptr, L"Ogg FLAC"},
        {dynamic_cast<const APE::File*>(&file) != nullptr, L"APE"},
        {dynamic_cast<const MPC::File*>(&file) != nullptr, L"Musepack"},
        {dynamic_cast<const WavPack::File*>(&file) != nullptr, L"WavPack"},
        {dynamic_cast<const TrueAudio::File*>(&file) != nullptr, L"TrueAudio"},
        {dynamic_cast<const RIFF::WAV::File*>(&file) != nullptr, L"WAV"},
        {dynamic_cast<const RIFF::AIFF::File*>(&file) != nullptr, L"AIFF"},
        {dynamic_cast<const DSF::File*>(&file) != nullptr, L"DSF"},
        {dynamic_cast<const DSDIFF::File*>(&file) != nullptr, L"DSDIFF"},
        {dynamic_cast<const MPEG::File*>(&file) != nullptr, L"MPEG"},
        {dynamic_cast<const MP4::File*>(&file) != nullptr, L"MP4"},
        {dynamic_cast<const ASF::File*>(&file) != nullptr, L"ASF"},
        {dynamic_cast<const IT::File*>(&file) != nullptr, L"Impulse Tracker"},
        {dynamic_cast<const S3M::File*>(&file) != nullptr, L"Scream Tracker 3"},
        {dynamic_cast<const XM::File*>(&file) != nullptr, L"FastTracker 2"},
        {dynamic_cast<const Mod::File*>(&file) != nullptr, L"Protracker"},
    };
    for (const auto& kind : kinds) {
        if (kind.is) return kind.name;
    }
    return L"media";
}

// The ID3v2 tag a kind keeps beside or instead of its own, and whether the file held one when it
// was read (the library makes an empty one in memory for a file without).
struct Id3Tag {
    ID3v2::Tag* tag = nullptr;
    bool inFile = false;
};

Id3Tag Id3TagOf(TagLib::File& file)
{
    if (auto* aiff = dynamic_cast<RIFF::AIFF::File*>(&file)) return {aiff->tag(), aiff->hasID3v2Tag()};
    if (auto* wav = dynamic_cast<RIFF::WAV::File*>(&file)) return {wav->ID3v2Tag(), wav->hasID3v2Tag()};
    // The library saves a TrueAudio file's ID3v2 tag as 2.4 always, so its version is not kept.
    if (auto* dff = dynamic_cast<DSDIFF::File*>(&file)) return {dff->ID3v2Tag(), dff->hasID3v2Tag()};
    if (auto* dsf = dynamic_cast<DSF::File*>(&file)) return {dsf->tag(), dsf->tag() && !dsf->tag()->isEmpty()};
    return {};
}

// A tag read as version 2.4 stays 2.4 (saved as 2.3 it would lose the frames 2.3 lacks); one read
// as 2.3, or an older one the library cannot write, or a new one, is saved as 2.3, which more
// players read.
ID3v2::Version VersionToKeep(const Id3Tag& id3)
{
    return id3.tag && id3.inFile && id3.tag->header()->majorVersion() == 4 ? ID3v2::v4 : ID3v2::v3;
}

// What the file shows, without keys of empty texts only (a module shows its empty title so). WAV:
// its INFO list with each key its ID3v2 tag holds taken from there.
PropertyMap Shown(TagLib::File& file)
{
    PropertyMap shown;
    if (auto* wav = dynamic_cast<RIFF::WAV::File*>(&file)) {
        shown = wav->InfoTag()->properties();
        for (const auto& [key, values] : wav->ID3v2Tag()->properties())
            shown.replace(key, values);
    } else {
        shown = file.properties();
    }
    PropertyMap kept;
    for (const auto& [key, values] : shown) {
        for (const String& value : values) {
            if (!value.isEmpty()) {
                kept.replace(key, values);
                break;
            }
        }
    }
    return kept;
}

// An APE, WavPack or Musepack file behind an ID3v2 tag: the library neither reads nor writes that
// tag, and players that prefer the APE tag would show a new one in its place.
bool HasUnkeptId3v2(TagLib::File& file, IOStream& stream)
{
    if (!dynamic_cast<APE::File*>(&file) && !dynamic_cast<WavPack::File*>(&file) && !dynamic_cast<MPC::File*>(&file))
        return false;
    stream.seek(0);
    const bool found = stream.readBlock(3) == ID3v2::Header::fileIdentifier();
    stream.seek(0);
    return found;
}

// The members as key -> values, keys as the map names them (upper case); a later member replaces
// an earlier one of the same key.
std::vector<std::pair<String, StringList>> Requested(JsonView request)
{
    std::vector<std::pair<String, StringList>> members;
    for (const JsonView member : request) {
        const String key = ToTagText(member.Name()).upper();
        const StringList values = SplitTagText(MemberText(member, L"data"));
        bool replaced = false;
        for (auto& [known, list] : members) {
            if (known == key) list = values, replaced = true;
        }
        if (!replaced) members.emplace_back(key, values);
    }
    return members;
}

void Apply(const std::vector<std::pair<String, StringList>>& members, PropertyMap& map)
{
    for (const auto& [key, values] : members) {
        if (values.isEmpty())
            map.erase(key);
        else
            map.replace(key, values);
    }
}

bool IsNamed(const std::vector<std::pair<String, StringList>>& members, const String& key)
{
    for (const auto& member : members) {
        if (member.first == key) return true;
    }
    return false;
}

// What the library could not store, in words; empty when it stored everything.
std::wstring Refusal(const std::wstring& kind, const std::vector<std::pair<String, StringList>>& members,
                     const PropertyMap& wanted, const PropertyMap& unsupported)
{
    for (const auto& [key, values] : unsupported) {
        const std::wstring name = FromTagText(key);
        if (!IsNamed(members, key))
            return L"The " + kind + L" file's tag could not keep " + name + L" as it was, so nothing was written";
        const PropertyMap::ConstIterator asked = wanted.find(key);
        if (asked != wanted.end() && asked->second.size() > values.size()) {
            return L"The " + kind + L" file's tag holds one value only under " + name + L", not " +
                   std::to_wstring(asked->second.size());
        }
        return L"The " + kind + L" file's tag cannot hold " + name;
    }
    return {};
}

// The tracker formats store their texts one byte a character, as Latin-1.
std::wstring Latin1Refusal(const std::wstring& kind, const std::vector<std::pair<String, StringList>>& members)
{
    for (const auto& [key, values] : members) {
        for (const String& value : values) {
            for (const wchar_t c : value.toWString()) {
                if (static_cast<unsigned int>(c) > 0xFF) {
                    return L"The " + kind + L" file's tag holds Latin-1 text only: the text for " + FromTagText(key) +
                           L" has characters beyond it";
                }
            }
        }
    }
    return {};
}

void Record(const std::vector<std::pair<String, StringList>>& members, const PropertyMap& now, WrittenTags& written)
{
    written = WrittenTags();
    for (const auto& [key, _] : members) {
        std::vector<std::wstring> texts;
        for (const String& value : now.value(key))
            texts.push_back(FromTagText(value));
        written.values.emplace_back(FromTagText(key), texts);
    }
}

// WAV: the INFO list takes each key it can hold (one value), and the ID3v2 tag every key when the
// file has one or INFO cannot hold a key, so that the two never disagree on a written key.
bool WriteWav(RIFF::WAV::File& wav, const std::vector<std::pair<String, StringList>>& members, WrittenTags& written,
              std::wstring& why)
{
    const Id3Tag id3 = Id3TagOf(wav);
    const ID3v2::Version version = VersionToKeep(id3);
    PropertyMap info = wav.InfoTag()->properties();
    PropertyMap tag = wav.ID3v2Tag()->properties();
    Apply(members, info);
    Apply(members, tag);
    const PropertyMap notInInfo = wav.InfoTag()->setProperties(info);
    bool useId3 = id3.inFile;
    for (const auto& [key, values] : members) {
        if (values.size() > 1 || notInInfo.contains(key)) useId3 = true;
    }
    if (useId3) {
        const std::wstring refused = Refusal(L"WAV", members, tag, wav.ID3v2Tag()->setProperties(tag));
        if (!refused.empty()) return why = refused, false;
    }
    Record(members, Shown(wav), written);
    written.id3Version = wav.ID3v2Tag()->isEmpty() ? 0 : (version == ID3v2::v4 ? 4 : 3);
    if (!wav.save(RIFF::WAV::File::AllTags, TagLib::File::StripNone, version)) return why = kCouldNotSave, false;
    return true;
}

bool Save(TagLib::File& file, ID3v2::Version version)
{
    if (auto* aiff = dynamic_cast<RIFF::AIFF::File*>(&file)) return aiff->save(version);
    if (auto* dsf = dynamic_cast<DSF::File*>(&file)) return dsf->save(version);
    if (auto* dff = dynamic_cast<DSDIFF::File*>(&file))
        return dff->save(DSDIFF::File::AllTags, TagLib::File::StripNone, version);
    return file.save();
}

} // namespace

bool ReadMapTags(IOStream& stream, const JsonWrapper& propList, JsonWrapper& result)
{
    MapFile opened(stream, Purpose::Reading);
    if (!opened.file) return false;
    for (const auto& [key, values] : Shown(*opened.file))
        AddMapEntry(propList, FromTagText(key), values, result);
    return true;
}

bool IsOfMapKind(IOStream& stream, std::wstring& why)
{
    const bool known = MapFile(stream, Purpose::Writing).file != nullptr;
    stream.seek(0);
    if (!known) why = L"The file is of no media kind the tag library knows";
    return known;
}

bool WriteMapTags(IOStream& stream, JsonView request, WrittenTags& written, std::wstring& why)
{
    MapFile opened(stream, Purpose::Writing);
    if (!opened.file) return why = kCouldNotRead, false;
    TagLib::File& file = *opened.file;
    const std::vector<std::pair<String, StringList>> members = Requested(request);
    if (auto* wav = dynamic_cast<RIFF::WAV::File*>(&file)) return WriteWav(*wav, members, written, why);
    const std::wstring kind = KindName(file);
    if (HasUnkeptId3v2(file, stream)) {
        return why = L"The " + kind +
                     L" file starts with an ID3v2 tag, which the tag library cannot keep in step "
                     L"with the file's own tag",
               false;
    }
    if (dynamic_cast<Mod::FileBase*>(&file) != nullptr) {
        const std::wstring refused = Latin1Refusal(kind, members);
        if (!refused.empty()) return why = refused, false;
    }
    const Id3Tag id3 = Id3TagOf(file);
    const ID3v2::Version version = VersionToKeep(id3);
    PropertyMap wanted = file.properties();
    Apply(members, wanted);
    // An MP4 or ASF file under another name: its items keep their stored kinds as on its own route.
    if (auto* mp4 = dynamic_cast<MP4::File*>(&file)) {
        WriteWholeMap(*mp4->tag(), wanted);
    } else if (auto* asf = dynamic_cast<ASF::File*>(&file)) {
        WriteWholeMap(*asf->tag(), wanted);
    } else {
        const std::wstring refused = Refusal(kind, members, wanted, file.setProperties(wanted));
        if (!refused.empty()) return why = refused, false;
    }
    Record(members, Shown(file), written);
    if (id3.tag && !id3.tag->isEmpty()) written.id3Version = version == ID3v2::v4 ? 4 : 3;
    if (!Save(file, version)) return why = kCouldNotSave, false;
    return true;
}

bool ReadMapTagsBack(IOStream& stream, const WrittenTags& written, WrittenTags& found, std::wstring& why)
{
    MapFile opened(stream, Purpose::Writing);
    if (!opened.file) return why = L"The saved file cannot be read by the tag library", false;
    const PropertyMap shown = Shown(*opened.file);
    for (const auto& [key, _] : written.values) {
        std::vector<std::wstring> texts;
        for (const String& value : shown.value(ToTagText(key)))
            texts.push_back(FromTagText(value));
        found.values.emplace_back(key, texts);
    }
    const Id3Tag id3 = Id3TagOf(*opened.file);
    if (id3.tag && id3.inFile) found.id3Version = id3.tag->header()->majorVersion();
    return true;
}
