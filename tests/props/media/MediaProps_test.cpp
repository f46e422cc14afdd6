// The media handler on files made by other tools: what it reads from each, what a write leaves in
// the file as mutagen reads it (exactly the values asked for, nothing else lost, the audio packets
// untouched), and the writes it refuses without touching the file.
#include "props/media/MediaProps.h"
#include "platform/FileSave.h"
#include "props/media/CheckedStream.h"
#include "props/media/MediaTags.h"
#include "core/TextConvert.h"
#include "tests/props/media/MediaChecks.h"
#include "tests/support/Fixture.h"
#include "tests/support/Requests.h"
#include "tests/support/TestFiles.h"
#include "tests/support/SmallDisk.h"
#include "tests/support/WriteBudget.h"

#include <taglib/id3v2framefactory.h>
#include <taglib/mpegfile.h>
#include <taglib/tfilestream.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

using Entries = std::vector<std::pair<std::wstring, std::wstring>>;

// The "data" of each member of a "media" document, in order.
Entries EntriesOf(const JsonWrapper& media)
{
    Entries entries;
    for (const JsonView entry : media.View())
        entries.emplace_back(entry.Name(), MemberText(entry, L"data"));
    return entries;
}

std::string Describe(const Entries& entries)
{
    std::string text;
    for (const auto& [key, data] : entries)
        text += "\n  " + Utf16ToUtf8(key) + " = " + Utf16ToUtf8(data);
    return text;
}

JsonWrapper Read(const std::wstring& path, const std::wstring& propList = {})
{
    MediaProps handler;
    handler.SetPropList(propList);
    JsonWrapper media;
    handler.GetProps(path, media);
    return media;
}

bool Write(const std::wstring& path, const JsonObject& request)
{
    MediaProps handler;
    std::wstring error;
    const bool written = handler.SetProps(path, request.Document().View(), error);
    // A write that failed says why; one that succeeded says nothing.
    EXPECT_EQ(written, error.empty()) << Utf16ToUtf8(error);
    return written;
}

// Keys with new values, or without one for a key to leave out.
using Changes = std::vector<std::pair<std::wstring, std::optional<std::wstring>>>;

// A request of members key -> {"data": value}, in order.
JsonObject Members(const Changes& members)
{
    JsonObject request;
    for (const auto& [key, data] : members)
        request.Object(key, Object().Text(L"data", data.value_or(L"")));
    return request;
}

// How the page writes to a file: only the changed members (".mp3"), or the whole set.
enum class Send { Members, WholeSet };

// Tags as far as an ASF file's layout is not meaningful. The tag library writes all five texts of
// the content description, the empty ones as empty texts, which mutagen lists; an empty text is no
// value. Two values of one attribute stand in two header objects, which mutagen and the library
// read in different orders; the values are the same either way.
TagValues Comparable(TagValues tags, const std::wstring& type)
{
    if (type != L"ASF") return tags;
    for (auto tag = tags.begin(); tag != tags.end();) {
        bool empty = true;
        for (const std::wstring& value : tag->second)
            empty = empty && value.empty();
        std::sort(tag->second.begin(), tag->second.end());
        tag = empty ? tags.erase(tag) : std::next(tag);
    }
    return tags;
}

TagValues Comparable(const MutagenView& view)
{
    return Comparable(view.tags, view.type);
}

// What the page sends to a file whose route writes the whole set: every value it read, with the
// changes applied (a change without a value leaves the key out).
JsonObject WholeSet(const std::wstring& path, const Changes& changes)
{
    Entries members = EntriesOf(Read(path));
    for (const auto& [key, value] : changes) {
        auto found = members.begin();
        while (found != members.end() && found->first != key)
            ++found;
        if (!value) {
            if (found != members.end()) members.erase(found);
        } else if (found != members.end()) {
            found->second = *value;
        } else {
            members.emplace_back(key, *value);
        }
    }
    JsonObject request;
    for (const auto& [key, data] : members)
        request.Object(key, Object().Text(L"data", data));
    return request;
}

const Entries kId3Frames = {
    {L"TIT2", L"Café Morning"}, {L"TPE1", L"Anna Example"}, {L"TRCK", L"3/12"},           {L"TALB", L"Test Album"},
    {L"TDRC", L"2021"},         {L"TCON", L"Jazz"},         {L"COMM", L"Made for tests"},
};
// Reading version 2.3 the library makes TDRC of TYER and puts it after the frames read as they are.
const Entries kId3v23Frames = {
    {L"TIT2", L"Café Morning"}, {L"TPE1", L"Anna Example"}, {L"TRCK", L"3/12"},           {L"TALB", L"Test Album"},
    {L"TCON", L"Jazz"},         {L"TDRC", L"2021"},         {L"COMM", L"Made for tests"},
};
const Entries kBasicFields = {
    {L"ALBUM", L"Test Album"}, {L"ARTIST", L"Anna Example"}, {L"COMMENT", L"Made for tests"}, {L"DATE", L"2021"},
    {L"GENRE", L"Jazz"},       {L"TITLE", L"Café Morning"},  {L"TRACKNUMBER", L"3"},
};

