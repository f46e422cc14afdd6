#include "JsonText.h"

#include "TextConvert.h"

#include <cjson/cJSON.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

// Deeper requests are refused rather than risking the stack.
constexpr int kMaxDepth = 1000;

// Longer number texts are refused: the C runtime's conversion takes time that grows with the
// square of the length (a megabyte of digits took half a minute), and no double needs more.
constexpr size_t kMaxNumberLength = 400;

// U+0000 inside a string value is kept as these two bytes, the form a C string can carry (cJSON
// keeps strings as C strings), so the text does not end there; the printer writes \u0000 again.
constexpr char kNulBytes[] = "\xC0\x80";
// In member names it becomes U+FFFD: names are looked up by their text, so they need a character
// that reads back as itself.
constexpr char kReplacementBytes[] = "\xEF\xBF\xBD";

struct TreeDeleter {
    void operator()(cJSON* item) const { cJSON_Delete(item); }
};
using Tree = std::unique_ptr<cJSON, TreeDeleter>;

class Parser {
public:
    explicit Parser(std::string_view text) : text_(text) {}

    cJSON* ParseDocument()
    {
        SkipSpace();
        return ParseValue(0).release();
    }

private:
    bool AtEnd() const { return pos_ >= text_.size(); }
    char Peek() const { return AtEnd() ? '\0' : text_[pos_]; }

    void SkipSpace()
    {
        while (!AtEnd() && static_cast<unsigned char>(text_[pos_]) <= 0x20)
            ++pos_;
    }

    bool Consume(std::string_view word)
    {
        if (text_.substr(pos_, word.size()) != word) return false;
        pos_ += word.size();
        return true;
    }

    Tree ParseValue(int depth)
    {
        if (depth > kMaxDepth) return nullptr;
        switch (Peek()) {
        case 'n': return Consume("null") ? Tree(cJSON_CreateNull()) : nullptr;
        case 'f': return Consume("false") ? Tree(cJSON_CreateFalse()) : nullptr;
        case 't': return Consume("true") ? Tree(cJSON_CreateTrue()) : nullptr;
        case '"': {
            std::string value;
            if (!ParseString(value, kNulBytes)) return nullptr;
            return Tree(cJSON_CreateString(value.c_str()));
        }
        case '[': return ParseArray(depth);
        case '{': return ParseObject(depth);
        default: return ParseNumber();
        }
    }

    bool SkipDigits()
    {
        const size_t start = pos_;
        while (!AtEnd() && text_[pos_] >= '0' && text_[pos_] <= '9')
            ++pos_;
        return pos_ > start;
    }

    Tree ParseNumber()
    {
        const size_t start = pos_;
        if (Peek() == '-') ++pos_;
        if (!SkipDigits()) return nullptr;
        if (Peek() == '.') {
            ++pos_;
            if (!SkipDigits()) return nullptr;
        }
        if (Peek() == 'e' || Peek() == 'E') {
            ++pos_;
            if (Peek() == '+' || Peek() == '-') ++pos_;
            if (!SkipDigits()) return nullptr;
        }
        if (pos_ - start > kMaxNumberLength) return nullptr;
        // Only digits, sign, point and exponent remain, so the "C" locale reading is exact.
        const std::string digits(text_.substr(start, pos_ - start));
        return Tree(cJSON_CreateNumber(std::strtod(digits.c_str(), nullptr)));
    }

