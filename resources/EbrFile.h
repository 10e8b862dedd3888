#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One vertex as an EBR file stores it: position and one texture coordinate, with
// v as written (the mesh negates it when it builds its vertex records).
struct EbrVertex {
    float x = 0.0f, y = 0.0f, z = 0.0f;
    float u = 0.0f, v = 0.0f;
};

// One part: an indexed triangle list. The name is carried by the file but not
// used by the player.
struct EbrPart {
    std::string name;
    std::vector<EbrVertex> vertices;
    std::vector<uint32_t> indices; // three per triangle
};

// Longest part name a file may carry.
constexpr uint32_t ebrMaxNameLength = 256;

// Parses an EBR image in memory. On damage returns false with the reason:
// truncation, counts the bytes cannot hold, a name longer than 256 bytes, an
// index that is not below the part's vertex count. Bytes after the last part are
// ignored; unread, when given, receives their count.
bool readEbr(const unsigned char* data, size_t size, std::vector<EbrPart>& parts,
             std::string& error, size_t* unread = nullptr);
bool readEbrFile(const std::string& path, std::vector<EbrPart>& parts, std::string& error,
                 size_t* unread = nullptr);

// The file image of the parts. Fails for a name longer than 256 bytes, an index
// count that is not a multiple of 3 or an index outside the part's vertices.
bool encodeEbr(const std::vector<EbrPart>& parts, std::vector<unsigned char>& bytes,
               std::string& error);
bool writeEbrFile(const std::string& path, const std::vector<EbrPart>& parts, std::string& error);

// The records a part is drawn from: 8 floats a vertex (position, smooth normal,
// u and the negated v, matching top-row-first textures). Indices must be below
// the vertex count.
void ebrVertexRecords(const EbrPart& part, std::vector<float>& records);

// Smooth normals over interleaved records of `stride` floats holding the position
// at float 0 and the normal at float 3. Each triangle adds its unit face normal
// (p0 - p1) x (p2 - p1) to its three vertices, whatever its area; with normalise
// every sum is scaled to unit length. Degenerate triangles add nothing and
// vertices left at zero stay zero. Indices must be below vertexCount.
void computeSmoothNormals(float* records, size_t stride, size_t vertexCount,
                          const uint32_t* indices, size_t indexCount, bool normalise);
