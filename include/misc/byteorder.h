// Big-endian 32-bit words on any host: the grid and analysis files keep
// their numbers most significant byte first.
#ifndef QV_BYTEORDER_H
#define QV_BYTEORDER_H

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace qvByteOrder {

inline bool hostIsBigEndian()
{
    const uint16_t probe = 1;
    unsigned char first;
    std::memcpy(&first, &probe, 1);
    return first == 0;
}

inline uint32_t swap32(uint32_t v)
{
    return (v >> 24) | ((v >> 8) & 0xff00u) | ((v << 8) & 0xff0000u) | (v << 24);
}

// Converts count 32-bit words in place between host and big-endian order
// (the same operation both ways).
inline void bigEndianWords(void *words, size_t count)
{
    if (hostIsBigEndian())
        return;
    unsigned char *p = (unsigned char *)words;
    for (size_t i = 0; i < count; ++i, p += 4) {
        uint32_t v;
        std::memcpy(&v, p, 4);
        v = swap32(v);
        std::memcpy(p, &v, 4);
    }
}

inline uint32_t fromBigEndian(const unsigned char *p)
{
    return ((uint32_t)p[0] << 24) | ((uint32_t)p[1] << 16) | ((uint32_t)p[2] << 8) | p[3];
}

inline void toBigEndian(uint32_t v, unsigned char *p)
{
    p[0] = (unsigned char)(v >> 24);
    p[1] = (unsigned char)(v >> 16);
    p[2] = (unsigned char)(v >> 8);
    p[3] = (unsigned char)v;
}

inline float floatFromBigEndian(const unsigned char *p)
{
    uint32_t v = fromBigEndian(p);
    float f;
    std::memcpy(&f, &v, 4);
    return f;
}

inline void floatToBigEndian(float f, unsigned char *p)
{
    uint32_t v;
    std::memcpy(&v, &f, 4);
    toBigEndian(v, p);
}

} // namespace qvByteOrder

#endif
