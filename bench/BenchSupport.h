// What the handler benchmarks share: the files of a folder, the rounds argument, timing a pass over
// the files round after round, and the figure lines the bench/*-bench.sh scripts read.
#pragma once

#include "core/JsonWrapper.h"

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

using BenchClock = std::chrono::steady_clock;

double SecondsSince(BenchClock::time_point start);

// The files (not folders) of a folder that match a pattern such as L"*.jpg", sorted by path, so
// that every run reads them in the same order.
std::vector<std::wstring> FilesIn(const std::wstring& folder, const wchar_t* pattern = L"*");

// The number of rounds from argv[index], at least 1, or fallback when it is not given.
int RoundsArg(int argc, wchar_t** argv, int index, int fallback);

struct RoundTimes {
    double first = 0;    // seconds of the first timed round
    double best = 1e300; // seconds of the fastest timed round
};

// Runs pass(round) for rounds timed rounds, and before them, when warmUp is set, one more that only
// warms the file cache; round counts from 0 over every run, the warm-up included. Whatever pass
// needs made beforehand is made before calling, so that only the pass is timed.
template <typename Pass> RoundTimes TimeRounds(int rounds, bool warmUp, Pass pass)
{
    RoundTimes times;
    const int first = warmUp ? 1 : 0;
    for (int round = 0; round < first + rounds; ++round) {
        const BenchClock::time_point start = BenchClock::now();
        pass(round);
        const double seconds = SecondsSince(start);
        if (round < first) continue;
        if (round == first) times.first = seconds;
        if (seconds < times.best) times.best = seconds;
    }
    return times;
}

// Reads every file through the handler, as "getprops" does, and returns how many values it listed.
// A template, so that the call stays the direct one on the handler's own type.
template <typename Handler> long long ReadAll(Handler& handler, const std::vector<std::wstring>& files)
{
    long long values = 0;
    for (const std::wstring& file : files) {
        JsonWrapper result;
        handler.GetProps(file, result);
        values += result.GetCount();
    }
    return values;
}

// Prints "<prefix>files/s N", the line the scripts take the figure from.
void PrintFilesPerSecond(const char* prefix, std::size_t files, double seconds);

// Prints "<handler>: F files, N <what>; first round .. files/s, best of R rounds .. files/s" and
// then the "files/s" line of the best round.
void PrintFirstAndBest(const char* handler, std::size_t files, long long values, const char* what, int rounds,
                       const RoundTimes& times);
