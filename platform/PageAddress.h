#pragma once
// Where the page lives: a fixed http address on a host under the reserved .localhost name, served
// from the program's own resources, so nothing ever leaves the machine.
#include <optional>
#include <string>
#include <string_view>

constexpr const wchar_t* kPageHost = L"varenko.localhost";
constexpr const wchar_t* kPageUrl = L"http://varenko.localhost/varenko/UI";

// The name of the page file an address asks for ("index.html" for the page itself), or nothing
// when the address is not one of the page's.
std::optional<std::wstring> PageFileForUrl(std::wstring_view url);

// The resource name a page file is embedded under: "PAGE_" and the file name in upper case with
// every character other than a letter or digit as '_' ("app.js" is PAGE_APP_JS). Resource
// scripts join adjacent quoted names, so the names are plain identifiers.
std::wstring PageResourceName(std::wstring_view fileName);

// The MIME type a page file is served with.
const wchar_t* MimeTypeFor(std::wstring_view fileName);
