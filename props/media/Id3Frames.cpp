#include "Id3Frames.h"

#include <taglib/commentsframe.h>
#include <taglib/textidentificationframe.h>
#include <taglib/unsynchronizedlyricsframe.h>
#include <taglib/urllinkframe.h>

#include <cstring>

using namespace TagLib;

namespace {

enum class FrameKind { Text, UserText, Comment, Lyrics, Link, UserLink };

struct FrameRule {
    const char* id; // a whole identifier, or its first letter when prefix is set
    bool prefix;
    FrameKind kind;
};

// The first rule that matches an identifier gives its kind.
constexpr FrameRule kFrameRules[] = {
    {"TXXX", false, FrameKind::UserText},
    {"WXXX", false, FrameKind::UserLink},
    {"COMM", false, FrameKind::Comment},
    {"USLT", false, FrameKind::Lyrics},
    // Apple's frames that hold text, although their identifiers do not start with T.
    {"WFED", false, FrameKind::Text},
    {"MVNM", false, FrameKind::Text},
    {"MVIN", false, FrameKind::Text},
    {"GRP1", false, FrameKind::Text},
    {"T", true, FrameKind::Text},
    {"W", true, FrameKind::Link},
};

// The frames that hold the basic fields, under the names a file without frames shows them by.
constexpr struct {
    const wchar_t* name;
    const char* id;
} kBasicFieldFrames[] = {
    {L"TITLE", "TIT2"}, {L"ARTIST", "TPE1"}, {L"ALBUM", "TALB"},       {L"COMMENT", "COMM"},
    {L"GENRE", "TCON"}, {L"DATE", "TDRC"},   {L"TRACKNUMBER", "TRCK"},
};

ByteVector FrameOfBasicField(const std::wstring& name)
{
    for (const auto& field : kBasicFieldFrames) {
        if (name == field.name) return ByteVector(field.id, 4);
    }
    return ByteVector();
}

const FrameRule* RuleOf(const ByteVector& id)
{
    for (const FrameRule& rule : kFrameRules) {
        const size_t length = rule.prefix ? 1 : 4;
        if (id.size() >= length && std::memcmp(id.data(), rule.id, length) == 0) return &rule;
    }
    return nullptr;
}

std::wstring AsciiUpper(std::wstring text)
{
    for (wchar_t& c : text) {
        if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    }
    return text;
}

// Four characters A to Z or 0 to 9; empty otherwise.
ByteVector AsFrameId(const std::wstring& name)
{
    if (name.size() != 4) return ByteVector();
    ByteVector id;
    for (const wchar_t c : name) {
        if (!(c >= L'A' && c <= L'Z') && !(c >= L'0' && c <= L'9')) return ByteVector();
        id.append(static_cast<char>(c));
    }
    return id;
}

template <typename Frame> std::unique_ptr<ID3v2::Frame> WithText(std::unique_ptr<Frame> frame, const String& text)
{
    frame->setText(text);
    return frame;
}

} // namespace

ByteVector Id3FrameIdOf(const ID3v2::Tag& tag, const std::wstring& name)
{
    const std::wstring upper = AsciiUpper(name);
    const ByteVector id = AsFrameId(upper);
    if (!id.isEmpty() && tag.frameListMap().contains(id)) return id;
    const ByteVector field = FrameOfBasicField(upper);
    return field.isEmpty() ? id : field;
}

std::unique_ptr<ID3v2::Frame> MakeId3Frame(const ByteVector& id, const String& text)
{
    const FrameRule* rule = RuleOf(id);
    if (rule == nullptr || id.size() != 4) return nullptr;
    switch (rule->kind) {
    case FrameKind::Text: return WithText(std::make_unique<ID3v2::TextIdentificationFrame>(id, String::UTF8), text);
    case FrameKind::UserText: return WithText(std::make_unique<ID3v2::UserTextIdentificationFrame>(String::UTF8), text);
    case FrameKind::Comment: return WithText(std::make_unique<ID3v2::CommentsFrame>(String::UTF8), text);
    case FrameKind::Lyrics: return WithText(std::make_unique<ID3v2::UnsynchronizedLyricsFrame>(String::UTF8), text);
    case FrameKind::Link: return WithText(std::make_unique<ID3v2::UrlLinkFrame>(id), text);
    case FrameKind::UserLink: return WithText(std::make_unique<ID3v2::UserUrlLinkFrame>(String::UTF8), text);
    }
    return nullptr;
}
