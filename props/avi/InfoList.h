#pragma once
// The content of an AVI file's INFO list (the data of the LIST chunk, list type first): one text
// item after another, each a four-character identifier, a 32-bit little-endian size and the text.
//
// Reading goes by the size fields, so items of every writer are read: ffmpeg counts the
// terminating zero in an item's size and pads an odd size with a byte the size does not count,
// while this program counts two zeros after an odd-length text. Writing keeps this program's own
// layout: the size is the text length plus 1 for an even length and plus 2 for an odd one, so it
// is always odd, and a pad byte follows. An item read from a file is written back as it was
// stored, so that items another program wrote survive a rewrite of the list byte for byte.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class InfoList {
public:
    struct Item {
        std::string id;   // as stored: up to four bytes, read up to a zero byte
        std::string text; // UTF-8, up to the first zero byte
        // The data as a file stores it (with its zeros, without the pad byte), for items read
        // from one; none for new items, which Build lays out from their text.
        std::optional<std::string> stored;
    };

    // The items of a content, in file order. The list type (the first four bytes) is not tested;
    // an item that runs past the content ends the list, so a content cut short loses only its
    // last, incomplete item.
    static InfoList Parse(const uint8_t* data, size_t size);
    static InfoList Parse(const std::vector<uint8_t>& content) { return Parse(content.data(), content.size()); }

    // Four printable ASCII characters: what a RIFF chunk identifier may be.
    static bool IsIdentifier(std::string_view id);

    // The content holding the items in order (identifiers must pass IsIdentifier, new texts hold
    // no zero byte); false when the content would not fit a chunk's 32-bit size.
    bool Build(std::vector<uint8_t>& content) const;

    std::vector<Item> items;
};
