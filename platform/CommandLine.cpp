#include "platform/CommandLine.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifndef LUMORA_VERSION
#define LUMORA_VERSION "unknown"
#endif

void answerHelpAndVersion(int argc, char** argv, const ProgramUsage& usage) {
    for (int i = 1; i < argc && strcmp(argv[i], "--") != 0; ++i) {
        if (strcmp(argv[i], "--help") == 0 || strcmp(argv[i], "-h") == 0) {
            fputs(usage.text, stdout);
            exit(fflush(stdout) == 0 ? 0 : 1);
        }
        if (strcmp(argv[i], "--version") == 0) {
            printf("%s (Meridian) %s\n", usage.program, LUMORA_VERSION);
            exit(fflush(stdout) == 0 ? 0 : 1);
        }
    }
}

void refuseCommandLine(const ProgramUsage& usage, const std::string& message) {
    fflush(stdout);
    fprintf(stderr, "%s: %s\n%s", usage.program, message.c_str(), usage.text);
    exit(2);
}

bool CommandLine::atOption() const {
    return !done() && argv[next][0] == '-' && argv[next][1] != '\0';
}

std::string CommandLine::take() {
    if (done()) {
        throw UsageError("an argument is missing");
    }
    return argv[next++];
}

bool CommandLine::option(const char* name) {
    if (done() || strcmp(argv[next], name) != 0) {
        return false;
    }
    ++next;
    return true;
}

std::string CommandLine::value(const char* option) {
    if (done()) {
        throw UsageError(std::string(option) + " needs a value");
    }
    return argv[next++];
}

double CommandLine::number(const char* option, double low, double high) {
    std::string text = value(option);
    double result;
    if (!parseNumber(text, result)) {
        throw UsageError(std::string(option) + " needs a number, not \"" + text + "\"");
    }
    if (result < low || result > high) {
        char range[96];
        snprintf(range, sizeof range, "%g to %g", low, high);
        throw UsageError(std::string(option) + " " + text + " is out of range (" + range + ")");
    }
    return result;
}

long CommandLine::integer(const char* option, long low, long high) {
    std::string text = value(option);
    double result;
    if (!parseNumber(text, result) || result != std::floor(result)) {
        throw UsageError(std::string(option) + " needs a whole number, not \"" + text + "\"");
    }
    if (result < static_cast<double>(low) || result > static_cast<double>(high)) {
        throw UsageError(std::string(option) + " " + text + " is out of range (" +
                         std::to_string(low) + " to " + std::to_string(high) + ")");
    }
    return static_cast<long>(result);
}

void CommandLine::size(const char* option, int low, int high, int& width, int& height) {
    std::string text = value(option);
    if (!parseSize(text, width, height)) {
        throw UsageError(std::string(option) +
                         " needs WIDTHxHEIGHT in pixels, as 1920x1080, not \"" + text + "\"");
    }
    if (width < low || height < low || width > high || height > high) {
        throw UsageError(std::string(option) + " " + text + " is out of range (" +
                         std::to_string(low) + " to " + std::to_string(high) + " pixels a side)");
    }
}

void CommandLine::refuseNext() const {
    if (done()) {
        throw UsageError("an argument is missing");
    }
    if (atOption()) {
        throw UsageError(std::string("unknown option ") + argv[next]);
    }
    throw UsageError(std::string("unexpected argument \"") + argv[next] + "\"");
}

bool parseNumber(const std::string& text, double& value) {
    const char* start = text.c_str();
    char* end = nullptr;
    errno = 0;
    value = strtod(start, &end);
    return errno == 0 && end != start && *end == '\0' && std::isfinite(value);
}

bool parseSize(const std::string& text, int& width, int& height) {
    const size_t x = text.find('x');
    if (x == std::string::npos || x == 0 || x + 1 == text.size()) {
        return false;
    }
    long sides[2] = {0, 0};
    const std::string parts[2] = {text.substr(0, x), text.substr(x + 1)};
    for (int i = 0; i < 2; ++i) {
        if (parts[i].size() > 9 || parts[i].find_first_not_of("0123456789") != std::string::npos) {
            return false;
        }
        sides[i] = std::stol(parts[i]);
    }
    width = static_cast<int>(sides[0]);
    height = static_cast<int>(sides[1]);
    return true;
}
