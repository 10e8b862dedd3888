#include "resources/Geometry.h"

#include "platform/EngineError.h"
#include "platform/GlState.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

GLenum mapAccess(bool read, bool write) {
    if (read && write) {
        return GL_READ_WRITE;
    }
    return read ? GL_READ_ONLY : GL_WRITE_ONLY;
}

// Attribute numbers 1 to 9 select a texture unit: 1 and 2 both unit 0.
GLenum textureUnitOf(int number) {
    int unit = number == 1 ? 0 : number - 2;
    return GL_TEXTURE0 + unit;
}

} // namespace

GLenum glBufferUsage(int code) {
    switch (code) {
    case 1:
    case 2:
        return GL_DYNAMIC_DRAW;
    case 3:
        return GL_DYNAMIC_COPY;
    case 4:
        return GL_STATIC_DRAW;
    case 5:
        return GL_STATIC_READ;
    case 6:
        return GL_STATIC_COPY;
    }
    throw EngineError("unknown buffer usage code " + std::to_string(code));
}

VertexBuffer::VertexBuffer(int attributeCount_, const int* componentCounts_, int vertexCount_,
                           int usage_, const float* initial)
    : usage(usage_), componentCounts(componentCounts_, componentCounts_ + attributeCount_),
      attributeCount(attributeCount_), vertexCount(vertexCount_) {
    // Raise for an unknown code before anything is created.
    GLenum hint = inBufferObject() ? glBufferUsage(usage) : 0;
    for (int count : componentCounts) {
        floatsPerVertex += count;
    }
    byteSize = vertexCount * floatsPerVertex * 4;
    if (inBufferObject()) {
        glGenBuffers(1, &bufferName);
        glBindBuffer(GL_ARRAY_BUFFER, bufferName);
        glBufferData(GL_ARRAY_BUFFER, byteSize, initial, hint);
    } else {
        storage.assign(static_cast<size_t>(vertexCount) * floatsPerVertex, 0.0f);
        if (initial != nullptr) {
            memcpy(storage.data(), initial, storage.size() * sizeof(float));
        }
        data = storage.data();
    }
}

VertexBuffer::~VertexBuffer() {
    if (inBufferObject()) {
        glDeleteBuffers(1, &bufferName);
    }
}

void VertexBuffer::update(const float* initial, int newVertexCount) {
    if (newVertexCount > 0) {
        vertexCount = newVertexCount;
    }
    byteSize = vertexCount * floatsPerVertex * 4;
    if (inBufferObject()) {
        glBindBuffer(GL_ARRAY_BUFFER, bufferName);
        glBufferData(GL_ARRAY_BUFFER, byteSize, initial, glBufferUsage(usage));
    } else {
        storage.assign(static_cast<size_t>(vertexCount) * floatsPerVertex, 0.0f);
        if (initial != nullptr) {
            memcpy(storage.data(), initial, storage.size() * sizeof(float));
        }
        data = storage.data();
    }
}

float* VertexBuffer::map(bool read, bool write) {
    if (inBufferObject()) {
        glBindBuffer(GL_ARRAY_BUFFER, bufferName);
        data = static_cast<float*>(glMapBuffer(GL_ARRAY_BUFFER, mapAccess(read, write)));
    }
    return data;
}

void VertexBuffer::unmap() {
    if (inBufferObject()) {
        glBindBuffer(GL_ARRAY_BUFFER, bufferName);
        glUnmapBuffer(GL_ARRAY_BUFFER);
    }
}

int VertexBuffer::offsetOf(int attribute) const {
    int offset = 0;
    for (int a = 0; a < attribute; ++a) {
        offset += componentCounts[a];
    }
    return offset * 4;
}

void VertexBuffer::enable(int attribute, int number) {
    if (number >= 12 && number <= 16) {
        return;
    }
    int components = componentCounts.at(attribute);
    GLsizei stride = strideBytes();
    const char* pointer;
    if (inBufferObject()) {
        glBindBuffer(GL_ARRAY_BUFFER, bufferName);
        pointer = reinterpret_cast<const char*>(static_cast<uintptr_t>(offsetOf(attribute)));
    } else {
        glBindBuffer(GL_ARRAY_BUFFER, 0);
        pointer = reinterpret_cast<const char*>(data) + offsetOf(attribute);
    }
    if (number > 16) {
        glEnableVertexAttribArray(number);
        glVertexAttribPointer(number, components, GL_FLOAT, GL_FALSE, stride, pointer);
    } else if (number == 0) {
        glEnableClientState(GL_VERTEX_ARRAY);
        glVertexPointer(components, GL_FLOAT, stride, pointer);
    } else if (number == 10) {
        glEnableClientState(GL_NORMAL_ARRAY);
        glNormalPointer(GL_FLOAT, stride, pointer);
    } else if (number == 11) {
        glEnableClientState(GL_COLOR_ARRAY);
        glColorPointer(components, GL_FLOAT, stride, pointer);
    } else if (number >= 1 && number <= 9) {
        glClientActiveTexture(textureUnitOf(number));
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glTexCoordPointer(components, GL_FLOAT, stride, pointer);
    }
}

