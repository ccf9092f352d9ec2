// Cost of reading ".tfn" files of many records, all of one name (every record after the
// first is stored under the first free numbered name) or each of its own. Both once
// cost a pass over the shapes per record or per number tried: 20,000 records took 12 s.
// Target: 20,000 records under 0.3 s.
#include "tests/classification/TableTransferFunction.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace {

std::string writeRecords(int records, bool oneName)
{
    char path[] = "/tmp/quillet-bench-XXXXXX";
    int fd = mkstemp(path);
    if (fd >= 0)
        close(fd);
    std::ofstream out(path);
    out << records << "\n";
    for (int i = 0; i < records; ++i)
        out << "1\nSkin" << (oneName ? "" : std::to_string(i) + "x") << "\n900\n1400\n100\n200\n0.3\nskipped\n16777215\n8421504\n255\n";
    return path;
}

void BM_LoadRecords(benchmark::State& state, bool oneName)
{
    const std::string path = writeRecords(int(state.range(0)), oneName);
    for (auto _ : state) {
        TableTransferFunction tf;
        benchmark::DoNotOptimize(tf.loadFromFile(path));
    }
    std::remove(path.c_str());
}

} // namespace

BENCHMARK_CAPTURE(BM_LoadRecords, OneName, true)->Arg(100)->Arg(3000)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LoadRecords, NamesOfTheirOwn, false)->Arg(100)->Arg(3000)->Arg(20000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
