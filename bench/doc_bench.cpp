// Reads the document properties of every file in a folder through the document handler, as
// "getprops" does but without the dispatcher, and prints files per second: the best of a few
// rounds, and the first. The property list is the page's, handed over as a JSON file.
// Run under Wine: wine build/bin/doc_bench.exe FOLDER LIST.json [ROUNDS]   (default 5 rounds);
// bench/doc-bench.sh makes the folder and the list and compares with olefile and exiftool.
#include "BenchSupport.h"
#include "core/JsonWrapper.h"
#include "core/TextConvert.h"
#include "platform/ProcessStartup.h"
#include "props/doc/SummaryPropsEditor.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

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
    const int rounds = RoundsArg(argc, argv, 3, 5);
    if (files.empty()) {
        std::fputs("doc_bench: no files in the folder\n", stderr);
        return 2;
    }
    SummaryPropsEditor handler;
    if (!handler.SetPropList(TextOf(argv[2]))) {
        std::fputs("doc_bench: the list is not JSON\n", stderr);
        return 2;
    }
    long long values = 0;
    const RoundTimes times = TimeRounds(rounds, false, [&](int) { values = ReadAll(handler, files); });
    PrintFirstAndBest("document handler (SummaryPropsEditor::GetProps)", files.size(), values, "values", rounds, times);
    return values > 0 ? 0 : 1;
}
