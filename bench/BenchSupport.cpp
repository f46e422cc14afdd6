#include "BenchSupport.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>

double SecondsSince(BenchClock::time_point start)
{
    return std::chrono::duration<double>(BenchClock::now() - start).count();
}

std::vector<std::wstring> FilesIn(const std::wstring& folder, const wchar_t* pattern)
{
    std::vector<std::wstring> files;
    WIN32_FIND_DATAW entry;
    const HANDLE find = FindFirstFileW((folder + L"\\" + pattern).c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return files;
    do {
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) files.push_back(folder + L"\\" + entry.cFileName);
    } while (FindNextFileW(find, &entry));
    FindClose(find);
    std::sort(files.begin(), files.end());
    return files;
}

int RoundsArg(int argc, wchar_t** argv, int index, int fallback)
{
    return argc > index ? std::max(1, static_cast<int>(std::wcstol(argv[index], nullptr, 10))) : fallback;
}

void PrintFilesPerSecond(const char* prefix, std::size_t files, double seconds)
{
    std::printf("%sfiles/s %.0f\n", prefix, static_cast<double>(files) / seconds);
}

void PrintFirstAndBest(const char* handler, std::size_t files, long long values, const char* what, int rounds,
                       const RoundTimes& times)
{
    const double count = static_cast<double>(files);
    std::printf("%s: %zu files, %lld %s; first round %.0f files/s, best of %d rounds %.0f files/s\n", handler, files,
                values, what, count / times.first, rounds, count / times.best);
    PrintFilesPerSecond("", files, times.best);
}
