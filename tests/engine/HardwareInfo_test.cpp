#include "engine/HardwareInfo.h"
#include "core/TextConvert.h"
#include "engine/CommandEngine.h"
#include "tests/support/Requests.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cwctype>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace {

// A "getwmi" request; a null part is left out of it.
std::wstring GetWmi(CommandEngine& engine, const wchar_t* space, const wchar_t* className, const wchar_t* property)
{
    JsonObject request = Request(L"getwmi");
    if (space) request.Text(L"namespace", space);
    if (className) request.Text(L"classname", className);
    if (property) request.Text(L"propname", property);
    return AnswerTo(engine, request);
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
    const std::wstring models = GetWmi(*handler_, L"root\\cimv2", L"Win32_DiskDrive", L"Model");
    EXPECT_FALSE(models.empty());
    ExpectWellFormedList(models);
    // Class and property names are WMI's to match, in any letter case.
    EXPECT_EQ(GetWmi(*handler_, L"root\\cimv2", L"win32_diskdrive", L"MODEL"), models);
}

TEST_F(WmiQuery, JoinsTheValuesOfSeveralObjectsWithoutEmptyFields)
{
    ExpectWellFormedList(GetWmi(*handler_, L"root\\cimv2", L"Win32_NetworkAdapter", L"ProductName"));
    ExpectWellFormedList(GetWmi(*handler_, L"root\\cimv2", L"Win32_LogicalDisk", L"VolumeName"));
}

TEST_F(WmiQuery, AnswersEmptyTextForWhatGivesNoStringValue)
{
    const struct {
        const wchar_t* space;
        const wchar_t* className;
        const wchar_t* property;
    } cases[] = {
        {L"root\\cimv2", L"Win32_NoSuchClass", L"Model"},
        {L"root\\cimv2", L"Win32_DiskDrive", L"Size"},
        {L"root\\cimv2", L"Win32_DiskDrive", L"NoSuchProperty"},
        {L"root\\cimv2", L"Win32_DiskDrive", L""},
        {L"root\\cimv2", L"", L"Model"},
        {L"root\\nosuchspace", L"Win32_DiskDrive", L"Model"},
        {nullptr, L"Win32_DiskDrive", nullptr},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(GetWmi(*handler_, c.space, c.className, c.property), L"")
            << Utf16ToUtf8(c.space ? c.space : L"-") << " " << Utf16ToUtf8(c.className) << " "
            << Utf16ToUtf8(c.property ? c.property : L"-");
    }
}

TEST_F(WmiQuery, TakesOnlyIdentifiersAndLocalNamespaces)
{
    // Each of these reads something on this machine when passed on as it is.
    const struct {
        const wchar_t* space;
        const wchar_t* className;
        const wchar_t* property;
    } refused[] = {
        {L"root\\cimv2", L"Win32_Process WHERE Name LIKE '%'", L"Name"},
        {L"root\\cimv2", L"Win32_Process where Handle=0 or Handle<>0", L"Name"},
        {L"root\\cimv2", L"Win32_DiskDrive ", L"Model"},
        {L"root\\cimv2", L"Win32_DiskDrive", L"Model "},
        {L"root\\cimv2", L"Win32_DiskDrive", L"Model,Name"},
        {L"\\\\.\\root\\cimv2", L"Win32_DiskDrive", L"Model"},
        {L"\\\\localhost\\root\\cimv2", L"Win32_DiskDrive", L"Model"},
        {L"//./root/cimv2", L"Win32_DiskDrive", L"Model"},
        {L"\\root\\cimv2", L"Win32_DiskDrive", L"Model"},
        {L"root\\cimv2\\", L"Win32_DiskDrive", L"Model"},
        {L"root\\\\cimv2", L"Win32_DiskDrive", L"Model"},
    };
    for (const auto& c : refused) {
        EXPECT_EQ(GetWmi(*handler_, c.space, c.className, c.property), L"")
            << Utf16ToUtf8(c.space) << " " << Utf16ToUtf8(c.className) << " " << Utf16ToUtf8(c.property);
    }
    const std::wstring models = GetWmi(*handler_, L"root\\cimv2", L"Win32_DiskDrive", L"Model");
    EXPECT_FALSE(models.empty());
    EXPECT_EQ(GetWmi(*handler_, L"ROOT/CIMV2", L"Win32_DiskDrive", L"Model"), models);

    const std::wstring accepted[] = {L"", L"root", L"root\\cimv2", L"Root/CimV2", L"root\\Microsoft\\Windows_1"};
    for (const std::wstring& space : accepted)
        EXPECT_TRUE(IsLocalWmiNamespace(space)) << Utf16ToUtf8(space);
}

TEST_F(WmiQuery, ReturnsWhatItGatheredWhenAStepTakesTooLong)
{
    // Every file on every drive: the provider takes minutes over it, or more.
    struct Outcome {
        std::mutex mutex;
        std::condition_variable done;
        bool returned = false;
        std::wstring text;
    };
    auto outcome = std::make_shared<Outcome>();
    std::shared_ptr<CommandEngine> engine = std::move(handler_);
    std::thread([outcome, engine] {
        // The caller's thread is a window's, in a single-threaded apartment.
        const HRESULT apartment = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        const std::wstring text = GetWmi(*engine, L"root\\cimv2", L"CIM_DataFile", L"Name");
        if (SUCCEEDED(apartment)) CoUninitialize();
        const std::lock_guard<std::mutex> lock(outcome->mutex);
        outcome->text = text;
        outcome->returned = true;
        outcome->done.notify_all();
    }).detach();

    std::unique_lock<std::mutex> lock(outcome->mutex);
    // Three quick steps and one that stalls, each within the limit, with room for a slow machine.
    const auto wait = 6 * HardwareInfo::kStepLimit;
    ASSERT_TRUE(outcome->done.wait_for(lock, wait, [&] { return outcome->returned; }))
        << "no answer after " << std::chrono::duration_cast<std::chrono::seconds>(wait).count() << " s";
    ExpectWellFormedList(outcome->text);
    lock.unlock();

    // The query left behind does not hold up the next one.
    EXPECT_FALSE(GetWmi(*engine, L"root\\cimv2", L"Win32_DiskDrive", L"Model").empty());
}

TEST(HardwareInfo, TakesNullStringsWithoutFailing)
{
    HardwareInfo info;
    EXPECT_EQ(info.QueryWmi(nullptr, nullptr, nullptr), L"");
}

} // namespace
