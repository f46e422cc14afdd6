#include "core/AttributeLetters.h"

#include <gtest/gtest.h>

#include <ios>
#include <string>

TEST(AttributesToLetters, ShowsTheLettersOfTheSetBitsInTableOrder)
{
    const struct {
        uint32_t attributes;
        const wchar_t* letters;
    } cases[] = {
        {0, L""},
        {0x21, L"RA"},
        {0x80, L"N"},
        {0x10, L"D"},
        {0x2027, L"RHSAI"},
        {0x1 | 0x10 | 0x2 | 0x4 | 0x20 | 0x1000 | 0x100 | 0x800 | 0x4000 | 0x2000 | 0x80, L"RDHSAOTCEIN"},
        {0xFFFFFFFF, L"RDHSAOTCEIN"},
        {0x8 | 0x40 | 0x200 | 0x400 | 0x8000 | 0x10000, L""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AttributesToLetters(c.attributes), c.letters) << std::hex << c.attributes;
}

TEST(LettersToAttributes, SetsTheBitOfEachUpperCaseLetterAnywhereInTheText)
{
    const struct {
        const wchar_t* letters;
        uint32_t attributes;
    } cases[] = {
        {L"", 0},
        {L"AR", 0x21},
        {L"RA", 0x21},
        {L"xRAx", 0x21},
        {L"RRR", 0x1},
        {L"ra", 0},
        {L"rdhsaotcein", 0},
        {L"D", 0x10},
        {L"NICETOSHARD", 0x1 | 0x10 | 0x2 | 0x4 | 0x20 | 0x1000 | 0x100 | 0x800 | 0x4000 | 0x2000 | 0x80},
        {L"BFGJKLMPQUVWXYZ", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LettersToAttributes(c.letters), c.attributes) << c.letters;
}

TEST(LettersToAttributes, GivesBackTheBitOfEachLetterThatAttributesToLettersShows)
{
    for (uint32_t bits : {0x1ul, 0x2ul, 0x4ul, 0x10ul, 0x20ul, 0x80ul, 0x100ul, 0x800ul, 0x1000ul, 0x2000ul, 0x4000ul}) {
        EXPECT_EQ(AttributesToLetters(bits).size(), 1u) << std::hex << bits;
        EXPECT_EQ(LettersToAttributes(AttributesToLetters(bits)), bits) << std::hex << bits;
    }
}
