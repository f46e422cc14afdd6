#pragma once
// Writing ID3v2 frames from texts: which frame a request member names, and how a frame the tag
// lacks is made. A frame is more than its text for most kinds (a comment carries a language and a
// description, a link its address), so each kind is made by its own class; a kind that holds no
// plain text (a picture, private data) cannot be made from one.
#include <taglib/id3v2frame.h>
#include <taglib/id3v2tag.h>
#include <taglib/tbytevector.h>
#include <taglib/tstring.h>

#include <memory>
#include <string>

// The identifier of the frames a request member names: its name when the tag holds frames of that
// identifier; else, for the names a file without frames shows its basic fields by (TITLE, ARTIST,
// ALBUM, COMMENT, GENRE, DATE, TRACKNUMBER), the frame that holds that field; else the name itself
// when it is a frame identifier (four characters, A to Z and 0 to 9; ASCII letters are taken in
// upper case). Empty for any other name.
TagLib::ByteVector Id3FrameIdOf(const TagLib::ID3v2::Tag& tag, const std::wstring& name);

// A new frame of the identifier holding the text, encoded as UTF-8 where the frame has an
// encoding; null when frames of that identifier do not hold a plain text.
std::unique_ptr<TagLib::ID3v2::Frame> MakeId3Frame(const TagLib::ByteVector& id, const TagLib::String& text);
