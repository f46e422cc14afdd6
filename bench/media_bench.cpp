// Reads the tags of every file in a folder through the media handler, as "getprops" does but
// without the dispatcher and its pause, and prints files per second: for the first round, and the
// best of several rounds (20 unless given), so that the figure is not that of a round which Wine's
// services, still starting, shared the processor with.
// Run under Wine: wine build/bin/media_bench.exe FOLDER [ROUNDS]; bench/media-bench.sh makes the
// folder and sets the figure beside exiftool and mutagen on the same files.
#include "BenchSupport.h"
#include "core/JsonWrapper.h"
#include "platform/ProcessStartup.h"
#include "props/media/MediaProps.h"

#include <cstdio>
#include <string>
#include <vector>

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        std::fputs("usage: media_bench.exe FOLDER [ROUNDS]\n", stderr);
        return 2;
    }
    const ProcessStartup startup;
    const std::vector<std::wstring> files = FilesIn(argv[1]);
    const int rounds = RoundsArg(argc, argv, 2, 20);
    if (files.empty()) {
        std::fputs("media_bench: no files in the folder\n", stderr);
        return 2;
    }
    MediaProps handler;
    long long entries = 0;
    const RoundTimes times = TimeRounds(rounds, false, [&](int) { entries = ReadAll(handler, files); });
    PrintFirstAndBest("media handler (MediaProps::GetProps)", files.size(), entries, "tag values", rounds, times);
    return entries > 0 ? 0 : 1;
}
