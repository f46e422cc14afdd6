// Prints how long the command engine takes for the jobs a user does in bulk, per entry, at two
// list sizes: a folder walk, the file list printed and parsed as JSON, a pass over the parsed
// list, and reading the times and attributes of every file with "getprops". Per-entry figures
// that agree across the sizes show that each job grows linearly with the list.
// Run under Wine: wine build/bin/engine_bench.exe [small [large]]   (default 5000 100000)
#include "BenchSupport.h"
#include "core/JsonWrapper.h"
#include "engine/CommandEngine.h"
#include "engine/FileCollection.h"
#include "platform/ProcessStartup.h"
#include "platform/UniqueHandle.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

using Clock = BenchClock;

std::wstring MakeTree(int files)
{
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    const std::wstring root =
        std::wstring(base) + L"varenko-bench-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(files);
    CreateDirectoryW(root.c_str(), nullptr);
    for (int i = 0; i < files; ++i) {
        const std::wstring folder = root + L"\\folder " + std::to_wstring(i / 500);
        CreateDirectoryW(folder.c_str(), nullptr);
        const std::wstring path = folder + L"\\photo " + std::to_wstring(i) + L".jpg";
        UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    }
    return root;
}

void RemoveTree(const JsonWrapper& list, const std::wstring& root)
{
    // Files first, then folders deepest first: the walk lists a folder before its entries.
    std::vector<std::wstring> paths;
    for (JsonView item : list.View()) {
        std::wstring path;
        if (item.GetText(path)) paths.push_back(path);
    }
    for (auto it = paths.rbegin(); it != paths.rend(); ++it) {
        if (!DeleteFileW(it->c_str())) RemoveDirectoryW(it->c_str());
    }
    RemoveDirectoryW(root.c_str());
}

void Report(const char* job, double seconds, int entries)
{
    std::printf("  %-28s %9.3f s  %8.2f us per entry\n", job, seconds, entries ? 1e6 * seconds / entries : 0.0);
}

void Run(int files)
{
    std::printf("%d files\n", files);
    const std::wstring root = MakeTree(files);

    JsonWrapper list;
    list.MakeArray();
    auto start = Clock::now();
    WalkFolder(root, list, true, true, false);
    const int entries = list.GetCount();
    Report("walk folder", SecondsSince(start), entries);

    start = Clock::now();
    const std::wstring printed = list.Print();
    Report("print list", SecondsSince(start), entries);

    start = Clock::now();
    JsonWrapper parsed;
    parsed.Parse(printed);
    Report("parse list", SecondsSince(start), entries);

    start = Clock::now();
    size_t characters = 0;
    for (JsonView item : parsed.View()) {
        std::wstring path;
        if (item.GetText(path)) characters += path.size();
    }
    Report("read every list entry", SecondsSince(start), entries);

    auto engine = std::make_unique<CommandEngine>();
    start = Clock::now();
    int read = 0;
    for (JsonView item : parsed.View()) {
        std::wstring path, answer;
        item.GetText(path);
        JsonWrapper request;
        request.MakeObject();
        request.AddString(L"cmd", L"getprops");
        request.AddString(L"name", path);
        request.AddBool(L"allprops", false);
        engine->RunRequest(request.Print(), answer);
        ++read;
    }
    Report("getprops", SecondsSince(start), read);
    std::printf("  (%d entries, %zu characters of paths)\n", entries, characters);

    RemoveTree(list, root);
}

} // namespace

int main(int argc, char** argv)
{
    const ProcessStartup startup;
    const int small = argc > 1 ? std::atoi(argv[1]) : 5000;
    const int large = argc > 2 ? std::atoi(argv[2]) : 100000;
    Run(small);
    Run(large);
    return 0;
}
