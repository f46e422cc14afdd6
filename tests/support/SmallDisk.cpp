#include "tests/support/SmallDisk.h"

#include "platform/UniqueHandle.h"
#include "tests/support/Fixture.h"

SmallDisk::SmallDisk(const TempDir& dir, int megabytes) : path_(dir.MakeFolder(L"disk"))
{
    const ReaderResult mount =
        RunReader(L"mount", {L"-t", L"tmpfs", L"-o", L"size=" + std::to_wstring(megabytes) + L"m", L"tmpfs", path_});
    mounted_ = mount.found && mount.exitCode == 0;
    if (!mounted_) why_ = "cannot mount a small disk here: " + (mount.found ? mount.err : mount.missing);
}

SmallDisk::~SmallDisk()
{
    if (mounted_) RunReader(L"umount", {path_});
}

bool SmallDisk::FillLeaving(uint64_t left) const
{
    const UniqueHandle filler(
        CreateFileW((path_ + L"\\filler").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    if (!filler.IsValid()) return false;
    const std::string block(4096, 'f');
    DWORD wrote = 0;
    while (WriteFile(filler.Get(), block.data(), static_cast<DWORD>(block.size()), &wrote, nullptr) &&
           wrote == block.size()) {
    }
    LARGE_INTEGER back{};
    back.QuadPart = -static_cast<LONGLONG>(left);
    return SetFilePointerEx(filler.Get(), back, nullptr, FILE_CURRENT) && SetEndOfFile(filler.Get());
}
