// Reads the tags of every file in a folder through the media handler, as "getprops" does but
// without the dispatcher and its pause, and prints files per second: for the first round, and the
// best of several rounds (20 unless given), so that the figure is not that of a round which Wine's
// services, still starting, shared the processor with.
// Run under Wine: wine build/bin/media_bench.exe FOLDER [ROUNDS]; bench/media-bench.sh makes the
// folder and sets the figure beside exiftool and mutagen on the same files.
#include "core/JsonWrapper.h"
#include "platform/ProcessStartup.h"
#include "props/media/MediaProps.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

std::vector<std::wstring> FilesIn(const std::wstring& folder)
{
    std::vector<std::wstring> files;
    WIN32_FIND_DATAW entry;
    const HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return files;
    do {
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) files.push_back(folder + L"\\" + entry.cFileName);
    } while (FindNextFileW(find, &entry));
    FindClose(find);
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        std::fputs("usage: media_bench.exe FOLDER [ROUNDS]\n", stderr);
        return 2;
    }
    const ProcessStartup startup;
    const std::vector<std::wstring> files = FilesIn(argv[1]);
    const int rounds = argc > 2 ? std::max(1, static_cast<int>(std::wcstol(argv[2], nullptr, 10))) : 20;
    if (files.empty()) {
        std::fputs("media_bench: no files in the folder\n", stderr);
        return 2;
    }
    MediaProps handler;
    double first = 0, best = 1e300;
    long long entries = 0;
    for (int round = 0; round < rounds; ++round) {
        entries = 0;
        const Clock::time_point start = Clock::now();
        for (const std::wstring& file : files) {
            JsonWrapper media;
            handler.GetProps(file, media);
            entries += media.GetCount();
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        if (round == 0) first = seconds;
        best = std::min(best, seconds);
    }
    std::printf("media handler (MediaProps::GetProps): %zu files, %lld tag values; first round %.0f files/s, "
                "best of %d rounds %.0f files/s\n",
                files.size(), entries, files.size() / first, rounds, files.size() / best);
    std::printf("files/s %.0f\n", files.size() / best);
    return entries > 0 ? 0 : 1;
}
