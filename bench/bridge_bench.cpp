// Prints how long the command engine takes for the jobs a user does in bulk: the file list of a
// large folder printed and parsed as JSON, a folder walk, and reading the times and attributes of
// many files. Run under Wine: wine build/bin/bridge_bench.exe [files]
#include "bridge/FileCollection.h"
#include "bridge/JsonWrapper.h"
#include "bridge/UIHandler.h"

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::wstring MakeTree(int files)
{
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    const std::wstring root = std::wstring(base) + L"varenko-bench-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(root.c_str(), nullptr);
    for (int i = 0; i < files; ++i) {
        const std::wstring folder = root + L"\\folder " + std::to_wstring(i / 500);
        CreateDirectoryW(folder.c_str(), nullptr);
        const std::wstring path = folder + L"\\photo " + std::to_wstring(i) + L".jpg";
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        CloseHandle(file);
    }
    return root;
}

void RemoveTree(const JsonWrapper& list, const std::wstring& root)
{
    for (int i = list.GetCount() - 1; i >= 0; --i) {
        std::wstring path;
        list.GetItem(i).GetText(path);
        if (!DeleteFileW(path.c_str())) RemoveDirectoryW(path.c_str());
    }
    RemoveDirectoryW(root.c_str());
}

std::wstring Escaped(const std::wstring& path)
{
    std::wstring out;
    for (wchar_t c : path) {
        if (c == L'\\') out += L'\\';
        out += c;
    }
    return out;
}

} // namespace

int main(int argc, char** argv)
{
    const int files = argc > 1 ? std::atoi(argv[1]) : 5000;
    std::printf("files: %d\n", files);

    auto start = Clock::now();
    const std::wstring root = MakeTree(files);
    std::printf("make tree: %.3f s\n", Seconds(start));

    JsonWrapper list;
    list.MakeArray();
    start = Clock::now();
    WalkFolder(root, list, true, true, false);
    std::printf("walk folder: %.3f s for %d entries\n", Seconds(start), list.GetCount());

    start = Clock::now();
    const std::wstring printed = list.Print();
    std::printf("print list: %.3f s, %zu characters\n", Seconds(start), printed.size());
    start = Clock::now();
    JsonWrapper parsed;
    parsed.Parse(printed);
    std::printf("parse list: %.3f s\n", Seconds(start));

    auto handler = std::make_unique<UIHandler>();
    start = Clock::now();
    int read = 0;
    for (int i = 0; i < list.GetCount(); ++i) {
        std::wstring path, answer;
        list.GetItem(i).GetText(path);
        handler->RunRequest(L"{\"cmd\":\"getprops\",\"name\":\"" + Escaped(path) + L"\",\"allprops\":false}", answer);
        ++read;
    }
    const double seconds = Seconds(start);
    std::printf("getprops: %.3f s for %d entries, %.3f ms each\n", seconds, read, read ? 1000 * seconds / read : 0);

    RemoveTree(list, root);
    return 0;
}
