// Reads and writes the EXIF items of every .jpg file in a folder through the "exif" handler, as
// "getprops" and "setprops" do (without the dispatcher's pause), and prints how many files it
// reads and writes per second: the best of some rounds, after one that warms the file cache. Each
// write changes the Artist item, so every round rewrites every file. bench/exif-bench.sh runs it
// beside exiftool and a decode-and-re-encode of the same files.
// Run under Wine: wine build/bin/exif_bench.exe FOLDER [ROUNDS]   (default 5 rounds)
#include "props/exif/ExifEditor.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// The items a camera's photo usually has, as the page's catalogue names them.
const wchar_t* const kPropList =
    LR"({"0x010E":{"name":"Image description","type":"ASCII"},"0x010F":{"name":"Camera maker","type":"ASCII"},)"
    LR"("0x0110":{"name":"Camera model","type":"ASCII"},"0x0112":{"name":"Orientation","type":"Short"},)"
    LR"("0x011A":{"name":"Horizontal resolution","type":"Rational"},"0x011B":{"name":"Vertical resolution","type":"Rational"},)"
    LR"("0x0128":{"name":"Resolution unit","type":"Short"},"0x0131":{"name":"Software","type":"ASCII"},)"
    LR"("0x0132":{"name":"Date and time","type":"ASCII"},"0x013B":{"name":"Artist","type":"ASCII"},)"
    LR"("0x8298":{"name":"Copyright","type":"ASCII"},"0x8769":{"name":"EXIF directory offset","type":"Long","readonly":true},)"
    LR"("0x8825":{"name":"GPS directory offset","type":"Long","readonly":true},)"
    LR"("0x829A":{"name":"Exposure time","type":"Rational"},"0x829D":{"name":"F-number","type":"Rational"},)"
    LR"("0x8827":{"name":"ISO speed","type":"Short"},"0x9000":{"name":"EXIF version","type":"Undefined"},)"
    LR"("0x9003":{"name":"Date taken","type":"ASCII"},"0x9004":{"name":"Date digitized","type":"ASCII"},)"
    LR"("0x9209":{"name":"Flash","type":"Short"},"0x920A":{"name":"Focal length","type":"Rational"},)"
    LR"("0x9286":{"name":"User comment","type":"Undefined"},"0xA001":{"name":"Color space","type":"Short"},)"
    LR"("0xA002":{"name":"Pixel width","type":"Long","readonly":true},"0xA003":{"name":"Pixel height","type":"Long","readonly":true},)"
    LR"("0xA434":{"name":"Lens model","type":"ASCII"},"0x0000":{"name":"GPS version","type":"Byte"},)"
    LR"("0x0001":{"name":"GPS latitude reference","type":"ASCII"},"0x0002":{"name":"GPS latitude","type":"Rational"},)"
    LR"("0x0003":{"name":"GPS longitude reference","type":"ASCII"},"0x0004":{"name":"GPS longitude","type":"Rational"},)"
    LR"("0x0006":{"name":"GPS altitude","type":"Rational"},"0x5041":{"name":"Interoperability index","type":"ASCII"}})";

std::vector<std::wstring> JpegFiles(const std::wstring& folder)
{
    std::vector<std::wstring> files;
    WIN32_FIND_DATAW entry;
    const HANDLE find = FindFirstFileW((folder + L"\\*.jpg").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return files;
    do {
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) files.push_back(folder + L"\\" + entry.cFileName);
    } while (FindNextFileW(find, &entry));
    FindClose(find);
    std::sort(files.begin(), files.end());
    return files;
}

double Seconds(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: exif_bench FOLDER [ROUNDS]\n");
        return 2;
    }
    const int rounds = argc > 2 ? std::max(1, _wtoi(argv[2])) : 5;
    const std::vector<std::wstring> files = JpegFiles(argv[1]);
    if (files.empty()) {
        std::fprintf(stderr, "exif_bench: no .jpg files in the folder\n");
        return 1;
    }
    ExifEditor editor;
    editor.SetPropList(kPropList);

    double bestRead = 1e300;
    size_t items = 0;
    for (int round = 0; round <= rounds; ++round) {
        const auto start = std::chrono::steady_clock::now();
        items = 0;
        for (const std::wstring& file : files) {
            JsonWrapper result;
            editor.GetProps(file, result);
            items += static_cast<size_t>(result.GetCount());
        }
        if (round > 0) bestRead = std::min(bestRead, Seconds(start));
    }

    double bestWrite = 1e300;
    int failures = 0;
    for (int round = 0; round <= rounds; ++round) {
        JsonWrapper request;
        request.Parse(LR"({"0x013B":{"type":"ASCII","data":"Bench round )" + std::to_wstring(round) + LR"("}})");
        const auto start = std::chrono::steady_clock::now();
        for (const std::wstring& file : files) {
            std::wstring error;
            if (!editor.SetProps(file, request.View(), error)) ++failures;
        }
        if (round > 0) bestWrite = std::min(bestWrite, Seconds(start));
    }

    std::printf("%zu files, %zu items listed per round, %d failed writes\n", files.size(), items, failures);
    std::printf("read files/s %.0f\n", static_cast<double>(files.size()) / bestRead);
    std::printf("write files/s %.0f\n", static_cast<double>(files.size()) / bestWrite);
    return failures == 0 ? 0 : 1;
}