void VertexBuffer::disable(int number) {
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    if (number > 16) {
        glDisableVertexAttribArray(number);
    } else if (number == 0) {
        glDisableClientState(GL_VERTEX_ARRAY);
    } else if (number == 10) {
        glDisableClientState(GL_NORMAL_ARRAY);
    } else if (number == 11) {
        glDisableClientState(GL_COLOR_ARRAY);
    } else if (number >= 1 && number <= 9) {
        glClientActiveTexture(textureUnitOf(number));
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    }
}

void VertexBuffer::drawArrays(int primitive, int first, int count) {
    GLenum mode = glPrimitive(primitive);
    // Never past the last vertex: client arrays would be read outside their storage.
    int n = std::min(count == -1 ? vertexCount : count, vertexCount - first);
    if (first < 0 || n <= 0) {
        return;
    }
    glDrawArrays(mode, first, n);
}

IndexBuffer::IndexBuffer(int indexCount_, int usage_, const uint32_t* indices)
    : usage(usage_), indexCount(indexCount_) {
    GLenum hint = inBufferObject() ? glBufferUsage(usage) : 0;
    if (inBufferObject()) {
        glGenBuffers(1, &bufferName);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, bufferName);
        glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(indexCount) * 4, indices,
                     hint);
    } else {
        storage.assign(static_cast<size_t>(indexCount), 0u);
        if (indices != nullptr) {
            memcpy(storage.data(), indices, storage.size() * sizeof(uint32_t));
        }
        data = storage.data();
    }
}

IndexBuffer::~IndexBuffer() {
    if (inBufferObject()) {
        glDeleteBuffers(1, &bufferName);
    }
}

uint32_t* IndexBuffer::map(bool read, bool write) {
    if (inBufferObject()) {
        glBindBuffer(GL_ARRAY_BUFFER, bufferName);
        data = static_cast<uint32_t*>(glMapBuffer(GL_ARRAY_BUFFER, mapAccess(read, write)));
    }
    return data;
}

void IndexBuffer::unmap() {
    if (inBufferObject()) {
        glBindBuffer(GL_ARRAY_BUFFER, bufferName);
        glUnmapBuffer(GL_ARRAY_BUFFER);
    }
}

void IndexBuffer::drawIndexed(int primitive, int first, int count) {
    GLenum mode = glPrimitive(primitive);
    // -1 stands for the whole index count; never draw past the last index.
    int n = std::min(count == -1 ? indexCount : count, indexCount - first);
    if (first < 0 || n <= 0) {
        return;
    }
    if (inBufferObject()) {
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, bufferName);
        glDrawElements(mode, n, GL_UNSIGNED_INT,
                       reinterpret_cast<const void*>(static_cast<uintptr_t>(first) * 4));
    } else {
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
        glDrawElements(mode, n, GL_UNSIGNED_INT, data + first);
    }
}

Geometry::~Geometry() {
    for (VertexBuffer* buffer : vertexBuffers) {
        delete buffer;
    }
    delete indexBuffer;
}

void Geometry::addBinding(int slot, int attribute, int number) {
    if (slot < 0 || slot >= slotCount) {
        throw EngineError("geometry slot " + std::to_string(slot) + " outside 0 to 15");
    }
    bindings.push_back({slot, attribute, number});
}

void Geometry::draw() {
    for (const AttributeBinding& binding : bindings) {
        if (VertexBuffer* buffer = vertexBuffers[binding.slot]) {
            buffer->enable(binding.attribute, binding.number);
        }
    }
    if (indexBuffer != nullptr) {
        indexBuffer->drawIndexed(primitive, 0, -1);
    } else {
        for (VertexBuffer* buffer : vertexBuffers) {
            if (buffer != nullptr) {
                buffer->drawArrays(primitive, 0, -1);
                break;
            }
        }
    }
    for (const AttributeBinding& binding : bindings) {
        if (VertexBuffer* buffer = vertexBuffers[binding.slot]) {
            buffer->disable(binding.number);
        }
    }
}
