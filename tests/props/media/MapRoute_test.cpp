// The files of every kind but ".mp3", MP4 and ASF, through their property maps: what is read
// from real files of each kind (every key, several values listed), what a write leaves in a copy
// as mutagen and ffprobe read it (exactly the named keys changed, the audio packets untouched, an
// ID3v2 tag's version kept), the keys and texts a format cannot hold refused with the file left as
// it was, and files of no kind never read from end to end.
#include "props/media/MediaProps.h"
#include "core/TextConvert.h"
#include "props/media/MediaRoute.h"
#include "props/media/MediaTags.h"
#include "tests/props/media/MediaChecks.h"
#include "tests/support/Fixture.h"
#include "tests/support/Requests.h"
#include "tests/support/TestFiles.h"

#include <taglib/tfilestream.h>

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace {

using Values = std::vector<std::wstring>;

struct Shown {
    std::wstring key;
    std::wstring data;
    Values values; // the entry's "values", for a key with several
};

std::vector<Shown> Read(const std::wstring& path)
{
    MediaProps handler;
    JsonWrapper media;
    handler.GetProps(path, media);
    std::vector<Shown> shown;
    for (const JsonView entry : media.View()) {
        Values values;
        for (const JsonView value : entry.Member(L"values")) {
            std::wstring text;
            value.GetText(text);
            values.push_back(text);
        }
        shown.push_back({entry.Name(), MemberText(entry, L"data"), values});
    }
    return shown;
}

std::string Describe(const std::vector<Shown>& shown)
{
    std::string text;
    for (const Shown& entry : shown) {
        text += "\n  " + Utf16ToUtf8(entry.key) + " = " + Utf16ToUtf8(entry.data);
        for (const std::wstring& value : entry.values)
            text += " [" + Utf16ToUtf8(value) + "]";
    }
    return text;
}

void PrintTo(const Shown& shown, std::ostream* out)
{
    *out << Utf16ToUtf8(shown.key) << " = \"" << Utf16ToUtf8(shown.data) << "\" (" << shown.values.size() << " values)";
}

bool operator==(const Shown& a, const Shown& b)
{
    return a.key == b.key && a.data == b.data && a.values == b.values;
}

// A request of members key -> {"data": text}, in order.
JsonObject Members(const std::vector<std::pair<std::wstring, std::wstring>>& members)
{
    JsonObject request;
    for (const auto& [key, data] : members)
        request.Object(key, Object().Text(L"data", data));
    return request;
}

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

TEST(MapRouteReading, ShowsEveryKeyOfTheFilesTagWithSeveralValuesListed)
{
    const struct {
        const wchar_t* fixture;
        std::vector<Shown> expected;
    } cases[] = {
        // Two artists stay two values; the track keeps its total.
        {L"silence-44-s.flac",
         {{L"ALBUM", L"Quod Libet Test Data", {}},
          {L"ARTIST", L"piman; jzig", {L"piman", L"jzig"}},
          {L"DATE", L"2004", {}},
          {L"GENRE", L"Silence", {}},
          {L"TITLE", L"Silence", {}},
          {L"TRACKNUMBER", L"02/10", {}}}},
        {L"correctness_gain_silent_output.opus",
         {{L"ENCODER", L"Xiph.Org Opus testvectormaker", {}},
          {L"TESTDESCRIPTION",
           L"This sample must be silent or very quiet.\nIf you can hear speech without turning the volume up very "
           L"high the opus output gain is being handled incorrectly.\nThis file also has random modeswitches.",
           {}}}},
        {L"empty.ogg", {}},
        // The ID3v2 tag's texts where it and the INFO list disagree.
        {L"duplicate_tags.wav", {{L"ALBUM", L"Album1", {}}, {L"ARTIST", L"Artist1", {}}, {L"TITLE", L"Title1", {}}}},
        {L"duplicate_id3v2.aiff", {{L"ALBUM", L"Album1", {}}, {L"ARTIST", L"Artist1", {}}, {L"TITLE", L"Title1", {}}}},
        {L"click.wv", {}},
        {L"test.it",
         {{L"COMMENT",
           L"This is a sample name.\nIn module file formats\nsample names are abused\nas multiline "
           L"comments.\n ",
           {}},
          {L"TITLE", L"test song name", {}},
          {L"TRACKERNAME", L"Impulse Tracker", {}}}},
    };
    for (const auto& c : cases) {
        const TempDir dir;
        const std::wstring path = CopyFixture(std::wstring(L"media/") + c.fixture, dir);
        const std::vector<Shown> shown = Read(path);
        EXPECT_EQ(shown, c.expected) << Utf16ToUtf8(c.fixture) << ":" << Describe(shown);
    }
}

TEST(MapRouteWriting, ChangesExactlyTheNamedKeysAndLeavesTheAudioAlone)
{
    const struct {
        const wchar_t* fixture;
        std::vector<std::pair<std::wstring, std::wstring>> sent;
        std::vector<TagChange> changes; // what mutagen must find changed, under its keys
        const wchar_t* id3Version;      // of the ID3v2 tag a WAV or AIFF file keeps
        std::vector<std::pair<const wchar_t*, const wchar_t*>> probed{}; // what ffprobe must show
    } cases[] = {
        // Keys the page offers beyond the basic fields; several values from one text.
        {L"silence-44-s.flac",
         {{L"ALBUMARTIST", L"Beide"}, {L"COMPOSER", L"Anna; Ben"}, {L"DISCNUMBER", L"1/2"}},
         {{L"albumartist", Values{L"Beide"}}, {L"composer", Values{L"Anna", L"Ben"}}, {L"discnumber", Values{L"1/2"}}},
         L""},
        {L"silence-44-s.flac",
         {{L"ARTIST", L"piman; jzig; Clara"}, {L"genre", L""}},
         {{L"artist", Values{L"piman", L"jzig", L"Clara"}}, {L"genre", std::nullopt}},
         L""},
        // A key of the file's own, and one sent back as it reads, left as it was.
        {L"correctness_gain_silent_output.opus",
         {{L"TITLE", L"Stille"}, {L"ENCODER", L"Xiph.Org Opus testvectormaker"}},
         {{L"title", Values{L"Stille"}}},
         L""},
        {L"empty.ogg",
         {{L"TITLE", L"Zoë 𝄞"}, {L"REPLAYGAIN_TRACK_GAIN", L"-6.00 dB"}},
         {{L"title", Values{L"Zoë 𝄞"}}, {L"replaygain_track_gain", Values{L"-6.00 dB"}}},
         L""},
        // An APE tag added to a file without one.
        {L"click.wv",
         {{L"TITLE", L"Klick"}, {L"ALBUMARTIST", L"Anna"}},
         {{L"TITLE", Values{L"Klick"}}, {L"ALBUM ARTIST", Values{L"Anna"}}},
         L""},
        // Both tags of a WAV file: mutagen reads the ID3v2 tag, ffprobe the INFO list as well. The
        // second copy of each, which ffprobe showed before, goes: the file then shows one text
        // for a key to every reader.
        {L"duplicate_tags.wav",
         {{L"TITLE", L"Neuer Titel"}},
         {{L"TIT2", Values{L"Neuer Titel"}}},
         L"2.4.0",
         {{L"title", L"Neuer Titel"}, {L"album", L"Album1"}, {L"artist", L"Artist1"}}},
        // A key the INFO list cannot hold goes to the ID3v2 tag alone.
        {L"duplicate_tags.wav",
         {{L"COMPOSER", L"Anna; Ben"}},
         {{L"TCOM", Values{L"Anna", L"Ben"}}},
         L"2.4.0",
         {{L"title", L"Title1"}}},
        // The AIFF's ID3v2.4 tag stays 2.4 and keeps what was not named.
        {L"duplicate_id3v2.aiff", {{L"TITLE", L"Neu"}}, {{L"TIT2", Values{L"Neu"}}}, L"2.4.0"},
        {L"duplicate_id3v2.aiff",
         {{L"DATE", L"2001-05-06"}, {L"GENRE", L"Jazz"}},
         {{L"TDRC", Values{L"2001-05-06"}}, {L"TCON", Values{L"Jazz"}}},
         L"2.4.0"},
    };
    for (const auto& c : cases) {
        const TempDir dir;
        const std::wstring path = CopyFixture(std::wstring(L"media/") + c.fixture, dir);
        const MutagenView before = ReadWithMutagen(path);
        if (!before.found) GTEST_SKIP() << before.missing;
        std::string missing;
        const std::string audio = AudioDigest(path, missing);
        if (audio.empty()) GTEST_SKIP() << missing;
        const JsonObject request = Members(c.sent);
        SCOPED_TRACE(Utf16ToUtf8(c.fixture) + " with " + request.Utf8());

        MediaProps handler;
        std::wstring error;
        ASSERT_TRUE(handler.SetProps(path, request.Document().View(), error)) << Utf16ToUtf8(error);

        const MutagenView after = ReadWithMutagen(path);
        const TagValues expected = Changed(before.tags, c.changes);
        EXPECT_EQ(after.tags, expected) << "read back:" << Describe(after.tags) << "\nexpected:" << Describe(expected);
        EXPECT_EQ(after.type, before.type);
        EXPECT_EQ(after.version, c.id3Version);
        EXPECT_EQ(after.length, before.length);
        EXPECT_EQ(AudioDigest(path, missing), audio) << "the audio packets changed";
        for (const auto& [key, value] : c.probed)
            EXPECT_EQ(ProbedTag(path, key), value) << Utf16ToUtf8(key);
        EXPECT_EQ(FolderNames(dir.Path()), std::vector<std::wstring>{path.substr(dir.Path().size() + 1)});
    }
}

TEST(MapRouteWriting, ChangesTheFilesMutagenDoesNotReadAsFfprobeShows)
{
    const struct {
        const wchar_t* fixture;
        std::vector<std::pair<std::wstring, std::wstring>> sent;
        std::vector<std::pair<const wchar_t*, const wchar_t*>> probed;
    } cases[] = {
        {L"test.it", {{L"TITLE", L"Neuer Name"}}, {{L"title", L"Neuer Name"}, {L"encoder", L"Impulse Tracker 2.14p3"}}},
    };
    for (const auto& c : cases) {
        const TempDir dir;
        const std::wstring path = CopyFixture(std::wstring(L"media/") + c.fixture, dir);
        std::string missing;
        const std::string audio = AudioDigest(path, missing);
        if (audio.empty()) GTEST_SKIP() << missing;
        const JsonObject request = Members(c.sent);
        SCOPED_TRACE(Utf16ToUtf8(c.fixture) + " with " + request.Utf8());

        MediaProps handler;
        std::wstring error;
        ASSERT_TRUE(handler.SetProps(path, request.Document().View(), error)) << Utf16ToUtf8(error);

        for (const auto& [key, value] : c.probed)
            EXPECT_EQ(ProbedTag(path, key), value) << Utf16ToUtf8(key);
        EXPECT_EQ(AudioDigest(path, missing), audio) << "the audio packets changed";
    }
}

TEST(MapRouteWriting, RefusesWhatTheFormatCannotHoldSaysWhyAndLeavesTheFileAsItWas)
{
    const struct {
        const wchar_t* fixture;
        const wchar_t* props;
        const wchar_t* reason;
    } cases[] = {
        {L"test.it", L"{\"TITLE\":{\"data\":\"Ωmega\"}}",
         L"The Impulse Tracker file's tag holds Latin-1 text only: the text for TITLE has characters beyond it"},
        {L"test.it", L"{\"TITLE\":{\"data\":\"Neu\"},\"ARTIST\":{\"data\":\"Anna\"}}",
         L"The Impulse Tracker file's tag cannot hold ARTIST"},
        {L"test.it", L"{\"TITLE\":{\"data\":\"Eins; Zwei\"}}",
         L"The Impulse Tracker file's tag holds one value only under TITLE, not 2"},
        {L"silence-44-s.flac", L"{\"BAD=KEY\":{\"data\":\"x\"}}", L"The FLAC file's tag cannot hold BAD=KEY"},
        {L"click.wv", L"{\"ID3\":{\"data\":\"x\"}}", L"The WavPack file's tag cannot hold ID3"},
        {L"empty.ogg", L"{\"TITLE\":{\"data\":\"x\"},\"KEY=\":{\"data\":\"x\"}}",
         L"The Ogg Vorbis file's tag cannot hold KEY="},
        // The library would add an APE tag that players read in place of the ID3v2 tag.
        {L"mac-399-id3v2.ape", L"{\"TITLE\":{\"data\":\"x\"}}",
         L"The APE file starts with an ID3v2 tag, which the tag library cannot keep in step with the file's own tag"},
    };
    for (const auto& c : cases) {
        const TempDir dir;
        const std::wstring path = CopyFixture(std::wstring(L"media/") + c.fixture, dir);
        const std::string bytes = ReadAll(path);
        const JsonWrapper props = Parsed(c.props);
        MediaProps handler;
        std::wstring error;
        EXPECT_FALSE(handler.SetProps(path, props.View(), error)) << Utf16ToUtf8(c.props);
        EXPECT_EQ(error, c.reason) << Utf16ToUtf8(c.props);
        EXPECT_EQ(ReadAll(path), bytes) << Utf16ToUtf8(c.props);
        EXPECT_EQ(FolderNames(dir.Path()), std::vector<std::wstring>{path.substr(dir.Path().size() + 1)});
    }
}

TEST(MapRouteReading, LooksAtABoundedPartOfAFileOfNoKindWhateverItsName)
{
    // Zeros under every name of the route: reading, and the check a write makes first, look at
    // the header and the ends only.
    const TempDir dir;
    const std::string zeros(8 << 20, '\0');
    for (const wchar_t* name :
         {L"z.flac", L"z.ogg", L"z.oga", L"z.opus", L"z.spx", L"z.ape", L"z.mpc", L"z.wv",  L"z.tta", L"z.wav",
          L"z.aiff", L"z.aif", L"z.dsf", L"z.dff",  L"z.mp2", L"z.it",  L"z.mod", L"z.s3m", L"z.xm",  L"z.bin"}) {
        const std::wstring path = dir.MakeFile(name, zeros);
        ASSERT_EQ(MediaRouteOf(path), MediaRoute::TagMap);
        {
            CountingStream stream(path);
            JsonWrapper media;
            ReadMediaTags(stream, MediaRoute::TagMap, JsonWrapper(), media);
            EXPECT_EQ(media.GetCount(), 0) << Utf16ToUtf8(name);
            EXPECT_LT(stream.bytesRead, 256u << 10) << Utf16ToUtf8(name);
        }
        CountingStream stream(path);
        std::wstring why;
        IsOfRouteKind(stream, MediaRoute::TagMap, why);
        EXPECT_LT(stream.bytesRead, 256u << 10) << Utf16ToUtf8(name);
    }
}
