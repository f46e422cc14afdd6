#pragma once
// The JSON text forms of the document: a parser and a printer over cJSON trees. They are our
// own because the forms the page relies on (number and array printing, lenient escapes) differ
// from what the library's release prints and accepts.
#include <string>
#include <string_view>

struct cJSON;

// Parses the first complete value of the UTF-8 text; what follows it is ignored.
// Returns a new tree owned by the caller, or null when the text is not JSON or nests too deep.
cJSON* ParseJsonText(std::string_view text);

// Prints a tree in the compact form: no layout white space, ", " between array elements.
std::string PrintJsonText(const cJSON* item);
