#pragma once
// The text form in which some writers keep a binary profile (here an EXIF block) in a PNG text
// chunk: a newline, the profile's name and a newline, its length in decimal (right-aligned, most
// often in eight places) and a newline, then the bytes as hexadecimal digits in lines.
//
// The decoder takes the text in pieces, as it is inflated, and trusts none of it: the name and the
// length line are short, the length has a cap, every byte after it is a digit or white space, the
// digits give exactly the length, and the text may not run on much past what they need, so a
// chunk that inflates without end is stopped early.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// How a profile's text was laid out, so that a rewrite lays new bytes out the same way.
struct RawProfileLayout {
    std::string name = "exif";
    size_t lengthWidth = 8; // places of the length line, the spaces before the digits included
    size_t lineDigits = 72; // hexadecimal digits a line; 0 for one line
    bool upperCase = false;
    bool finalNewline = true;
};

class RawProfileDecoder {
public:
    enum class Fault {
        None,
        BadHeader, // no newline first, a name or length line too long, no digits for the length
        TooLarge,  // a length of 0 or past the cap
        BadDigit,  // a byte that is neither a hexadecimal digit nor white space
        TooManyDigits,
        TooMuchText, // far more white space than digits need
        TooFewDigits,
    };

    // Profiles longer than maxBytes are refused.
    explicit RawProfileDecoder(size_t maxBytes) : maxBytes_(maxBytes) {}

    // Takes the next piece of text. False once the text is known to be bad; the fault says why.
    bool Take(const uint8_t* text, size_t size);
    // The text has ended: true when it held every byte its length names.
    bool Finish();

    Fault Failure() const { return fault_; }
    const RawProfileLayout& Layout() const { return layout_; }
    // The decoded bytes, once Finish has returned true.
    std::vector<uint8_t>& Bytes() { return bytes_; }

private:
    enum class Part { Start, Name, BeforeLength, Length, Digits, After };
    bool Fail(Fault fault);
    bool TakeHeaderByte(uint8_t byte);
    bool TakeDigitByte(uint8_t byte);

    size_t maxBytes_;
    Part part_ = Part::Start;
    Fault fault_ = Fault::None;
    RawProfileLayout layout_;
    size_t headerSize_ = 0;
    size_t lengthLine_ = 0; // places of the length line so far
    size_t length_ = 0;
    size_t lengthDigits_ = 0;
    size_t bodySize_ = 0; // text after the length line
    size_t bodyCap_ = 0;
    size_t digits_ = 0;
    bool firstLineDone_ = false;
    bool caseSeen_ = false;
    uint8_t high_ = 0;
    std::vector<uint8_t> bytes_;
};

// The text of a profile holding the bytes, laid out as `layout` says.
std::string EncodeRawProfile(const uint8_t* data, size_t size, const RawProfileLayout& layout);