// tags.flac and tags.ogg through their Vorbis comments: every field, the track total apart.
const Entries kVorbisFields = {
    {L"ALBUM", L"Test Album"}, {L"ARTIST", L"Anna Example"}, {L"COMMENT", L"Made for tests"}, {L"DATE", L"2021"},
    {L"GENRE", L"Jazz"},       {L"TITLE", L"Café Morning"},  {L"TRACKNUMBER", L"3"},          {L"TRACKTOTAL", L"12"},
};

Entries With(Entries entries, const Entries& changes)
{
    for (const auto& [key, data] : changes) {
        for (auto& entry : entries) {
            if (entry.first == key) entry.second = data;
        }
    }
    return entries;
}

} // namespace

TEST(MediaPropsReading, ShowsEachFixtureByTheRouteItsNameTakes)
{
    const struct {
        const wchar_t* fixture;
        const wchar_t* name; // the copy's name, when it matters
        Entries expected;
    } cases[] = {
        {L"id3v23.mp3", L"", kId3v23Frames},
        {L"id3v24.mp3", L"", kId3Frames},
        {L"two-comments.mp3", L"",
         [] {
             Entries frames = kId3Frames;
             frames.emplace_back(L"COMM", L"Zweiter Kommentar");
             return frames;
         }()},
        // No ID3v2 frames: the basic fields, from the ID3v1 tag.
        {L"id3v1.mp3", L"", With(kBasicFields, {{L"TITLE", L"Morning Tune"}})},
        {L"plain.mp3", L"", {}},
        // The MP4 and ASF property maps, in key order; the track keeps its total in MP4.
        {L"tags.m4a", L"", With(kBasicFields, {{L"TRACKNUMBER", L"3/12"}})},
        {L"tags.wma", L"", kBasicFields},
        {L"tags.flac", L"", kVorbisFields},
        {L"tags.ogg", L"",
         [] {
             Entries fields = kVorbisFields;
             fields.insert(fields.begin() + 4, {L"ENCODER", L"Lavc libvorbis"});
             return fields;
         }()},
        // Several values of one key read as one text, joined with "; "; the ASF number shows as
        // the library shows it (no text), the BOOL not at all; the library reads the two ASF
        // values in the other order.
        {L"multi.m4a",
         L"",
         {{L"ARTIST", L"Anna Example; Ben Example"},
          {L"BPM", L"120"},
          {L"COMPILATION", L"1"},
          {L"TITLE", L"Café Morning"}}},
        {L"multi.wma",
         L"",
         {{L"BPM", L""},
          {L"COMPOSER", L"Ben Example; Anna Example"},
          {L"TITLE", L"Café Morning"},
          {L"TRACKNUMBER", L"3"}}},
        // The Vorbis comment as it is: two artists, the whole date.
        {L"multi.flac",
         L"",
         {{L"ARTIST", L"Anna Example; Ben Example"}, {L"DATE", L"2021-05-06"}, {L"TITLE", L"Café Morning"}}},
        // The last four characters choose the route, in any letter case.
        {L"id3v23.mp3", L"SONG.MP3", kId3v23Frames},
        // Any other name: the property map of the kind the content shows.
        {L"id3v23.mp3", L"song.mp3x", With(kBasicFields, {{L"TRACKNUMBER", L"3/12"}})},
        {L"tags.m4a", L"clip.MOV", With(kBasicFields, {{L"TRACKNUMBER", L"3/12"}})},
        {L"tags.m4a", L"clip.m4a.flac", With(kBasicFields, {{L"TRACKNUMBER", L"3/12"}})},
    };
    for (const auto& c : cases) {
        const TempDir dir;
        const std::wstring path = CopyFixture(std::wstring(L"media/") + c.fixture, dir, c.name);
        const Entries read = EntriesOf(Read(path));
        EXPECT_EQ(read, c.expected) << Utf16ToUtf8(c.fixture) << " as " << Utf16ToUtf8(c.name) << ":" << Describe(read);
    }
}

TEST(MediaPropsReading, MakesEachEntryFromThePropertyListWhenItKnowsTheKey)
{
    const struct {
        const wchar_t* list;
        const wchar_t* entry; // the printed entry for TITLE
    } cases[] = {
        {L"", L"{\"name\":\"TITLE\",\"type\":\"String\",\"data\":\"Café Morning\"}"},
        {L"not a list", L"{\"name\":\"TITLE\",\"type\":\"String\",\"data\":\"Café Morning\"}"},
        {L"{\"ARTIST\":{\"name\":\"Artist\"}}", L"{\"name\":\"TITLE\",\"type\":\"String\",\"data\":\"Café Morning\"}"},
        {L"{\"TITLE\":{\"mine\":1}}", L"{\"mine\":1,\"data\":\"Café Morning\"}"},
        {L"{\"title\":{\"name\":\"Title\",\"route\":\"map\"}}",
         L"{\"name\":\"Title\",\"route\":\"map\",\"data\":\"Café Morning\"}"},
        {L"{\"TITLE\":{\"first\":true},\"TITLE\":{\"second\":true}}", L"{\"first\":true,\"data\":\"Café Morning\"}"},
        // A member that is not an object cannot take "data".
        {L"{\"TITLE\":5}", L"5"},
    };
    const TempDir dir;
    const std::wstring path = CopyFixture(L"media/tags.flac", dir);
    for (const auto& c : cases) {
        const JsonWrapper media = Read(path, c.list);
        EXPECT_EQ(media.Member(L"TITLE").Copy().Print(), c.entry) << Utf16ToUtf8(c.list);
        EXPECT_EQ(media.GetCount(), 8) << Utf16ToUtf8(c.list);
    }
}

