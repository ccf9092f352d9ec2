// Cost of reading ".tfn" files whose records all share one name: every record after the
// first is stored under the first free numbered name, which once cost a pass over the
// shapes per number tried (minutes for a few thousand records). Target: 3000 records
// well under a second.
#include "tests/classification/TableTransferFunction.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace {

std::string writeDuplicates(int records)
{
    char path[] = "/tmp/quillet-bench-XXXXXX";
    int fd = mkstemp(path);
    if (fd >= 0)
        close(fd);
    std::ofstream out(path);
    out << records << "\n";
    for (int i = 0; i < records; ++i)
        out << "1\nSkin\n900\n1400\n100\n200\n0.3\nskipped\n16777215\n8421504\n255\n";
    return path;
}

void BM_LoadRecordsOfOneName(benchmark::State& state)
{
    const std::string path = writeDuplicates(int(state.range(0)));
    for (auto _ : state) {
        TableTransferFunction tf;
        benchmark::DoNotOptimize(tf.loadFromFile(path));
    }
    std::remove(path.c_str());
}

} // namespace

BENCHMARK(BM_LoadRecordsOfOneName)->Arg(100)->Arg(1000)->Arg(3000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
