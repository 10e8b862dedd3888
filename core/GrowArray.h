#pragma once

#include "platform/EngineError.h"

#include <cstring>
#include <string>
#include <type_traits>

// A growable array of plain items: data, capacity and count. Appending to a full
// array grows it to count + 10; indexing outside 0 .. count - 1 raises an
// EngineError. Items must be trivially copyable (the engine keeps pointers,
// timeline entries, camera keys and vertices in it).
template <typename T> class GrowArray {
    static_assert(std::is_trivially_copyable<T>::value, "GrowArray holds plain items");

public:
    GrowArray() = default;
    GrowArray(const GrowArray& other) { *this = other; }
    GrowArray& operator=(const GrowArray& other) {
        if (this != &other) {
            resize(other.capacity);
            count = other.count;
            if (other.capacity > 0) {
                memcpy(static_cast<void*>(data), other.data, sizeof(T) * other.capacity);
            }
        }
        return *this;
    }
    ~GrowArray() { delete[] data; }

    // Resizes to c items (at least 1); keeps the first min(old capacity, c) items and
    // the count. Places gained hold default items.
    void resize(int c) {
        if (c < 1) {
            c = 1;
        }
        T* block = new T[c]();
        int kept = capacity < c ? capacity : c;
        if (kept > 0) {
            memcpy(static_cast<void*>(block), data, sizeof(T) * kept);
        }
        delete[] data;
        data = block;
        capacity = c;
    }
    void reserve(int c) { resize(c); }

    void append(const T& item) {
        if (count >= capacity) {
            resize(count + 10);
        }
        data[count++] = item;
    }

    T& operator[](int index) { return data[checked(index)]; }
    const T& operator[](int index) const { return data[checked(index)]; }

    T* data = nullptr;
    int capacity = 0;
    int count = 0;

private:
    int checked(int index) const {
        if (index < 0 || index >= count) {
            throw EngineError("index " + std::to_string(index) + " outside an array of " +
                              std::to_string(count) + " items");
        }
        return index;
    }
};
