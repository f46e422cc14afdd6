#include "tests/props/media/MediaChecks.h"
#include "core/JsonWrapper.h"
#include "core/TextConvert.h"
#include "tests/support/Requests.h"

#include <gtest/gtest.h>

#include <algorithm>

MutagenView ReadWithMutagen(const std::wstring& path)
{
    MutagenView view;
    const ReaderResult result = RunReader(L"mutagen_dump.py", {path});
    if (!result.found) {
        view.missing = result.missing;
        return view;
    }
    view.found = true;
    EXPECT_EQ(result.exitCode, 0) << result.err;
    if (result.exitCode != 0) return view;
    const JsonWrapper dump = Parsed(Utf8ToUtf16(result.out));
    dump.Member(L"type").GetText(view.type);
    dump.Member(L"id3_version").GetText(view.version);
    view.length = dump.Member(L"length").Copy().Print();
    for (const JsonView tag : dump.Member(L"tags")) {
        std::vector<std::wstring>& values = view.tags[tag.Name()];
        for (const JsonView value : tag) {
            std::wstring text;
            value.GetText(text);
            values.push_back(text);
        }
    }
    return view;
}

std::string AudioDigest(const std::wstring& path, std::string& missing)
{
    const ReaderResult result =
        RunReader(L"ffmpeg", {L"-v", L"error", L"-i", path, L"-map", L"0:a", L"-c", L"copy", L"-f", L"md5", L"-"});
    if (!result.found) {
        missing = result.missing;
        return {};
    }
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out.rfind("MD5=", 0), 0u) << result.out;
    return result.out;
}

std::wstring ProbedTag(const std::wstring& path, const std::wstring& key)
{
    const ReaderResult result = RunReader(L"ffprobe", {L"-v", L"error", L"-show_entries", L"format_tags=" + key, L"-of",
                                                       L"default=noprint_wrappers=1:nokey=1", path});
    EXPECT_TRUE(result.found) << result.missing;
    EXPECT_EQ(result.exitCode, 0) << result.err;
    std::string text = result.out;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return Utf8ToUtf16(text);
}

TagValues Changed(TagValues tags, const std::vector<TagChange>& changes)
{
    for (const auto& [key, values] : changes) {
        if (values)
            tags[key] = *values;
        else
            tags.erase(key);
    }
    return tags;
}

std::string Describe(const TagValues& tags)
{
    std::string text;
    for (const auto& [key, values] : tags) {
        text += "\n  " + Utf16ToUtf8(key) + ":";
        for (const std::wstring& value : values)
            text += " [" + Utf16ToUtf8(value) + "]";
    }
    return text;
}
