// Fields of the host's own records, read and written in place.
//
// The host allocates its records and hands over their addresses; the module
// never copies them. Every field is a little-endian value at a fixed byte
// offset, reached through memcpy so that no alignment or aliasing is assumed.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace cecp {

static_assert(std::endian::native == std::endian::little,
              "the host's records are little-endian and used in place");

template <typename T>
T LoadField(const void* record, std::size_t offset) {
    static_assert(std::is_trivially_copyable_v<T>);
    T value;
    std::memcpy(&value, static_cast<const unsigned char*>(record) + offset, sizeof value);
    return value;
}

template <typename T>
void StoreField(void* record, std::size_t offset, T value) {
    static_assert(std::is_trivially_copyable_v<T>);
    std::memcpy(static_cast<unsigned char*>(record) + offset, &value, sizeof value);
}

}  // namespace cecp
