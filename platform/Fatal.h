#pragma once

#include <string>

// Shows a message box (where a display exists; always on standard error) and ends
// the process with exit code 1. The box is owned by the program's window when
// one is open, so it stays in front of a fullscreen picture.
[[noreturn]] void fatalError(const std::string& caption, const std::string& message);

// Shows a message box and returns. Used for the errors the run survives. owner
// is the SDL window the box belongs to; without one, the program's window.
void showMessage(const std::string& caption, const std::string& message, void* owner = nullptr);

// Runs a program's body and turns anything it throws into a fatal error, so an
// uncaught engine error ends the program with its message and a non-zero code.
int runGuarded(const char* programName, int (*body)(int, char**), int argc, char** argv);
