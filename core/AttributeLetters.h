#pragma once
// A file's attribute bits as the letters R D H S A O T C E I N, always in that order. The bit
// values are the file system's own, so the table needs no platform header.
#include <cstdint>
#include <string>

std::wstring AttributesToLetters(uint32_t attributes);
// Each letter found anywhere in the text sets its bit; the search is case-sensitive, and other
// characters and repeated letters make no difference.
uint32_t LettersToAttributes(const std::wstring& letters);