TEST(MediaPropsReading, GivesAnEmptyObjectForAFileTheLibraryCannotRead)
{
    const TempDir dir;
    const std::wstring cases[] = {
        dir.Path() + L"\\missing.mp3",
        dir.MakeFile(L"text.m4a", "not a movie"),
        dir.MakeFile(L"text.wma", "not a movie"),
        dir.MakeFile(L"text.mp3", "not a song"),
        dir.MakeFile(L"empty.flac", ""),
        dir.MakeFolder(L"folder.mp3"),
        L"",
    };
    for (const std::wstring& path : cases)
        EXPECT_EQ(Read(path).Print(), L"{}") << Utf16ToUtf8(path);
}

TEST(MediaPropsWriting, ChangesExactlyTheRequestedValuesAndLeavesTheAudioAlone)
{
    using Values = std::vector<std::wstring>;
    // Saving an MP3 file with duplication on gives it an ID3v1 tag holding the ID3v2 tag's basic
    // fields; mutagen lists the ID3v1 comment under a key of its own when no ID3v2 comment has it.
    const std::wstring v1Comment = L"COMM:ID3v1 Comment:eng";
    const struct {
        const wchar_t* fixture;
        Send send;
        Changes sent;                                       // the members, or the changes to the whole set read
        std::vector<TagChange> changes;                     // what mutagen must find changed, under its keys
        const wchar_t* id3Version;                          // for MP3 files
        std::pair<const wchar_t*, const wchar_t*> probed{}; // a tag ffprobe must show
    } cases[] = {
        // ".mp3": only the members sent; every frame of an identifier; new frames of their kind;
        // a tag read as ID3v2.4 saved as 2.4, any other as 2.3.
        {L"id3v23.mp3",
         Send::Members,
         {{L"TIT2", L"Neuer Titel"}},
         {{L"TIT2", Values{L"Neuer Titel"}}, {v1Comment, Values{L"Made for tests"}}},
         L"2.3.0"},
        {L"id3v24.mp3",
         Send::Members,
         {{L"TPE1", L"Zoë 𝄞 Example"}},
         {{L"TPE1", Values{L"Zoë 𝄞 Example"}}, {v1Comment, Values{L"Made for tests"}}},
         L"2.4.0"},
        {L"two-comments.mp3",
         Send::Members,
         {{L"COMM", L"Eins"}},
         {{L"COMM::eng", Values{L"Eins"}}, {L"COMM:Notiz:deu", Values{L"Eins"}}, {v1Comment, Values{L"Eins"}}},
         L"2.4.0"},
        // mutagen lists no frame it does not know; ffprobe shows the new TXYZ.
        {L"id3v24.mp3",
         Send::Members,
         {{L"TXYZ", L"Neu"}, {L"TIT2", L"Zwei"}},
         {{L"TIT2", Values{L"Zwei"}}, {v1Comment, Values{L"Made for tests"}}},
         L"2.4.0",
         {L"TXYZ", L"Neu"}},
        // A file without an ID3v2 tag gets one; each kind of frame is made as that kind.
        {L"plain.mp3",
         Send::Members,
         {{L"TIT2", L"Erster"}, {L"COMM", L"Notiz"}, {L"WOAR", L"https://example.com/a"}, {L"TXXX", L"frei"}},
         {{L"TIT2", Values{L"Erster"}},
          {L"COMM::XXX", Values{L"Notiz"}},
          {L"WOAR:https://example.com/a", Values{L"https://example.com/a"}},
          {L"TXXX:", Values{L"frei"}},
          {v1Comment, Values{L"Notiz"}}},
         L"2.3.0"},
        // The names a file without frames shows its basic fields by are written to their frames;
        // the rest of the ID3v1 tag is copied into the new ID3v2 tag, which mutagen then reads.
        {L"id3v1.mp3",
         Send::Members,
         {{L"TITLE", L"Neu"}, {L"comment", L"Anders"}},
         {{L"TIT2", Values{L"Neu"}}, {L"COMM::XXX", Values{L"Anders"}}},
         L"2.3.0"},
        // The other routes: the page sends the whole set back with its changes.
        {L"tags.m4a", Send::WholeSet, {{L"TITLE", L"Neuer Titel"}}, {{L"©nam", Values{L"Neuer Titel"}}}, L""},
        {L"tags.m4a", Send::WholeSet, {{L"GENRE", std::nullopt}}, {{L"©gen", std::nullopt}}, L""},
        {L"multi.m4a", Send::WholeSet, {{L"TITLE", L"Neuer Titel"}}, {{L"©nam", Values{L"Neuer Titel"}}}, L""},
        {L"multi.m4a",
         Send::WholeSet,
         {{L"ARTIST", L"Clara"}, {L"BPM", L"90"}},
         {{L"©ART", Values{L"Clara"}}, {L"tmpo", Values{L"90"}}},
         L""},
        {L"tags.wma", Send::WholeSet, {{L"TITLE", L"Neuer Titel"}}, {{L"Title", Values{L"Neuer Titel"}}}, L""},
        {L"multi.wma", Send::WholeSet, {{L"TITLE", L"Neu"}}, {{L"Title", Values{L"Neu"}}}, L""},
        {L"multi.wma",
         Send::WholeSet,
         {{L"COMPOSER", L"Clara"}, {L"TRACKNUMBER", std::nullopt}},
         {{L"WM/Composer", Values{L"Clara"}}, {L"WM/TrackNumber", std::nullopt}},
         L""},
        {L"tags.flac", Send::WholeSet, {{L"TITLE", L"Neuer Titel"}}, {{L"title", Values{L"Neuer Titel"}}}, L""},
        {L"multi.flac", Send::WholeSet, {{L"TITLE", L"Neuer Titel"}}, {{L"title", Values{L"Neuer Titel"}}}, L""},
        // Only the named keys, an empty text removing its key.
        {L"tags.ogg",
         Send::Members,
         {{L"TITLE", L"Neuer Titel"}, {L"GENRE", L""}},
         {{L"title", Values{L"Neuer Titel"}}, {L"genre", std::nullopt}},
         L""},
    };
    for (const auto& c : cases) {
        const TempDir dir;
        const std::wstring path = CopyFixture(std::wstring(L"media/") + c.fixture, dir);
        const MutagenView before = ReadWithMutagen(path);
        if (!before.found) GTEST_SKIP() << before.missing;
        std::string missing;
        const std::string audio = AudioDigest(path, missing);
        if (audio.empty()) GTEST_SKIP() << missing;
        const JsonObject request = c.send == Send::WholeSet ? WholeSet(path, c.sent) : Members(c.sent);
        SCOPED_TRACE(Utf16ToUtf8(c.fixture) + " with " + request.Utf8());

        ASSERT_TRUE(Write(path, request));

        const MutagenView after = ReadWithMutagen(path);
        const TagValues expected = Changed(before.tags, c.changes);
        EXPECT_EQ(Comparable(after), Comparable(expected, after.type))
            << "read back:" << Describe(after.tags) << "\nexpected:" << Describe(expected);
        EXPECT_EQ(after.version, c.id3Version);
        EXPECT_EQ(after.type, before.type);
        // mutagen estimates an MP3 file's length from its size, which the ID3v1 tag adds to.
        if (after.type != L"MP3") {
            EXPECT_EQ(after.length, before.length);
        }
        EXPECT_EQ(AudioDigest(path, missing), audio) << "the audio packets changed";
        if (c.probed.first) {
            EXPECT_EQ(ProbedTag(path, c.probed.first), c.probed.second);
        }
        EXPECT_EQ(FolderNames(dir.Path()), std::vector<std::wstring>{path.substr(dir.Path().size() + 1)})
            << "the folder holds the file alone";
    }
}

