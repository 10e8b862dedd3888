#pragma once

#include <gtest/gtest.h>

#include <array>
#include <string>

class GlWindow;

// One headless window with its GL context for the whole test program (llvmpipe
// through SDL's offscreen driver unless SDL_VIDEODRIVER says otherwise).
GlWindow& testWindow();

// Base for tests that draw: the shared context is current, the window framebuffer
// bound, state at the engine's defaults and the buffers cleared to black.
class GlTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    GlWindow& window() { return testWindow(); }
    // RGBA of one pixel of the currently bound framebuffer's read buffer,
    // (0, 0) at the bottom left.
    std::array<int, 4> pixel(int x, int y);
    // Asserts no GL error is pending.
    void expectNoGlError();
};

// A fresh folder under the system's temporary folder, removed with its contents.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return folder; }
    std::string file(const std::string& name) const { return folder + "/" + name; }

private:
    std::string folder;
};

// Runs a command line through the shell; returns its exit status (-1 when it did
// not exit normally) and puts what it printed (both streams) into output.
int runCommand(const std::string& command, std::string* output = nullptr);

// Path of a program in the stage folder.
std::string stageProgram(const std::string& name);