    bool ParseHex4(unsigned& value)
    {
        if (text_.size() - pos_ < 4) return false;
        value = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = text_[pos_++];
            value <<= 4;
            if (c >= '0' && c <= '9')
                value |= c - '0';
            else if (c >= 'a' && c <= 'f')
                value |= c - 'a' + 10;
            else if (c >= 'A' && c <= 'F')
                value |= c - 'A' + 10;
            else
                return false;
        }
        return true;
    }

    // \uXXXX, with a following escaped low surrogate joining a high one. A surrogate that
    // cannot be paired becomes U+FFFD, as an unpaired one in the request text does.
    bool ParseUnicodeEscape(std::string& out, const char* nul)
    {
        unsigned unit;
        if (!ParseHex4(unit)) return false;
        if (unit >= 0xD800 && unit <= 0xDBFF && text_.substr(pos_, 2) == "\\u") {
            const size_t save = pos_;
            pos_ += 2;
            unsigned low;
            if (ParseHex4(low) && low >= 0xDC00 && low <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                return true;
            }
            pos_ = save;
        }
        if (unit == 0)
            out += nul;
        else
            AppendUtf8(out, (unit >= 0xD800 && unit <= 0xDFFF) ? 0xFFFD : unit);
        return true;
    }

    // `nul` is what U+0000, raw or escaped, becomes.
    bool ParseString(std::string& out, const char* nul)
    {
        ++pos_; // opening quote
        while (!AtEnd()) {
            const char c = text_[pos_++];
            if (c == '"') return true;
            if (c == '\0') {
                out += nul;
                continue;
            }
            if (c != '\\') {
                out += c;
                continue;
            }
            if (AtEnd()) return false;
            const char escaped = text_[pos_++];
            switch (escaped) {
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'u':
                if (!ParseUnicodeEscape(out, nul)) return false;
                break;
            case '\0': out += nul; break;
            default: out += escaped; break; // any other escaped character stands for itself
            }
        }
        return false;
    }

    Tree ParseArray(int depth)
    {
        ++pos_;
        Tree array(cJSON_CreateArray());
        if (!array) return nullptr;
        SkipSpace();
        if (Peek() == ']') {
            ++pos_;
            return array;
        }
        for (;;) {
            SkipSpace();
            Tree element = ParseValue(depth + 1);
            if (!element) return nullptr;
            cJSON_AddItemToArray(array.get(), element.release());
            SkipSpace();
            if (Peek() == ',') {
                ++pos_;
                continue;
            }
            if (Peek() != ']') return nullptr;
            ++pos_;
            return array;
        }
    }

    Tree ParseObject(int depth)
    {
        ++pos_;
        Tree object(cJSON_CreateObject());
        if (!object) return nullptr;
        SkipSpace();
        if (Peek() == '}') {
            ++pos_;
            return object;
        }
        for (;;) {
            SkipSpace();
            std::string name;
            if (Peek() != '"' || !ParseString(name, kReplacementBytes)) return nullptr;
            SkipSpace();
            if (Peek() != ':') return nullptr;
            ++pos_;
            SkipSpace();
            Tree value = ParseValue(depth + 1);
            if (!value) return nullptr;
            if (!cJSON_AddItemToObject(object.get(), name.c_str(), value.get())) return nullptr;
            value.release();
            SkipSpace();
            if (Peek() == ',') {
                ++pos_;
                continue;
            }
            if (Peek() != '}') return nullptr;
            ++pos_;
            return object;
        }
    }

    std::string_view text_;
    size_t pos_ = 0;
};

// `value` says whether the text is a string value, where kNulBytes stands for U+0000; a member
// name never holds it for that (the parser gives names U+FFFD instead).
void PrintString(std::string& out, const char* text, bool value)
{
    out += '"';
    for (const char* p = text ? text : ""; *p; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (value && c == 0xC0 && static_cast<unsigned char>(p[1]) == 0x80) {
            out += "\\u0000";
            ++p;
            continue;
        }
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04x", c);
                out += escape;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    out += '"';
}

void PrintNumber(std::string& out, const cJSON* item)
{
    const double d = item->valuedouble;
    char buffer[512];
    if (!std::isfinite(d)) {
        out += "null"; // JSON has no spelling for these
        return;
    }
    if (std::fabs(static_cast<double>(item->valueint) - d) <= DBL_EPSILON && d <= INT_MAX && d >= INT_MIN) {
        std::snprintf(buffer, sizeof buffer, "%d", item->valueint);
    } else if (std::fabs(std::floor(d) - d) <= DBL_EPSILON && std::fabs(d) < 1.0e60) {
        std::snprintf(buffer, sizeof buffer, "%.0f", d);
    } else if (std::fabs(d) < 1.0e-6 || std::fabs(d) > 1.0e9) {
        std::snprintf(buffer, sizeof buffer, "%e", d);
    } else {
        std::snprintf(buffer, sizeof buffer, "%f", d);
    }
    out += buffer;
}

void PrintItem(std::string& out, const cJSON* item)
{
    switch (item->type & 0xFF) {
    case cJSON_False: out += "false"; break;
    case cJSON_True: out += "true"; break;
    case cJSON_NULL: out += "null"; break;
    case cJSON_Number: PrintNumber(out, item); break;
    case cJSON_String: PrintString(out, item->valuestring, true); break;
    case cJSON_Raw: out += item->valuestring ? item->valuestring : ""; break;
    case cJSON_Array:
        out += '[';
        for (const cJSON* child = item->child; child; child = child->next) {
            PrintItem(out, child);
            if (child->next) out += ", ";
        }
        out += ']';
        break;
    case cJSON_Object:
        out += '{';
        for (const cJSON* child = item->child; child; child = child->next) {
            PrintString(out, child->string, false);
            out += ':';
            PrintItem(out, child);
            if (child->next) out += ',';
        }
        out += '}';
        break;
    default: break;
    }
}

} // namespace

cJSON* ParseJsonText(std::string_view text)
{
    return Parser(text).ParseDocument();
}

std::string PrintJsonText(const cJSON* item)
{
    std::string out;
    if (item) PrintItem(out, item);
    return out;
}