TEST(MediaPropsWriting, KeepsTheStoredKindOfAsfValuesThatWereSentBackUnchanged)
{
    // exiftool's verbose listing gives each stored attribute's size: 4 bytes for a DWORD or BOOL,
    // more for the same number as text, which is how the library would store every value it
    // rebuilds (and it shows a DWORD other than the track number as no text at all).
    const auto storedAttributes = [](const std::wstring& path) {
        const ReaderResult result = RunReader(L"exiftool", {L"-v2", path});
        std::vector<std::string> lines;
        size_t at = 0;
        while ((at = result.out.find("- Tag '", at)) != std::string::npos) {
            const size_t end = result.out.find('\n', at);
            lines.push_back(result.out.substr(at, end - at));
            at = end;
        }
        std::sort(lines.begin(), lines.end());
        return std::make_pair(result, lines);
    };
    const TempDir dir;
    const std::wstring path = CopyFixture(L"media/multi.wma", dir);
    const auto [reader, before] = storedAttributes(path);
    if (!reader.found) GTEST_SKIP() << reader.missing;
    ASSERT_EQ(before, (std::vector<std::string>{"- Tag 'BeatsPerMinute' (4 bytes)", "- Tag 'Composer' (24 bytes)",
                                                "- Tag 'Composer' (26 bytes)", "- Tag 'IsCompilation' (4 bytes)",
                                                "- Tag 'TrackNumber' (4 bytes)"}));

    ASSERT_TRUE(Write(path, WholeSet(path, {{L"TITLE", L"Neu"}})));

    EXPECT_EQ(storedAttributes(path).second, before);
    MutagenView after = ReadWithMutagen(path);
    if (after.found) {
        EXPECT_EQ(after.tags[L"WM/BeatsPerMinute"], std::vector<std::wstring>{L"120"});
    }
}

TEST(MediaPropsWriting, StoresADateAsTheTextGivenAndRemovesItForAnEmptyOne)
{
    using Values = std::vector<std::wstring>;
    const struct {
        const wchar_t* date;
        std::optional<Values> stored;
    } cases[] = {
        {L"2001", Values{L"2001"}},
        {L"2001-05", Values{L"2001-05"}},
        {L" 2001", Values{L" 2001"}},
        {L"", std::nullopt},
    };
    for (const auto& c : cases) {
        const TempDir dir;
        const std::wstring path = CopyFixture(L"media/tags.flac", dir, L"song.flac");
        const MutagenView before = ReadWithMutagen(path);
        if (!before.found) GTEST_SKIP() << before.missing;
        ASSERT_TRUE(Write(path, Members({{L"DATE", c.date}}))) << Utf16ToUtf8(c.date);
        EXPECT_EQ(ReadWithMutagen(path).tags, Changed(before.tags, {{L"date", c.stored}})) << Utf16ToUtf8(c.date);
    }
}

