// What a sequence file costs before anything is sent: reading and checking a
// full 128-entry file and deriving both tables from it, and the --check
// listing. An operator waits for this once per run; it should stay far
// below what a person notices (a few milliseconds).
#include "patterns/sequence.h"
#include "patterns/sequence_file.h"
#include "patterns/sequence_listing.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace {

using namespace lumora;

// 128 entries in 32 [[pattern]] tables of four patterns each, over 32
// images, with every top-level key and a comment per table, as an operator
// would write it.
std::string Full128()
{
    std::string text =
        "# 128 entries: four patterns from each of 32 images\n"
        "exposure_us = 8000\nperiod_us = 8333\nrepeat = false\n"
        "flip = { long_axis = false, short_axis = true }\nleds = { red = 100, green = 110, blue = 120 }\n"
        "trigger_out1 = { invert = false, rising_delay = 187, falling_delay = 187 }\n"
        "trigger_out2 = { invert = true, rising_delay = 20 }\n";
    const char* const colours[] = {"white", "red", "green", "blue"};
    for (int table = 0; table < 32; ++table) {
        text += "\n# image " + std::to_string(table) + "\n[[pattern]]\nimage = " + std::to_string(table) +
                "\npattern = [0, 1, 2, 3]\nbits = 4\ncolor = \"" + colours[table % 4] +
                "\"\ninvert = false\nblack = true\n";
    }
    return text;
}

const std::string& Text()
{
    static const std::string text = Full128();
    return text;
}

void Check128(benchmark::State& state, const SequenceFile& file)
{
    LutTables tables;
    if (!file.sequence || file.sequence->entries.size() != 128 || !DeriveTables(*file.sequence, tables)) {
        state.SkipWithError("the 128-entry file was not accepted");
    }
    benchmark::DoNotOptimize(tables);
}

// From text in memory: parse, check every key, derive the tables.
void BM_ReadAndCheck128Entries(benchmark::State& state)
{
    for (auto _ : state) {
        Check128(state, ReadSequenceText(Text(), "bench"));
    }
    state.counters["bytes"] = static_cast<double>(Text().size());
}
BENCHMARK(BM_ReadAndCheck128Entries)->Unit(benchmark::kMicrosecond);

// The same from a file on disk, as lumoractl reads it.
void BM_ReadAndCheck128EntriesFromFile(benchmark::State& state)
{
    const std::string path = "lumora_bench_128.toml";
    std::ofstream(path, std::ios::binary) << Text();
    for (auto _ : state) {
        Check128(state, ReadSequenceFile(path));
    }
    std::remove(path.c_str());
}
BENCHMARK(BM_ReadAndCheck128EntriesFromFile)->Unit(benchmark::kMicrosecond);

// The --check listing of the same sequence: both tables decoded and the run.
void BM_Listing128Entries(benchmark::State& state)
{
    const SequenceFile file = ReadSequenceText(Text(), "bench");
    if (!file.sequence) {
        state.SkipWithError("the 128-entry file was not accepted");
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(RenderSequenceListing(ListSequence(*file.sequence)));
    }
}
BENCHMARK(BM_Listing128Entries)->Unit(benchmark::kMicrosecond);

}  // namespace
