#include "core/Demo.h"
#include "platform/GlState.h"
#include "resources/CgProgram.h"
#include "resources/WholeFile.h"

#include "support/GlTest.h"

#include <cstdio>

class ProgramCache : public GlTest {
protected:
    void TearDown() override {
        disableFragmentPrograms();
        disableVertexPrograms();
        GlTest::TearDown();
    }
};

TEST_F(ProgramCache, OneReadPerFileOneCompilePerEntryPair) {
    TempDir dir;
    const std::string source =
        "float4 vsPlain(float4 p: POSITION): POSITION { return mul(glstate.matrix.mvp, p); }\n"
        "float4 psBlack(): COLOR { return float4(0, 0, 0, 1); }\n"
        "float4 psWhite(): COLOR { return float4(1, 1, 1, 1); }\n";
    std::string error;
    std::string path = dir.file("meridian.cg");
    ASSERT_TRUE(
        writeFileBytes(path, std::vector<unsigned char>(source.begin(), source.end()), error));
    Demo demo;
    CgProgramPair* black = demo.getProgramPair(path, "vsPlain", "psBlack");
    // The text is cached: the file is not read again for another pair.
    std::remove(path.c_str());
    CgProgramPair* white = demo.getProgramPair(path, "vsPlain", "psWhite");
    EXPECT_NE(black, white);
    EXPECT_EQ(demo.getProgramPair(path, "vsPlain", "psBlack"), black);
    EXPECT_EQ(demo.fileCache.size(), 1u);
    EXPECT_EQ(demo.gpuCache.size(), 2u);
    EXPECT_EQ(demo.gpuCache.count(path + "vsPlain" + "psWhite"), 1u);
    EXPECT_NE(black->fragment->program, white->fragment->program);
}