TEST(MediaPropsWriting, WorksOnNamesWithAnyUnicodeCharacters)
{
    const struct {
        const wchar_t* fixture;
        const wchar_t* name;
        const wchar_t* key;
        const wchar_t* mutagenKey;
    } cases[] = {
        {L"id3v23.mp3", L"Café ☕ 𝄞 Ünïcødé.mp3", L"TIT2", L"TIT2"},
        {L"tags.m4a", L"Łódź 日本 😀.m4a", L"TITLE", L"©nam"},
        {L"tags.flac", L"Ελληνικά 🎵.flac", L"TITLE", L"title"},
    };
    for (const auto& c : cases) {
        const TempDir dir;
        const std::wstring path = CopyFixture(std::wstring(L"media/") + c.fixture, dir, c.name);
        SCOPED_TRACE(Utf16ToUtf8(c.name));
        EXPECT_EQ(MemberText(Read(path).Member(c.key), L"data"), L"Café Morning");
        const std::wstring title = L"Titel 𝄞 ☕";
        ASSERT_TRUE(
            Write(path, c.key == std::wstring(L"TIT2") ? Members({{c.key, title}}) : WholeSet(path, {{c.key, title}})));
        EXPECT_EQ(MemberText(Read(path).Member(c.key), L"data"), title);
        const MutagenView after = ReadWithMutagen(path);
        if (!after.found) continue;
        const auto stored = after.tags.find(c.mutagenKey);
        ASSERT_NE(stored, after.tags.end()) << Describe(after.tags);
        EXPECT_EQ(stored->second, std::vector<std::wstring>{title});
    }
}

TEST(MediaPropsWriting, RefusesWhatItCannotWriteSaysWhyAndLeavesTheFileAsItWas)
{
    const wchar_t* const title = L"{\"TITLE\":{\"data\":\"x\"}}";
    const struct {
        const char* what;
        const wchar_t* fixture; // copied as `name`, or a text file when null
        const wchar_t* name;
        DWORD attributes;
        const wchar_t* props;  // the category's member of "props", as JSON text
        const wchar_t* reason; // what "error" must say
    } cases[] = {
        {"a read-only file", L"id3v23.mp3", L"a.mp3", FILE_ATTRIBUTE_READONLY, L"{\"TIT2\":{\"data\":\"x\"}}",
         L"The file is read-only"},
        {"a frame kind that holds no text", L"id3v23.mp3", L"a.mp3", 0, L"{\"APIC\":{\"data\":\"x\"}}",
         L"APIC frames hold no text that could be set"},
        {"a name that is no frame", L"id3v23.mp3", L"a.mp3", 0, L"{\"TIT2\":{\"data\":\"x\"},\"NOT A FRAME\":{}}",
         L"\"NOT A FRAME\" is not an ID3v2 frame identifier"},
        {"a name of five letters", L"plain.mp3", L"a.mp3", 0, L"{\"TITLEX\":{\"data\":\"x\"}}",
         L"\"TITLEX\" is not an ID3v2 frame identifier"},
        {"a request that is not an object", L"tags.m4a", L"a.m4a", 0, L"\"TITLE\"",
         L"The request holds no media values"},
        {"a request that is a list", L"tags.flac", L"a.flac", 0, L"[{\"TITLE\":{\"data\":\"x\"}}]",
         L"The request holds no media values"},
        // A file of another kind under a route's name: nothing is added to it.
        {"an MP4 file named as MP3", L"tags.m4a", L"a.mp3", 0, L"{\"TIT2\":{\"data\":\"x\"}}",
         L"The file is not an MP3 file: no ID3v2 tag and no MPEG frame found"},
        {"an MP3 file named as MP4", L"id3v23.mp3", L"a.m4a", 0, title,
         L"The file is not an MP4 file: no MP4 header found"},
        {"an FLAC file named as ASF", L"tags.flac", L"a.wma", 0, title,
         L"The file is not an ASF file: no ASF header found"},
    };
    for (const auto& c : cases) {
        const TempDir dir;
        const std::wstring path = c.fixture ? CopyFixture(std::wstring(L"media/") + c.fixture, dir, c.name)
                                            : dir.MakeFile(c.name, "plain text, not a media file\n");
        if (c.attributes) SetFileAttributesW(path.c_str(), c.attributes);
        const std::string bytes = ReadAll(path);
        const JsonWrapper props = Parsed(c.props);
        MediaProps handler;
        std::wstring error;
        EXPECT_FALSE(handler.SetProps(path, props.View(), error)) << c.what;
        EXPECT_EQ(error, c.reason) << c.what;
        EXPECT_EQ(ReadAll(path), bytes) << c.what;
        EXPECT_EQ(FolderNames(dir.Path()), std::vector<std::wstring>{c.name}) << c.what;
    }
}

