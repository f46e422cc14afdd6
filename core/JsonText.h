#pragma once
// The JSON text forms of the document: a parser and a printer over cJSON trees. They are our
// own because the forms the page relies on (number and array printing, lenient escapes) differ
// from what the library's release prints and accepts.
#include <string>
#include <string_view>

struct cJSON;

// Parses the first complete value of the UTF-8 text; what follows it is ignored.
// Returns a new tree owned by the caller, or null when the text is not JSON, nests too deep or
// holds a number text longer than 400 characters. U+0000 in a string value is kept as the bytes
// C0 80, so a C string carries the whole text (read as UTF-16 they give replacement characters,
// never an early end), and prints as \u0000 again; in a member name it becomes U+FFFD.
cJSON* ParseJsonText(std::string_view text);

// Prints a tree in the compact form: no layout white space, ", " between array elements.
std::string PrintJsonText(const cJSON* item);
