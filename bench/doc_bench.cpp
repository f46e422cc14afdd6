// Reads the document properties of every file in a folder through the document handler, as
// "getprops" does but without the dispatcher, and prints files per second: the best of a few
// rounds, and the first. The property list is the page's, handed over as a JSON file.
// Run under Wine: wine build/bin/doc_bench.exe FOLDER LIST.json [ROUNDS]   (default 5 rounds);
// bench/doc-bench.sh makes the folder and the list and compares with olefile and exiftool.
#include "core/JsonWrapper.h"
#include "core/TextConvert.h"
#include "platform/ProcessStartup.h"
#include "props/doc/SummaryPropsEditor.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cwchar>
#include <fstream>
#include <sstream>
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

std::wstring TextOf(const std::wstring& path)
{
    std::ifstream in(path.c_str(), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return Utf8ToUtf16(bytes.str());
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3) {
        std::fputs("usage: doc_bench.exe FOLDER LIST.json [ROUNDS]\n", stderr);
        return 2;
    }
    const ProcessStartup startup;
    const std::vector<std::wstring> files = FilesIn(argv[1]);
    const int rounds = argc > 3 ? std::max(1, static_cast<int>(std::wcstol(argv[3], nullptr, 10))) : 5;
    if (files.empty()) {
        std::fputs("doc_bench: no files in the folder\n", stderr);
        return 2;
    }
    SummaryPropsEditor handler;
    if (!handler.SetPropList(TextOf(argv[2]))) {
        std::fputs("doc_bench: the list is not JSON\n", stderr);
        return 2;
    }
    double first = 0, best = 1e300;
    long long values = 0;
    for (int round = 0; round < rounds; ++round) {
        values = 0;
        const Clock::time_point start = Clock::now();
        for (const std::wstring& file : files) {
            JsonWrapper doc;
            handler.GetProps(file, doc);
            values += doc.GetCount();
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        if (round == 0) first = seconds;
        best = std::min(best, seconds);
    }
    std::printf("document handler (SummaryPropsEditor::GetProps): %zu files, %lld values; first round %.0f files/s, "
                "best of %d rounds %.0f files/s\n",
                files.size(), values, files.size() / first, rounds, files.size() / best);
    std::printf("files/s %.0f\n", files.size() / best);
    return values > 0 ? 0 : 1;
}
