// Whole-file reads: what is not a regular file, what is too large and text that
// is not text are refused with the reason.
#include "resources/WholeFile.h"

#include "resources/Image.h"
#include "resources/TextFile.h"

#include "support/GlTest.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

std::vector<unsigned char> bytesOf(const std::string& text) {
    return std::vector<unsigned char>(text.begin(), text.end());
}

TEST(WholeFile, RefusesWhatIsNoRegularFileAtOnce) {
    TempDir dir;
    ASSERT_EQ(mkfifo(dir.file("pipe").c_str(), 0600), 0);
    // A pipe without a writer would block an ordinary open for ever.
    struct Case {
        std::string path;
        const char* kind;
    } cases[] = {{dir.path(), "a folder"},
                 {"/dev/zero", "a character device"},
                 {dir.file("pipe"), "a pipe"}};
    for (const Case& c : cases) {
        std::vector<unsigned char> bytes;
        std::string error, text;
        EXPECT_FALSE(readFileBytes(c.path, bytes, error));
        EXPECT_EQ(error, std::string("not a regular file: it is ") + c.kind);
        EXPECT_FALSE(readTextFile(c.path, text, error));
        EXPECT_EQ(error, std::string("not a regular file: it is ") + c.kind);
    }
    std::vector<unsigned char> bytes;
    std::string error;
    EXPECT_FALSE(readFileBytes(dir.file("none"), bytes, error));
    EXPECT_EQ(error.rfind("cannot open: No such file", 0), 0u) << error;
    // The loaders read through it (the tools' tests cover the mesh formats).
    EXPECT_EQ(Image::load(dir.path(), error), nullptr);
    EXPECT_EQ(error, "not a regular file: it is a folder");
}

TEST(WholeFile, TakesFilesUpToTheLimitAndSaysSizeAndLimitBeyond) {
    TempDir dir;
    std::string error;
    ASSERT_TRUE(writeFileBytes(dir.file("ten"), bytesOf("0123456789"), error));
    std::vector<unsigned char> bytes;
    EXPECT_TRUE(readFileBytes(dir.file("ten"), bytes, error, 10));
    EXPECT_EQ(bytes, bytesOf("0123456789"));
    EXPECT_FALSE(readFileBytes(dir.file("ten"), bytes, error, 9));
    EXPECT_EQ(error, "too large: 10 bytes, the limit is 9 bytes (0 MiB)");
    EXPECT_TRUE(bytes.empty());

    // A sparse file takes no room on disk but would still fill memory.
    int fd = open(dir.file("huge.cg").c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, 200 << 20), 0);
    close(fd);
    std::string text;
    EXPECT_FALSE(readTextFile(dir.file("huge.cg"), text, error));
    EXPECT_EQ(error, "too large: 209715200 bytes, the limit is 16777216 bytes (16 MiB)");
}

TEST(WholeFile, TextWithANulByteIsNoText) {
    TempDir dir;
    std::string error, text;
    ASSERT_TRUE(writeFileBytes(dir.file("a.cg"), {'a', '\n', 'b'}, error));
    EXPECT_TRUE(readTextFile(dir.file("a.cg"), text, error));
    EXPECT_EQ(text, "a\nb");
    ASSERT_TRUE(writeFileBytes(dir.file("b.cg"), {'a', '\n', 0, 'b'}, error));
    EXPECT_FALSE(readTextFile(dir.file("b.cg"), text, error));
    EXPECT_EQ(error, "not text: contains a NUL byte at offset 2");
    EXPECT_EQ(text, "");

    // A stream has no size to check first: it is cut off at the limit.
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    ASSERT_EQ(write(ends[1], "0123456789", 10), 10);
    close(ends[1]);
    EXPECT_FALSE(readTextStream(ends[0], text, error, 8));
    EXPECT_EQ(error, "too large: more than the limit of 8 bytes (0 MiB)");
    close(ends[0]);
}

TEST(TextFileDeathTest, BinaryDataEndsTheProgramNamingTheFile) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    TempDir dir;
    std::string error;
    ASSERT_TRUE(writeFileBytes(dir.file("shader.cg"), {'f', 0, 0, 0}, error));
    EXPECT_EXIT(TextFile file(dir.file("shader.cg")), testing::ExitedWithCode(1),
                "shader.cg: not text: contains a NUL byte at offset 1");
}

} // namespace
