#include "resources/EbrFile.h"
#include "resources/NmdFile.h"
#include "resources/WholeFile.h"

#include "support/GlTest.h"

#include <gtest/gtest.h>

namespace {

std::string inspect(const std::string& arguments, int* status) {
    std::string output;
    *status = runCommand(stageProgram("lumora-inspect") + " " + arguments, &output);
    return output;
}

void writeScene(const std::string& path) {
    NmdFile model;
    auto material = std::make_unique<NmdMaterial>();
    material->name = "brick";
    material->maps[NmdMap::Diffuse] = "C:\\maps\\brick.jpg";
    material->values[NmdMaterial::Opacity] = 0.5f;
    model.materials.push_back(std::move(material));
    auto node = std::make_unique<NmdNode>();
    node->type = NmdNodeType::Mesh;
    node->name = "wall";
    node->mesh = std::make_unique<NmdMesh>();
    node->mesh->materialName = "brick";
    node->mesh->positions = {0, 0, 0, 4, 0, 0, 0, 2, 0};
    node->mesh->hasNormals = true;
    node->mesh->normals = {0, 0, 1, 0, 0, 1, 0, 0, 1};
    node->mesh->indices = {0, 1, 2};
    node->positionKeys = {{{0, 0, 0}, 0.0f}, {{2, 4, 6}, 2.0f}};
    auto child = std::make_unique<NmdNode>();
    child->name = "lamp";
    node->children.push_back(std::move(child));
    model.nodes.push_back(std::move(node));
    std::string error;
    ASSERT_TRUE(writeNmdFile(path, model, error)) << error;
}

} // namespace

TEST(Inspect, NmdSummaryNamesMaterialsTreeAndTransforms) {
    TempDir dir;
    writeScene(dir.file("city.nmd"));
    int status = -1;
    std::string out = inspect(dir.file("city.nmd") + " --at 1", &status);
    EXPECT_EQ(status, 0) << out;
    for (const char* expected :
         {"NMD, 1 materials, 1 top-level nodes (2 in all), 1 meshes, 3 vertices, 1 triangles",
          "material 0 \"brick\"", "diffuse map \"C:\\\\maps\\\\brick.jpg\"", "opacity 0.5",
          "mesh \"wall\"", "material \"brick\"", "channels: position, normal",
          "bounds (0 0 0) .. (4 2 0)", "keys: 2 position (0 .. 2 s), 0 rotation, 0 scale",
          "at 1 s: translate (1 3 -2)", "node \"lamp\""}) {
        EXPECT_NE(out.find(expected), std::string::npos) << expected << "\n" << out;
    }
}

TEST(Inspect, EbrSummaryAndFormatChoice) {
    TempDir dir;
    EbrPart part;
    part.name = "ring";
    part.vertices = {{-1, 0, 0, 0, 0}, {1, 0, 0, 0, 0}, {0, 3, 0, 0, 0}, {9, 9, 9, 0, 0}};
    part.indices = {0, 1, 2, 0, 0, 1};
    std::string error;
    std::vector<unsigned char> bytes;
    ASSERT_TRUE(encodeEbr({part}, bytes, error)) << error;
    bytes.insert(bytes.end(), {1, 2, 3});
    ASSERT_TRUE(writeFileBytes(dir.file("ring.nmd"), bytes, error)) << error;
    int status = -1;
    std::string out = inspect("--as ebr " + dir.file("ring.nmd"), &status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("EBR, 1 parts, 4 vertices, 2 triangles"), std::string::npos) << out;
    EXPECT_NE(out.find("part 0 \"ring\": 4 vertices, 2 triangles, bounds (-1 0 0) .. (9 9 9)"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("1 degenerate triangles, 1 vertices used by no triangle"), std::string::npos)
        << out;
    EXPECT_NE(out.find("3 bytes after the last part (ignored)"), std::string::npos) << out;

    // Without --as the ending decides, and the hint points at the right reader.
    out = inspect(dir.file("ring.nmd"), &status);
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find("ring.nmd: Unknown file tag. Version conflict or damaged file"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("--as ebr"), std::string::npos) << out;
}

TEST(Inspect, BadFilesReportFileAndReasonAndTheRestStillRuns) {
    TempDir dir;
    std::string error;
    writeScene(dir.file("good.nmd"));
    std::vector<unsigned char> bytes;
    ASSERT_TRUE(readFileBytes(dir.file("good.nmd"), bytes, error));
    bytes.resize(bytes.size() - 5);
    ASSERT_TRUE(writeFileBytes(dir.file("cut.nmd"), bytes, error));
    int status = -1;
    std::string out = inspect(dir.file("cut.nmd") + " " + dir.file("good.nmd") + " " +
                                  dir.file("missing.ebr") + " " + dir.file("notes.txt"),
                              &status);
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find("cut.nmd: child count 1 at offset"), std::string::npos) << out;
    EXPECT_NE(out.find("good.nmd: NMD"), std::string::npos) << out;
    EXPECT_NE(out.find("missing.ebr: cannot open"), std::string::npos) << out;
    EXPECT_NE(out.find("notes.txt: cannot tell the format"), std::string::npos) << out;

    // Read as a camera bank, an NMD file is damage, not a crash.
    out = inspect("--as crg " + dir.file("good.nmd"), &status);
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find("good.nmd: track 0 claims"), std::string::npos) << out;
    inspect("", &status);
    EXPECT_EQ(status, 2);
    inspect(dir.file("good.nmd") + " --at soon", &status);
    EXPECT_EQ(status, 2);
}
