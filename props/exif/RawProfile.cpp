#include "RawProfile.h"

namespace {

// Real names are a word ("exif"); the length line is eight places. Anything far longer is no
// profile.
constexpr size_t kMaxName = 64;
constexpr size_t kMaxHeader = 256;
constexpr size_t kMaxLengthDigits = 10;
// Writers put a newline after 32 to 72 digits; allow up to two bytes of white space per digit,
// and a little more, before a text is taken to run on without end.
constexpr size_t kSlack = 1024;
// Where the first line held every digit, the width is not known: the common one is taken, or one
// line for a longer profile.
constexpr size_t kUsualLineDigits = 72;

int HexValue(uint8_t byte)
{
    if (byte >= '0' && byte <= '9') return byte - '0';
    if (byte >= 'a' && byte <= 'f') return byte - 'a' + 10;
    if (byte >= 'A' && byte <= 'F') return byte - 'A' + 10;
    return -1;
}

bool IsSpace(uint8_t byte)
{
    return byte == ' ' || byte == '\t' || byte == '\r' || byte == '\n';
}

} // namespace

bool RawProfileDecoder::Fail(Fault fault)
{
    fault_ = fault;
    return false;
}

bool RawProfileDecoder::Take(const uint8_t* text, size_t size)
{
    if (fault_ != Fault::None) return false;
    for (size_t i = 0; i < size; ++i) {
        const bool taken =
            part_ == Part::Digits || part_ == Part::After ? TakeDigitByte(text[i]) : TakeHeaderByte(text[i]);
        if (!taken) return false;
    }
    return true;
}

bool RawProfileDecoder::TakeHeaderByte(uint8_t byte)
{
    if (++headerSize_ > kMaxHeader) return Fail(Fault::BadHeader);
    const bool digit = byte >= '0' && byte <= '9';
    switch (part_) {
    case Part::Start:
        if (byte != '\n') return Fail(Fault::BadHeader);
        layout_.name.clear();
        part_ = Part::Name;
        return true;
    case Part::Name:
        if (byte == '\n') {
            part_ = Part::BeforeLength;
            return true;
        }
        if (layout_.name.size() >= kMaxName) return Fail(Fault::BadHeader);
        layout_.name.push_back(static_cast<char>(byte));
        return true;
    case Part::BeforeLength:
        if (byte == '\n' || byte == '\r') {
            lengthLine_ = 0; // a blank line before the length
            return true;
        }
        if (byte != ' ' && byte != '\t' && !digit) return Fail(Fault::BadHeader);
        ++lengthLine_;
        if (!digit) return true;
        part_ = Part::Length;
        break;
    case Part::Length:
        if (byte == '\n') {
            if (length_ == 0 || length_ > maxBytes_) return Fail(Fault::TooLarge);
            layout_.lengthWidth = lengthLine_;
            bodyCap_ = 4 * length_ + kSlack; // length_ is capped: no overflow
            part_ = Part::Digits;
            return true;
        }
        if (!digit) return Fail(Fault::BadHeader);
        ++lengthLine_;
        break;
    default: return Fail(Fault::BadHeader);
    }
    // A digit of the length.
    if (++lengthDigits_ > kMaxLengthDigits) return Fail(Fault::TooLarge);
    length_ = length_ * 10 + static_cast<size_t>(byte - '0'); // ten digits fit in 64 bits
    if (length_ > maxBytes_) return Fail(Fault::TooLarge);
    return true;
}

bool RawProfileDecoder::TakeDigitByte(uint8_t byte)
{
    if (++bodySize_ > bodyCap_) return Fail(Fault::TooMuchText);
    const int value = HexValue(byte);
    if (value < 0) {
        if (!IsSpace(byte)) return Fail(Fault::BadDigit);
        if (byte == '\n') {
            if (digits_ > 0 && !firstLineDone_) {
                layout_.lineDigits = digits_;
                firstLineDone_ = true;
            }
            if (part_ == Part::After) layout_.finalNewline = true;
        }
        return true;
    }
    if (part_ == Part::After) return Fail(Fault::TooManyDigits);
    if (!caseSeen_ && value >= 10) {
        layout_.upperCase = byte < 'a';
        caseSeen_ = true;
    }
    if (digits_ % 2 == 0) {
        high_ = static_cast<uint8_t>(value);
    } else {
        bytes_.push_back(static_cast<uint8_t>(high_ << 4 | value));
    }
    if (++digits_ == 2 * length_) {
        part_ = Part::After;
        layout_.finalNewline = false;
    }
    return true;
}

bool RawProfileDecoder::Finish()
{
    if (fault_ != Fault::None) return false;
    if (part_ == Part::Digits) return Fail(Fault::TooFewDigits);
    if (part_ != Part::After) return Fail(Fault::BadHeader);
    if (!firstLineDone_ || layout_.lineDigits >= digits_)
        layout_.lineDigits = digits_ <= kUsualLineDigits ? kUsualLineDigits : 0;
    return true;
}

std::string EncodeRawProfile(const uint8_t* data, size_t size, const RawProfileLayout& layout)
{
    static const char kLower[] = "0123456789abcdef";
    static const char kUpper[] = "0123456789ABCDEF";
    const char* hex = layout.upperCase ? kUpper : kLower;
    const std::string length = std::to_string(size);
    std::string out;
    const size_t lines = layout.lineDigits > 0 ? 2 * size / layout.lineDigits + 1 : 1;
    out.reserve(layout.name.size() + layout.lengthWidth + length.size() + 2 * size + lines + 4);
    out += '\n';
    out += layout.name;
    out += '\n';
    if (length.size() < layout.lengthWidth) out.append(layout.lengthWidth - length.size(), ' ');
    out += length;
    out += '\n';
    size_t onLine = 0;
    for (size_t i = 0; i < size; ++i) {
        for (const int nibble : {data[i] >> 4, data[i] & 0x0F}) {
            if (layout.lineDigits > 0 && onLine == layout.lineDigits) {
                out += '\n';
                onLine = 0;
            }
            out += hex[nibble];
            ++onLine;
        }
    }
    if (layout.finalNewline) out += '\n';
    return out;
}
