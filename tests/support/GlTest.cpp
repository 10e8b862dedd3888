#include "GlTest.h"

#include "platform/GlState.h"
#include "platform/GlWindow.h"

#include "platform/Gl.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sys/wait.h>

GlWindow& testWindow() {
    static GlWindow* window = [] {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        return new GlWindow(800, 600, 16, 8, 0, 0, 0);
    }();
    return *window;
}

void GlTest::SetUp() {
    // A test may have opened and closed a window of its own (Demo::run does).
    GlWindow& window = testWindow();
    currentWindow = &window;
    SDL_GL_MakeCurrent(window.window, window.glContext);
    while (glGetError() != GL_NO_ERROR) {
    }
    bindWindowTarget();
    resetState();
    disableFragmentPrograms();
    disableVertexPrograms();
    glDisable(GL_TEXTURE_2D);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    projectionIdentity();
    modelviewIdentity();
    clear(0.0f, 0.0f, 0.0f, 0.0f, true, true, true);
}

void GlTest::TearDown() {
    expectNoGlError();
}

std::array<int, 4> GlTest::pixel(int x, int y) {
    unsigned char rgba[4] = {0, 0, 0, 0};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    return {rgba[0], rgba[1], rgba[2], rgba[3]};
}

void GlTest::expectNoGlError() {
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "lumora-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        ADD_FAILURE() << "cannot make a temporary folder";
    }
    folder = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

int runCommand(const std::string& command, std::string* output) {
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) {
        return -1;
    }
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        if (output != nullptr) {
            output->append(buffer, n);
        }
    }
    int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string stageProgram(const std::string& name) {
    return std::string(LUMORA_STAGE_DIR) + "/" + name;
}