TEST(MediaPropsWriting, RefusesATextFileUnderEveryMediaNameAndLeavesItAsItWas)
{
    const struct {
        const wchar_t* name;
        const wchar_t* reason;
    } cases[] = {
        {L"a.mp3", L"The file is not an MP3 file: no ID3v2 tag and no MPEG frame found"},
        {L"a.m4a", L"The file is not an MP4 file: no MP4 header found"},
        {L"a.mp4", L"The file is not an MP4 file: no MP4 header found"},
        {L"a.mov", L"The file is not an MP4 file: no MP4 header found"},
        {L"a.wma", L"The file is not an ASF file: no ASF header found"},
        {L"a.wmv", L"The file is not an ASF file: no ASF header found"},
    };
    const wchar_t* const basicNames[] = {L"a.flac", L"a.ogg", L"a.wav", L"a.aiff", L"a.opus", L"a.ape",
                                         L"a.wv",   L"a.mpc", L"a.tta", L"a.spx",  L"a.dsf",  L"a.txt"};
    std::vector<std::pair<std::wstring, std::wstring>> all;
    for (const auto& c : cases)
        all.emplace_back(c.name, c.reason);
    for (const wchar_t* name : basicNames)
        all.emplace_back(name, L"The file is of no media kind the tag library knows");
    // Text, and text that starts like the kind's header would, are both refused.
    for (const std::string& text : {std::string("plain text, not a media file\n"), std::string(4096, ' ')}) {
        for (const auto& [name, reason] : all) {
            const TempDir dir;
            const std::wstring path = dir.MakeFile(name, text);
            const std::wstring key = name == L"a.mp3" ? L"TIT2" : L"TITLE";
            const JsonWrapper props = Parsed(L"{\"" + key + L"\":{\"data\":\"x\"}}");
            MediaProps handler;
            std::wstring error;
            EXPECT_FALSE(handler.SetProps(path, props.View(), error)) << Utf16ToUtf8(name);
            EXPECT_EQ(error, reason) << Utf16ToUtf8(name);
            EXPECT_EQ(ReadAll(path), text) << Utf16ToUtf8(name);
            EXPECT_EQ(FolderNames(dir.Path()), std::vector<std::wstring>{name}) << Utf16ToUtf8(name);
        }
    }
}

TEST(MediaPropsWriting, RefusesAMissingFileAnEmptyNameAndAMissingRequest)
{
    const TempDir dir;
    const std::wstring path = CopyFixture(L"media/tags.m4a", dir);
    const std::string bytes = ReadAll(path);
    const JsonWrapper title = Parsed(L"{\"TITLE\":{\"data\":\"x\"}}");
    MediaProps handler;
    std::wstring error;
    EXPECT_FALSE(handler.SetProps(dir.Path() + L"\\missing.m4a", title.View(), error));
    EXPECT_EQ(error, SystemErrorText(ERROR_FILE_NOT_FOUND));
    error.clear();
    EXPECT_FALSE(handler.SetProps(L"", title.View(), error));
    EXPECT_EQ(error, L"No file name was given");
    // Without the category's object the whole-set route would remove every tag.
    EXPECT_FALSE(handler.SetProps(path, JsonView(), error));
    EXPECT_EQ(error, L"The request holds no media values");
    EXPECT_EQ(ReadAll(path), bytes);
    EXPECT_EQ(FolderNames(dir.Path()), std::vector<std::wstring>{L"tags.m4a"});
}

TEST(MediaPropsWriting, LeavesTheOriginalAsItWasWhenTheWrittenCopyCannotTakeItsPlace)
{
    // Another program reads the file and lets nobody delete or rename it meanwhile.
    const TempDir dir;
    const std::wstring path = CopyFixture(L"media/tags.flac", dir);
    const std::string bytes = ReadAll(path);
    const HANDLE reader = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);

    EXPECT_FALSE(Write(path, WholeSet(path, {{L"TITLE", L"Neu"}})));

    CloseHandle(reader);
    EXPECT_EQ(ReadAll(path), bytes);
    EXPECT_EQ(FolderNames(dir.Path()), std::vector<std::wstring>{L"tags.flac"});
}

TEST(MediaPropsWriting, KeepsTheFilesCreationTimeAndAttributes)
{
    const DWORD cases[] = {
        // A written file is marked for backup (archive), as any changed file is.
        FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE,
        FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE,
        FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE,
    };
    for (const DWORD attributes : cases) {
        const TempDir dir;
        const std::wstring path = CopyFixture(L"media/id3v23.mp3", dir);
        const FILETIME created = MakeFileTime(2003, 4, 5, 6, 7, 8);
        ASSERT_TRUE(SetTimes(path, &created, nullptr, nullptr));
        // Wine on Linux keeps no creation time of its own; it is checked only where it is kept.
        FILETIME before{}, accessed{}, written{};
        ASSERT_TRUE(GetTimes(path, before, accessed, written));
        const bool keepsCreation = Ticks(before) == Ticks(created);
        ASSERT_TRUE(SetFileAttributesW(path.c_str(), attributes));

        ASSERT_TRUE(Write(path, Members({{L"TIT2", L"Versteckt"}}))) << attributes;

        FILETIME nowCreated{};
        ASSERT_TRUE(GetTimes(path, nowCreated, accessed, written));
        if (keepsCreation) {
            EXPECT_EQ(Ticks(nowCreated), Ticks(created));
        }
        EXPECT_EQ(GetFileAttributesW(path.c_str()), attributes);
        MutagenView after = ReadWithMutagen(path);
        if (after.found) {
            EXPECT_EQ(after.tags[L"TIT2"], std::vector<std::wstring>{L"Versteckt"});
        }
    }
}

