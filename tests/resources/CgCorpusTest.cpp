// The corpus of programs in tests/resources/cg-corpus, written the way shader
// authors of the ARB-profile era wrote post-processing and lighting: every
// pair it lists translates without a word in the listing, the driver compiles
// and links each program, and the pair draws without a GL error.
#include "tests/support/CgDrawing.h"

#include "platform/Gl.h"
#include "platform/GlState.h"
#include "platform/ShaderContext.h"
#include "resources/CgProgram.h"
#include "resources/cg/Translator.h"

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct CorpusProgram {
    std::string file;
    std::string vertexEntry;
    std::string fragmentEntry;
    std::vector<std::string> arguments;
};

const std::filesystem::path corpusFolder =
    std::filesystem::path(LUMORA_SOURCE_DIR) / "tests/resources/cg-corpus";

std::vector<CorpusProgram> corpusPrograms() {
    std::vector<CorpusProgram> programs;
    std::ifstream in(corpusFolder / "programs.txt");
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        CorpusProgram p;
        if (line.empty() || line[0] == '#' ||
            !(words >> p.file >> p.vertexEntry >> p.fragmentEntry)) {
            continue;
        }
        for (std::string word; words >> word;) {
            bool folder = !p.arguments.empty() && p.arguments.back() == "-I";
            p.arguments.push_back(folder ? (corpusFolder / word).string() : word);
        }
        programs.push_back(p);
    }
    return programs;
}

std::string readText(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

using CgCorpus = CgDrawTest;

TEST_F(CgCorpus, EveryProgramTranslatesCompilesAndDraws) {
    std::vector<CorpusProgram> programs = corpusPrograms();
    std::set<std::string> files;
    for (const CorpusProgram& p : programs) {
        SCOPED_TRACE(p.file + " " + p.vertexEntry + " " + p.fragmentEntry);
        files.insert(p.file);
        std::string path = (corpusFolder / p.file).string();
        std::string source = readText(path);
        cg::SourceOptions options = cgFileOptions();
        std::string error;
        ASSERT_TRUE(addCgArguments(p.arguments, options, error)) << error;
        for (int profile : {ShaderProfile::Vertex, ShaderProfile::Fragment}) {
            const std::string& entry =
                profile == ShaderProfile::Vertex ? p.vertexEntry : p.fragmentEntry;
            CgTranslation t = translateCg(source, entry, profile, path, options);
            ASSERT_TRUE(t.ok) << t.listing;
            EXPECT_EQ(t.listing, "");
            std::string log;
            EXPECT_TRUE(driverAccepts(t.glsl, profile, &log)) << entry << "\n" << log << t.glsl;
        }
        std::vector<const char*> args;
        for (const std::string& a : p.arguments) {
            args.push_back(a.c_str());
        }
        args.push_back(nullptr);
        CgProgramPair pair(source.c_str(), p.vertexEntry.c_str(), p.fragmentEntry.c_str(),
                           path.c_str(), args.data());
        pair.bind();
        drawQuad();
        pair.unbind();
        disableFragmentPrograms();
        disableVertexPrograms();
        expectNoGlError();
    }
    EXPECT_GE(files.size(), 30u);
}

TEST(CgCorpusGeometry, EachPrimitiveMarksAGeometryProgramTheProfilesRefuse) {
    // The overlay's pair is in the list above; beside it stands a geometry
    // program for each input primitive, named before the function or before a
    // parameter, in either case.
    std::string path = (corpusFolder / "wire_overlay.cg").string();
    std::string source = readText(path);
    for (const char* entry : {"gsPoints", "gsLines", "gsSilhouette", "gsTriangles", "gsFins"}) {
        CgTranslation t = translateCg(source, entry, ShaderProfile::Vertex, path);
        EXPECT_FALSE(t.ok);
        EXPECT_NE(t.listing.find(std::string("'") + entry +
                                 "' is a geometry program, which arbvp1 and arbfp1 cannot run"),
                  std::string::npos)
            << t.listing;
    }
}

} // namespace
