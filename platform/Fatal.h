#pragma once

#include <string>

// Shows a message box (where a display exists; always on standard error) and ends
// the process with exit code 1.
[[noreturn]] void fatalError(const std::string& caption, const std::string& message);

// Shows a message box and returns. Used for the errors the run survives.
void showMessage(const std::string& caption, const std::string& message);

// Runs a program's body and turns anything it throws into a fatal error, so an
// uncaught engine error ends the program with its message and a non-zero code.
int runGuarded(const char* programName, int (*body)(int, char**), int argc, char** argv);