TEST(MediaPropsWriting, KeepsAnId3v24TagAndEveryFrameItHolds)
{
    // Among them the frames that version 2.3 lacks: TDRL, TDTG, TMOO, TPRO, TSST, RVA2.
    const TempDir dir;
    const std::wstring path = CopyFixture(L"media/id3v24-frames.mp3", dir);
    const MutagenView before = ReadWithMutagen(path);
    if (!before.found) GTEST_SKIP() << before.missing;
    ASSERT_EQ(before.version, L"2.4.0");
    std::string missing;
    const std::string audio = AudioDigest(path, missing);

    ASSERT_TRUE(Write(path, Members({{L"TIT2", L"Neu"}, {L"TMOO", L"Heiter"}})));

    const MutagenView after = ReadWithMutagen(path);
    EXPECT_EQ(after.version, L"2.4.0");
    const TagValues expected =
        Changed(before.tags, {{L"TIT2", std::vector<std::wstring>{L"Neu"}},
                              {L"TMOO", std::vector<std::wstring>{L"Heiter"}},
                              // The save adds an ID3v1 tag of the basic fields; mutagen lists its comment apart.
                              {L"COMM:ID3v1 Comment:eng", std::vector<std::wstring>{L"Made for tests"}}});
    EXPECT_EQ(after.tags, expected) << "read back:" << Describe(after.tags) << "\nexpected:" << Describe(expected);
    if (!audio.empty()) {
        EXPECT_EQ(AudioDigest(path, missing), audio);
    }
}

