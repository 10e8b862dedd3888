#pragma once

#include <stdexcept>
#include <string>

// What the engine raises for a programming error it cannot go on from: an index
// outside a GrowArray, an integer code outside one of the GL code tables. Nothing
// in the player catches it; the program entry reports it and exits non-zero.
class EngineError : public std::runtime_error {
public:
    explicit EngineError(const std::string& what) : std::runtime_error(what) {}
};
