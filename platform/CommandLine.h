#pragma once

#include <stdexcept>
#include <string>

// The command-line conventions every program follows: --help (or -h) prints
// the usage to standard output and exits 0; --version prints one line and
// exits 0; a bad option or value prints "PROGRAM: what was wrong" and the
// usage to standard error and exits 2, before any window or file is opened.

// A mistake on the command line, saying which argument and why.
class UsageError : public std::runtime_error {
public:
    explicit UsageError(const std::string& what) : std::runtime_error(what) {}
};

// A program's name as it calls itself and its usage text, which starts with
// "usage: PROGRAM ..." and ends with a newline.
struct ProgramUsage {
    const char* program;
    const char* text;
};

// Answers --help, -h and --version wherever they stand before a "--"; returns
// only when none is given.
void answerHelpAndVersion(int argc, char** argv, const ProgramUsage& usage);

// Prints "PROGRAM: message", then the usage, to standard error and exits 2.
[[noreturn]] void refuseCommandLine(const ProgramUsage& usage, const std::string& message);

// Runs parse() after answering --help and --version, and refuses the command
// line with the message of any UsageError it throws.
template <typename Parse>
void parseCommandLine(int argc, char** argv, const ProgramUsage& usage, Parse parse) {
    answerHelpAndVersion(argc, argv, usage);
    try {
        parse();
    } catch (const UsageError& error) {
        refuseCommandLine(usage, error.what());
    }
}

// The arguments after the program name, taken one at a time. Each method that
// finds a mistake throws UsageError.
class CommandLine {
public:
    CommandLine(int argc, char** argv) : argc(argc), argv(argv) {}

    bool done() const { return next >= argc; }
    // The next argument, not taken yet; empty when none is left.
    std::string peek() const { return done() ? std::string() : argv[next]; }
    // Whether the next argument is an option: it starts with "-" and is not "-"
    // alone (which names standard input or output).
    bool atOption() const;
    // Takes the next argument.
    std::string take();
    // Takes the next argument when it is exactly this option.
    bool option(const char* name);
    // Takes the value that must follow the option just taken.
    std::string value(const char* option);
    // Takes a value that must be a finite number in [low, high].
    double number(const char* option, double low, double high);
    // Takes a value that must be a whole number in [low, high].
    long integer(const char* option, long low, long high);
    // Takes a value WIDTHxHEIGHT, each side a whole number of pixels in [low, high].
    void size(const char* option, int low, int high, int& width, int& height);
    // Throws the error for the next argument, an option nobody knows or an
    // operand the program takes none of (or no more of).
    [[noreturn]] void refuseNext() const;

private:
    int argc;
    char** argv;
    int next = 1;
};

// Reads a whole, finite decimal number (as "10", "-2.5" or "1e3"); false for
// anything else, trailing characters included.
bool parseNumber(const std::string& text, double& value);
// Reads WIDTHxHEIGHT of two whole decimal numbers (as "1920x1080"); false for
// anything else.
bool parseSize(const std::string& text, int& width, int& height);
