#include "engine/CommandEngine.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

TEST(PropertyHandlers, FindTheHandlerOfEachCategoryWordExactly)
{
    auto engine = std::make_unique<CommandEngine>();
    PropertyHandlers& handlers = engine->Handlers();
    const wchar_t* order[] = {L"doc", L"exif", L"media", L"avi"};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_STREQ(handlers.All()[i].category, order[i]);
        EXPECT_EQ(handlers.Find(order[i]), handlers.All()[i].handler);
    }
    for (const wchar_t* word : {L"DOC", L"Exif", L"", L"datetime", L"attributes", L"avi "})
        EXPECT_EQ(handlers.Find(word), nullptr) << word;
}
