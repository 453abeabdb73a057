// Little-endian reads and writes of 16- and 32-bit fields: the order of every number in the
// driver socket's frames, the control requests and the USB descriptors. A plain header (no Qt,
// no library symbols), so the library, its endpoint, the simulator and the tools share it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kesto::le {

inline void put16(uint8_t *p, uint16_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

inline void put32(uint8_t *p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

inline uint16_t get16(const uint8_t *p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

inline uint32_t get32(const uint8_t *p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16
           | static_cast<uint32_t>(p[3]) << 24;
}

// A field of a received buffer; 0 when the buffer ends before the field does, so a short
// request from a peer is never read past its end.
inline uint32_t get32(const std::vector<uint8_t> &v, size_t at)
{
    return at <= v.size() && v.size() - at >= 4 ? get32(v.data() + at) : 0;
}

// Appends a field to a reply being built.
inline void add16(std::vector<uint8_t> &out, uint16_t v)
{
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

inline void add32(std::vector<uint8_t> &out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

} // namespace kesto::le
