// Reads the INFO list of every .avi file in a folder through the "avi" handler, as "getprops"
// does, and prints how many files it reads per second (the best of some rounds, after one that
// warms the file cache). bench/avi-bench.sh runs it beside exiftool on the same files.
// Run under Wine: wine build/bin/avi_bench.exe FOLDER [ROUNDS]   (default 5 rounds)
#include "props/avi/AVIFileProp.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// The page's catalogue: the standard INFO identifiers.
const wchar_t* const kPropList =
    LR"({"INAM":{"name":"Title"},"IART":{"name":"Artist"},"ISBJ":{"name":"Subject"},"ICMT":{"name":"Comments"},)"
    LR"("IKEY":{"name":"Keywords"},"IGNR":{"name":"Genre"},"ICRD":{"name":"Creation date"},)"
    LR"("ICOP":{"name":"Copyright"},"IPRD":{"name":"Product"},"ISFT":{"name":"Software"},"ISRC":{"name":"Source"},)"
    LR"("IENG":{"name":"Engineer"},"ITCH":{"name":"Technician"},"ILNG":{"name":"Language"}})";

std::vector<std::wstring> AviFiles(const std::wstring& folder)
{
    std::vector<std::wstring> files;
    WIN32_FIND_DATAW entry;
    const HANDLE find = FindFirstFileW((folder + L"\\*.avi").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return files;
    do {
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) files.push_back(folder + L"\\" + entry.cFileName);
    } while (FindNextFileW(find, &entry));
    FindClose(find);
    return files;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: avi_bench FOLDER [ROUNDS]\n");
        return 2;
    }
    const std::vector<std::wstring> files = AviFiles(argv[1]);
    const int rounds = argc > 2 ? std::max(1, _wtoi(argv[2])) : 5;
    if (files.empty()) {
        std::fprintf(stderr, "avi_bench: no .avi files in the folder\n");
        return 1;
    }
    AVIFileProp handler;
    handler.SetPropList(kPropList);

    double best = 0;
    int items = 0;
    for (int round = 0; round <= rounds; ++round) {
        items = 0;
        const auto start = std::chrono::steady_clock::now();
        for (const std::wstring& file : files) {
            JsonWrapper result;
            handler.GetProps(file, result);
            items += result.GetCount();
        }
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (round > 0) best = std::max(best, files.size() / seconds);
    }
    std::printf("avi handler: %zu files, %d INFO items read in each of %d rounds\n", files.size(), items, rounds);
    std::printf("files/s %.0f\n", best);
    return 0;
}