namespace {

bool EndsWith(const std::wstring& text, const std::wstring& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

} // namespace

TEST(MediaPropsWriting, LeavesTheOriginalAsItWasWhateverByteCountTheDiskFillsAt)
{
    // Each save fails after n bytes, for every n up to the first that lets it succeed: the
    // original is whole each time, no scratch file remains, and the answer says why.
    const std::wstring longTitle(200, L'T'); // more than the tag's padding: the audio moves
    const struct {
        const wchar_t* fixture;
        Send send;
        Changes sent;
        const wchar_t* mutagenKey;
    } cases[] = {
        {L"id3v23.mp3", Send::Members, {{L"TIT2", longTitle}}, L"TIT2"},
        {L"id3v24-frames.mp3", Send::Members, {{L"TIT2", L"Kurz"}}, L"TIT2"},
        {L"plain.mp3", Send::Members, {{L"TIT2", L"Neu"}}, L"TIT2"},
        {L"tags.m4a", Send::WholeSet, {{L"TITLE", longTitle}}, L"©nam"},
        {L"tags.wma", Send::WholeSet, {{L"TITLE", L"Neu"}}, L"Title"},
        {L"tags.flac", Send::WholeSet, {{L"TITLE", longTitle}}, L"title"},
        {L"tags.ogg", Send::WholeSet, {{L"TITLE", longTitle}}, L"title"},
    };
    const WriteBudgetReset reset;
    for (const auto& c : cases) {
        const TempDir dir;
        const std::wstring path = CopyFixture(std::wstring(L"media/") + c.fixture, dir);
        const std::string bytes = ReadAll(path);
        const JsonObject request = c.send == Send::WholeSet ? WholeSet(path, c.sent) : Members(c.sent);
        SCOPED_TRACE(Utf16ToUtf8(c.fixture));
        uint64_t budget = 0;
        for (;; ++budget) {
            ASSERT_LT(budget, 1u << 20) << "the save never succeeded";
            FileSave::SetWriteBudgetForTests(budget);
            MediaProps handler;
            std::wstring error;
            if (handler.SetProps(path, request.Document().View(), error)) break;
            ASSERT_EQ(ReadAll(path), bytes) << "after " << budget << " bytes";
            ASSERT_EQ(ScratchFilesIn(dir.Path()), std::vector<std::wstring>{}) << "after " << budget << " bytes";
            ASSERT_TRUE(EndsWith(error, L"(112)")) << "after " << budget << " bytes: " << Utf16ToUtf8(error);
        }
        FileSave::SetWriteBudgetForTests(std::nullopt);
        EXPECT_GT(budget, 0u);
        EXPECT_EQ(ScratchFilesIn(dir.Path()), std::vector<std::wstring>{});
        MutagenView after = ReadWithMutagen(path);
        if (!after.found) continue;
        EXPECT_EQ(after.tags[c.mutagenKey], std::vector<std::wstring>{c.sent.front().second.value()});
    }
}

TEST(MediaPropsWriting, FailsWithTheReasonOnAFullDiskAndLeavesTheFileAsItWas)
{
    const TempDir dir;
    const SmallDisk small(dir);
    if (!small.Mounted()) GTEST_SKIP() << small.Why();
    const std::wstring& disk = small.Path();
    const std::wstring path = CopyFixture(L"media/id3v23.mp3", dir);
    const std::wstring onDisk = disk + L"\\song.mp3";
    ASSERT_TRUE(CopyFileW(path.c_str(), onDisk.c_str(), FALSE));
    // Fill the disk, so that only a few kilobytes stay free.
    ASSERT_TRUE(small.FillLeaving(2 * 4096));
    const std::string bytes = ReadAll(onDisk);

    MediaProps handler;
    std::wstring error;
    const JsonObject request = Members({{L"TIT2", std::wstring(6000, L'x')}});
    EXPECT_FALSE(handler.SetProps(onDisk, request.Document().View(), error));

    EXPECT_TRUE(EndsWith(error, L"(112)")) << Utf16ToUtf8(error);
    EXPECT_EQ(ReadAll(onDisk), bytes);
    EXPECT_EQ(FolderNames(disk), (std::vector<std::wstring>{L"filler", L"song.mp3"}));
}

TEST(MediaCheckedStream, MovesTheTailInPiecesWhenABlockGrowsOrShrinks)
{
    // Tails of several pieces, moved up (from the end) and down (from the front).
    std::string bytes(3 * (1 << 20) + 12345, '\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>((i * 2654435761u) >> 13);
    const TempDir dir;
    const std::wstring path = dir.MakeFile(L"data.bin", bytes);
    std::string expected = bytes;
    {
        FileSave save(path);
        ASSERT_TRUE(save.Begin(FileSave::Start::CopyOfOriginal, bytes.size() * 2)) << Utf16ToUtf8(save.Error());
        CheckedStream stream(save, path);
        const std::string grown(5000, 'g');
        stream.insert(TagLib::ByteVector(grown.data(), static_cast<unsigned int>(grown.size())), 100, 10);
        expected.replace(100, 10, grown);
        stream.removeBlock(70, (1 << 20) + 7);
        expected.erase(70, (1 << 20) + 7);
        const std::string same(20, 's');
        stream.insert(TagLib::ByteVector(same.data(), static_cast<unsigned int>(same.size())), 30, 20);
        expected.replace(30, 20, same);
        stream.seek(0, TagLib::IOStream::End);
        stream.writeBlock(TagLib::ByteVector("end", 3));
        expected += "end";
        EXPECT_EQ(static_cast<uint64_t>(stream.length()), expected.size());
        save.Truncate(stream.Size());
        ASSERT_TRUE(save.Finish(nullptr)) << Utf16ToUtf8(save.Error());
    }
    EXPECT_TRUE(ReadAll(path) == expected) << "the file's bytes differ from the moves made";
}

namespace {

// A file stream that counts the bytes the library reads through it.
class CountingStream : public TagLib::FileStream {
public:
    explicit CountingStream(const std::wstring& path) : TagLib::FileStream(path.c_str(), true) {}
    TagLib::ByteVector readBlock(size_t length) override
    {
        TagLib::ByteVector block = TagLib::FileStream::readBlock(length);
        bytesRead += block.size();
        return block;
    }
    unsigned long long bytesRead = 0;
};

} // namespace

TEST(MediaPropsReading, ReadsTheTagsWithoutScanningTheAudio)
{
    // An ID3v2 tag followed by 4 MiB holding no MPEG frame: looking for the audio's properties
    // reads all of it, looking for tags only the ends.
    const std::string song = ReadAll(FixturePath(L"media/id3v23.mp3"));
    ASSERT_GE(song.size(), 10u);
    const size_t tagSize =
        10 + ((song[6] & 0x7F) << 21 | (song[7] & 0x7F) << 14 | (song[8] & 0x7F) << 7 | (song[9] & 0x7F));
    const TempDir dir;
    const std::string bytes = song.substr(0, tagSize) + std::string(4 << 20, '\0');
    const std::wstring path = dir.MakeFile(L"long.mp3", bytes);
    {
        CountingStream stream(path);
        TagLib::MPEG::File withAudio(&stream, true);
        ASSERT_GT(stream.bytesRead, 1u << 20) << "the file must be one whose audio properties take a long read";
    }
    // Under another name the route of the property map opens the file by name alone.
    const std::wstring other = dir.MakeFile(L"long.mp2", bytes);
    for (const auto& [route, file] :
         {std::make_pair(MediaRoute::Id3v2Frames, path), std::make_pair(MediaRoute::TagMap, other)}) {
        CountingStream stream(file);
        JsonWrapper media;
        ReadMediaTags(stream, route, JsonWrapper(), media);
        EXPECT_EQ(media.GetCount(), 7);
        EXPECT_LT(stream.bytesRead, 64u << 10) << "route " << static_cast<int>(route);
    }
}

TEST(MediaPropsReading, LooksAtTheEndsOnlyOfAFileWithoutTagOrFrame)
{
    // Zeros named as each route's kind: without an ID3v2 tag at the start the library would
    // search an MP3 for one up to the first MPEG frame, which is nowhere.
    const TempDir dir;
    const std::string zeros(8 << 20, '\0');
    for (const wchar_t* name : {L"zeros.mp3", L"zeros.m4a", L"zeros.wma", L"zeros.flac", L"zeros.ogg"}) {
        const std::wstring path = dir.MakeFile(name, zeros);
        CountingStream stream(path);
        JsonWrapper media;
        ReadMediaTags(stream, MediaRouteOf(path), JsonWrapper(), media);
        EXPECT_EQ(media.GetCount(), 0) << Utf16ToUtf8(name);
        EXPECT_LT(stream.bytesRead, 64u << 10) << Utf16ToUtf8(name);
    }
}
