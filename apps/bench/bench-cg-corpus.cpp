// Translating the whole Cg corpus of the tests (every pair its list names,
// both entries, with their compiler arguments); included files are held in
// memory so that only the translator is timed.
#include "platform/ShaderContext.h"
#include "resources/cg/Translator.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Pair {
    std::string path;
    std::string source;
    std::string vertexEntry;
    std::string fragmentEntry;
    cg::SourceOptions options;
};

std::string readText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<Pair> corpus(size_t& lines) {
    std::filesystem::path folder =
        std::filesystem::path(LUMORA_SOURCE_DIR) / "tests/resources/cg-corpus";
    auto files = std::make_shared<std::map<std::string, std::string>>();
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (entry.path().extension() == ".cg") {
            (*files)[entry.path().lexically_normal().string()] = readText(entry.path());
        }
    }
    auto reader = [files](const std::string& path, std::string& text, std::string& reason) {
        auto found = files->find(std::filesystem::path(path).lexically_normal().string());
        if (found == files->end()) {
            reason = "no such file";
            return false;
        }
        text = found->second;
        return true;
    };
    std::vector<Pair> pairs;
    std::ifstream list(folder / "programs.txt");
    lines = 0;
    for (std::string line; std::getline(list, line);) {
        std::istringstream words(line);
        Pair p;
        std::string file;
        if (line.empty() || line[0] == '#' ||
            !(words >> file >> p.vertexEntry >> p.fragmentEntry)) {
            continue;
        }
        std::vector<std::string> arguments;
        for (std::string word; words >> word;) {
            bool isFolder = !arguments.empty() && arguments.back() == "-I";
            arguments.push_back(isFolder ? (folder / word).string() : word);
        }
        std::string error;
        addCgArguments(arguments, p.options, error);
        p.options.readFile = reader;
        p.path = (folder / file).lexically_normal().string();
        p.source = (*files)[p.path];
        for (char c : p.source) {
            lines += c == '\n';
        }
        pairs.push_back(std::move(p));
    }
    return pairs;
}

void translateCorpus(benchmark::State& state) {
    size_t lines = 0;
    std::vector<Pair> pairs = corpus(lines);
    if (pairs.empty()) {
        state.SkipWithError("the corpus is missing");
        return;
    }
    for (auto _ : state) {
        for (const Pair& p : pairs) {
            CgTranslation v =
                translateCg(p.source, p.vertexEntry, ShaderProfile::Vertex, p.path, p.options);
            CgTranslation f =
                translateCg(p.source, p.fragmentEntry, ShaderProfile::Fragment, p.path, p.options);
            if (!v.ok || !f.ok) {
                state.SkipWithError((v.listing + f.listing).c_str());
                return;
            }
            benchmark::DoNotOptimize(v.glsl.data());
            benchmark::DoNotOptimize(f.glsl.data());
        }
    }
    state.counters["pairs"] = static_cast<double>(pairs.size());
    state.counters["lines"] = static_cast<double>(lines);
    state.counters["perPair"] = benchmark::Counter(static_cast<double>(pairs.size()),
                                                   benchmark::Counter::kIsIterationInvariantRate |
                                                       benchmark::Counter::kInvert);
}
BENCHMARK(translateCorpus)->Unit(benchmark::kMillisecond);

} // namespace
