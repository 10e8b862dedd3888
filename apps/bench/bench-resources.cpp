// The load-time readers (NMD, EBR with its normals), the bump conversion, and
// the per-frame key-frame evaluation of an NMD scene.
#include "resources/EbrFile.h"
#include "resources/Image.h"
#include "resources/NmdAnimation.h"
#include "resources/NmdFile.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace {

// A grid of n x n quads with normals and one texture channel, like a terrain tile.
NmdFile gridScene(int n) {
    NmdFile model;
    auto node = std::make_unique<NmdNode>();
    node->type = NmdNodeType::Mesh;
    node->mesh = std::make_unique<NmdMesh>();
    NmdMesh& mesh = *node->mesh;
    mesh.hasNormals = true;
    mesh.hasTexture[1] = true;
    for (int y = 0; y <= n; ++y) {
        for (int x = 0; x <= n; ++x) {
            mesh.positions.insert(mesh.positions.end(),
                                  {float(x), float(y), std::sin(0.1f * float(x * y))});
            mesh.normals.insert(mesh.normals.end(), {0.0f, 0.0f, 1.0f});
            mesh.texture[1].insert(mesh.texture[1].end(), {float(x) / n, -float(y) / n});
        }
    }
    for (uint32_t y = 0; y < uint32_t(n); ++y) {
        for (uint32_t x = 0; x < uint32_t(n); ++x) {
            uint32_t a = y * (n + 1) + x, b = a + 1, c = a + n + 1, d = c + 1;
            mesh.indices.insert(mesh.indices.end(), {a, b, d, a, d, c});
        }
    }
    model.nodes.push_back(std::move(node));
    return model;
}

std::vector<EbrPart> gridParts(int n) {
    NmdFile scene = gridScene(n);
    const NmdMesh& mesh = *scene.nodes[0]->mesh;
    EbrPart part;
    for (size_t i = 0; i < mesh.vertexCount(); ++i) {
        part.vertices.push_back(
            {mesh.positions[i * 3], mesh.positions[i * 3 + 1], mesh.positions[i * 3 + 2], 0, 0});
    }
    part.indices = mesh.indices;
    return {part};
}

void BM_ReadNmd(benchmark::State& state) {
    std::vector<unsigned char> bytes;
    std::string error;
    encodeNmd(gridScene(static_cast<int>(state.range(0))), bytes, error);
    for (auto _ : state) {
        NmdFile file;
        benchmark::DoNotOptimize(file.read(bytes.data(), bytes.size()));
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
}
BENCHMARK(BM_ReadNmd)->Arg(64)->Arg(256);

void BM_ReadEbrWithNormals(benchmark::State& state) {
    std::vector<unsigned char> bytes;
    std::string error;
    encodeEbr(gridParts(static_cast<int>(state.range(0))), bytes, error);
    std::vector<float> records;
    for (auto _ : state) {
        std::vector<EbrPart> parts;
        readEbr(bytes.data(), bytes.size(), parts, error);
        const EbrPart& part = parts[0];
        ebrVertexRecords(part, records);
        benchmark::DoNotOptimize(records.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
}
BENCHMARK(BM_ReadEbrWithNormals)->Arg(64)->Arg(256);

void BM_NormalMap(benchmark::State& state) {
    int size = static_cast<int>(state.range(0));
    std::vector<unsigned char> heights(size_t(size) * size * 3);
    for (size_t i = 0; i < heights.size(); ++i) {
        heights[i] = static_cast<unsigned char>((i * 2654435761u) >> 24);
    }
    for (auto _ : state) {
        Image image(size, size, PixelKind::Rgb8, heights);
        makeNormalMap(image);
        benchmark::DoNotOptimize(image.pixels());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * size * size);
}
BENCHMARK(BM_NormalMap)->Arg(256)->Arg(1024);

// One frame's transforms of a scene of 200 animated nodes.
void BM_SceneTransforms(benchmark::State& state) {
    std::vector<NmdNode> nodes(200);
    for (size_t n = 0; n < nodes.size(); ++n) {
        for (int k = 0; k < 60; ++k) {
            float t = float(k);
            nodes[n].positionKeys.push_back({{t, float(n), 0}, t});
            nodes[n].rotationKeys.push_back({{0, std::sin(t), 0, std::cos(t)}, t});
        }
    }
    float t = 0.0f;
    for (auto _ : state) {
        for (const NmdNode& node : nodes) {
            NodeTransform transform = nodeTransformAt(node, t);
            benchmark::DoNotOptimize(transform);
        }
        t = t > 60.0f ? 0.0f : t + 0.0166f;
    }
}
BENCHMARK(BM_SceneTransforms);

} // namespace
