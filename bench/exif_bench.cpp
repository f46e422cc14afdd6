// Reads and writes the EXIF items of every .jpg file in a folder through the "exif" handler, as
// "getprops" and "setprops" do (without the dispatcher's pause), and prints how many files it
// reads and writes per second: the best of some rounds, after one that warms the file cache. Each
// write changes the Artist item, so every round rewrites every file. bench/exif-bench.sh runs it
// beside exiftool and a decode-and-re-encode of the same files.
// Run under Wine: wine build/bin/exif_bench.exe FOLDER [ROUNDS]   (default 5 rounds)
#include "BenchSupport.h"
#include "props/exif/ExifEditor.h"

#include <cstdio>
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

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: exif_bench FOLDER [ROUNDS]\n");
        return 2;
    }
    const int rounds = RoundsArg(argc, argv, 2, 5);
    const std::vector<std::wstring> files = FilesIn(argv[1], L"*.jpg");
    if (files.empty()) {
        std::fprintf(stderr, "exif_bench: no .jpg files in the folder\n");
        return 1;
    }
    ExifEditor editor;
    editor.SetPropList(kPropList);

    size_t items = 0;
    const RoundTimes reads =
        TimeRounds(rounds, true, [&](int) { items = static_cast<size_t>(ReadAll(editor, files)); });

    // Each round's request is parsed before the timing starts, as it is not part of the write.
    std::vector<JsonWrapper> requests(static_cast<size_t>(rounds) + 1);
    for (size_t round = 0; round < requests.size(); ++round)
        requests[round].Parse(LR"({"0x013B":{"type":"ASCII","data":"Bench round )" + std::to_wstring(round) +
                              LR"("}})");
    int failures = 0;
    const RoundTimes writes = TimeRounds(rounds, true, [&](int round) {
        for (const std::wstring& file : files) {
            std::wstring error;
            if (!editor.SetProps(file, requests[static_cast<size_t>(round)].View(), error)) ++failures;
        }
    });

    std::printf("%zu files, %zu items listed per round, %d failed writes\n", files.size(), items, failures);
    PrintFilesPerSecond("read ", files.size(), reads.best);
    PrintFilesPerSecond("write ", files.size(), writes.best);
    return failures == 0 ? 0 : 1;
}
