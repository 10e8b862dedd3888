// Translating a 200-line Cg program (both entries of a pair) without the driver.
#include "platform/ShaderContext.h"
#include "resources/cg/Translator.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

// A pair in the style of the production's effect shaders, padded with helper
// functions to 200 lines.
std::string benchmarkProgram() {
    std::string s = "#define WAVES 4\n"
                    "sampler2D tex0;\n"
                    "samplerCUBE env;\n"
                    "uniform float time;\n"
                    "uniform float4 camPos;\n"
                    "struct v2f {\n"
                    "    float4 pos : POSITION;\n"
                    "    float2 tc : TEXCOORD0;\n"
                    "    float3 normal : TEXCOORD1;\n"
                    "    float3 view : TEXCOORD2;\n"
                    "};\n";
    int helpers = 0;
    while (true) {
        std::string h = std::to_string(helpers);
        std::string f = "float3 wave" + h +
                        "(float3 p, float k) {\n"
                        "    float phase = dot(p.xz, float2(0.3, 0.7)) * k + time * " +
                        h +
                        ".5;\n"
                        "    float3 n = float3(sin(phase), cos(phase), 0) * 0.25;\n"
                        "    n.z = frac(phase) - 0.5;\n"
                        "    return normalize(n + p * 0.01);\n"
                        "}\n";
        size_t lines = 0;
        for (char c : s + f) {
            lines += c == '\n';
        }
        // The entries below take 17 lines plus one per helper.
        if (lines + 17 + static_cast<size_t>(helpers) + 1 > 200) {
            break;
        }
        s += f;
        ++helpers;
    }
    s += "v2f vsMain(float4 pos : POSITION, float3 normal : NORMAL, float2 tc : TEXCOORD0) {\n"
         "    v2f o;\n"
         "    float3 n = normal;\n";
    for (int i = 0; i < helpers; ++i) {
        s += "    n += wave" + std::to_string(i) + "(pos.xyz, " + std::to_string(i + 1) + ");\n";
    }
    s += "    o.pos = mul(glstate.matrix.mvp, pos);\n"
         "    o.tc = tc;\n"
         "    o.normal = normalize(n);\n"
         "    o.view = camPos.xyz - pos.xyz;\n"
         "    return o;\n"
         "}\n"
         "float4 psMain(v2f i) : COLOR {\n"
         "    float3 n = normalize(i.normal);\n"
         "    float3 v = normalize(i.view);\n"
         "    float3 r = reflect(-v, n);\n"
         "    float fresnel = pow(1 - saturate(dot(n, v)), 5);\n"
         "    float4 base = tex2D(tex0, i.tc);\n"
         "    float4 sky = texCUBE(env, r);\n"
         "    return lerp(base, sky, fresnel);\n"
         "}\n";
    return s;
}

void translatePair(benchmark::State& state) {
    std::string source = benchmarkProgram();
    for (auto _ : state) {
        CgTranslation v = translateCg(source, "vsMain", ShaderProfile::Vertex, "bench.cg");
        CgTranslation f = translateCg(source, "psMain", ShaderProfile::Fragment, "bench.cg");
        if (!v.ok || !f.ok) {
            state.SkipWithError((v.listing + f.listing).c_str());
            break;
        }
        benchmark::DoNotOptimize(v.glsl.data());
        benchmark::DoNotOptimize(f.glsl.data());
    }
    size_t lines = 0;
    for (char c : source) {
        lines += c == '\n';
    }
    state.counters["lines"] = static_cast<double>(lines);
}
BENCHMARK(translatePair)->Unit(benchmark::kMicrosecond);

} // namespace
