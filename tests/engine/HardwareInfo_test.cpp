#include "engine/HardwareInfo.h"
#include "core/TextConvert.h"
#include "engine/CommandEngine.h"

#include <gtest/gtest.h>

#include <cwctype>
#include <memory>
#include <string>

namespace {

std::wstring GetWmi(CommandEngine& handler, const std::wstring& members)
{
    std::wstring answer;
    EXPECT_TRUE(handler.RunRequest(L"{\"cmd\":\"getwmi\"," + members + L"}", answer));
    return answer;
}

// Values joined by ";", none empty and none with blanks around it.
void ExpectWellFormedList(const std::wstring& text)
{
    if (text.empty()) return;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(L';', start);
        const std::wstring value = text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
        EXPECT_FALSE(value.empty()) << Utf16ToUtf8(text);
        if (!value.empty()) {
            EXPECT_FALSE(std::iswspace(value.front())) << Utf16ToUtf8(text);
            EXPECT_FALSE(std::iswspace(value.back())) << Utf16ToUtf8(text);
        }
        if (end == std::wstring::npos) break;
        start = end + 1;
    }
}

class WmiQuery : public ::testing::Test {
protected:
    std::unique_ptr<CommandEngine> handler_ = std::make_unique<CommandEngine>();
};

TEST_F(WmiQuery, GathersAStringPropertyOfEveryDiskDrive)
{
    const std::wstring models = GetWmi(*handler_, LR"("namespace":"root\\cimv2","classname":"Win32_DiskDrive",)"
                                                  LR"("propname":"Model")");
    EXPECT_FALSE(models.empty());
    ExpectWellFormedList(models);
    // Class and property names are WMI's to match, in any letter case.
    EXPECT_EQ(GetWmi(*handler_, LR"("namespace":"root\\cimv2","classname":"win32_diskdrive","propname":"MODEL")"),
              models);
}

TEST_F(WmiQuery, JoinsTheValuesOfSeveralObjectsWithoutEmptyFields)
{
    ExpectWellFormedList(
        GetWmi(*handler_, LR"("namespace":"root\\cimv2","classname":"Win32_NetworkAdapter","propname":"ProductName")"));
    ExpectWellFormedList(
        GetWmi(*handler_, LR"("namespace":"root\\cimv2","classname":"Win32_LogicalDisk","propname":"VolumeName")"));
}

TEST_F(WmiQuery, AnswersEmptyTextForWhatGivesNoStringValue)
{
    const wchar_t* const cases[] = {
        LR"("namespace":"root\\cimv2","classname":"Win32_NoSuchClass","propname":"Model")",
        LR"("namespace":"root\\cimv2","classname":"Win32_DiskDrive","propname":"Size")",
        LR"("namespace":"root\\cimv2","classname":"Win32_DiskDrive","propname":"NoSuchProperty")",
        LR"("namespace":"root\\cimv2","classname":"Win32_DiskDrive","propname":"")",
        LR"("namespace":"root\\cimv2","classname":"","propname":"Model")",
        LR"("namespace":"root\\nosuchspace","classname":"Win32_DiskDrive","propname":"Model")",
        LR"("classname":"Win32_DiskDrive")",
    };
    for (const wchar_t* members : cases) {
        EXPECT_EQ(GetWmi(*handler_, members), L"") << Utf16ToUtf8(members);
    }
}

TEST(HardwareInfo, TakesNullStringsWithoutFailing)
{
    HardwareInfo info;
    EXPECT_EQ(info.QueryWmi(nullptr, nullptr, nullptr), L"");
}

} // namespace
