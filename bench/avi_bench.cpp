// Reads the INFO list of every .avi file in a folder through the "avi" handler, as "getprops"
// does, and prints how many files it reads per second (the best of some rounds, after one that
// warms the file cache). bench/avi-bench.sh runs it beside exiftool on the same files.
// Run under Wine: wine build/bin/avi_bench.exe FOLDER [ROUNDS]   (default 5 rounds)
#include "BenchSupport.h"
#include "props/avi/AVIFileProp.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

// The page's catalogue: the standard INFO identifiers.
const wchar_t* const kPropList =
    LR"({"INAM":{"name":"Title"},"IART":{"name":"Artist"},"ISBJ":{"name":"Subject"},"ICMT":{"name":"Comments"},)"
    LR"("IKEY":{"name":"Keywords"},"IGNR":{"name":"Genre"},"ICRD":{"name":"Creation date"},)"
    LR"("ICOP":{"name":"Copyright"},"IPRD":{"name":"Product"},"ISFT":{"name":"Software"},"ISRC":{"name":"Source"},)"
    LR"("IENG":{"name":"Engineer"},"ITCH":{"name":"Technician"},"ILNG":{"name":"Language"}})";

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: avi_bench FOLDER [ROUNDS]\n");
        return 2;
    }
    const std::vector<std::wstring> files = FilesIn(argv[1], L"*.avi");
    const int rounds = RoundsArg(argc, argv, 2, 5);
    if (files.empty()) {
        std::fprintf(stderr, "avi_bench: no .avi files in the folder\n");
        return 1;
    }
    AVIFileProp handler;
    handler.SetPropList(kPropList);

    int items = 0;
    const RoundTimes times = TimeRounds(rounds, true, [&](int) { items = static_cast<int>(ReadAll(handler, files)); });
    std::printf("avi handler: %zu files, %d INFO items read in each of %d rounds\n", files.size(), items, rounds);
    PrintFilesPerSecond("", files.size(), times.best);
    return 0;
}
