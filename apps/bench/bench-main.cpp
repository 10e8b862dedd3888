// lumora-bench: Google Benchmark's runner, with the command line of the other
// programs: its own usage, and exit 2 for what neither it nor the library knows.
#include "platform/CommandLine.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

const ProgramUsage usage = {
    "lumora-bench",
    "usage: lumora-bench [--benchmark_filter=REGEX] [--benchmark_list_tests]\n"
    "                    [--benchmark_repetitions=N] [--benchmark_min_time=SECONDS]\n"
    "                    [--benchmark_format=console|json|csv] [--benchmark_out=FILE]\n"
    "                    [--benchmark_out_format=console|json|csv]\n"
    "Times the per-frame and loading work of every subsystem (Google Benchmark).\n"
    "  --benchmark_filter=REGEX     run only the benchmarks whose names match\n"
    "  --benchmark_list_tests       list the benchmarks instead of running them\n"
    "  --benchmark_repetitions=N    run each benchmark N times and report aggregates\n"
    "  --benchmark_min_time=SECONDS run each benchmark at least this long\n"
    "  --benchmark_format=FORMAT    how results are printed\n"
    "  --benchmark_out=FILE         also write the results to FILE\n"
    "  --benchmark_out_format=FORMAT the format of that file (default json)\n"
    "Google Benchmark's other --benchmark_... options are taken too.\n"
    "  --help                       print this and exit\n"
    "  --version                    print the version and exit\n"};

} // namespace

int main(int argc, char** argv) {
    answerHelpAndVersion(argc, argv, usage);
    // The library takes the options it knows out of argv and leaves the rest.
    benchmark::Initialize(&argc, argv);
    if (argc > 1) {
        std::string first = argv[1];
        refuseCommandLine(usage, first.size() > 1 && first[0] == '-'
                                     ? "unknown option " + first
                                     : "unexpected argument \"" + first + "\"");
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
