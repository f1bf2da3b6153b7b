#include "core/namekey.h"

#include <QRandomGenerator>
#include <QtEndian>

namespace namekey {
namespace {
inline std::uint64_t rotl(std::uint64_t x, int b) { return (x << b) | (x >> (64 - b)); }

struct State {
    std::uint64_t v0, v1, v2, v3;
    void round()
    {
        v0 += v1;
        v1 = rotl(v1, 13);
        v1 ^= v0;
        v0 = rotl(v0, 32);
        v2 += v3;
        v3 = rotl(v3, 16);
        v3 ^= v2;
        v0 += v3;
        v3 = rotl(v3, 21);
        v3 ^= v0;
        v2 += v1;
        v1 = rotl(v1, 17);
        v1 ^= v2;
        v2 = rotl(v2, 32);
    }
};

// The words are little-endian whatever the processor.
inline std::uint64_t load64(const unsigned char *p) { return qFromLittleEndian<quint64>(p); }

struct Secret {
    std::uint64_t k0, k1;
};

const Secret &secret()
{
    static const Secret key = [] {
        Secret s;
        QRandomGenerator::system()->generate(&s.k0, &s.k0 + 1);
        QRandomGenerator::system()->generate(&s.k1, &s.k1 + 1);
        return s;
    }();
    return key;
}
} // namespace

template <int C, int D>
std::uint64_t sipHash(const void *data, std::size_t size, std::uint64_t k0, std::uint64_t k1)
{
    State s{k0 ^ 0x736f6d6570736575ULL, k1 ^ 0x646f72616e646f6dULL, k0 ^ 0x6c7967656e657261ULL,
            k1 ^ 0x7465646279746573ULL};
    const auto *p = static_cast<const unsigned char *>(data);
    const std::size_t whole = size - size % 8;
    for (std::size_t at = 0; at < whole; at += 8) {
        const std::uint64_t m = load64(p + at);
        s.v3 ^= m;
        for (int i = 0; i < C; ++i)
            s.round();
        s.v0 ^= m;
    }
    // The last word: the remaining bytes, and the length in its top byte.
    std::uint64_t last = std::uint64_t(size) << 56;
    for (std::size_t i = whole; i < size; ++i)
        last |= std::uint64_t(p[i]) << (8 * (i - whole));
    s.v3 ^= last;
    for (int i = 0; i < C; ++i)
        s.round();
    s.v0 ^= last;
    s.v2 ^= 0xff;
    for (int i = 0; i < D; ++i)
        s.round();
    return s.v0 ^ s.v1 ^ s.v2 ^ s.v3;
}

template std::uint64_t sipHash<1, 3>(const void *, std::size_t, std::uint64_t, std::uint64_t);
template std::uint64_t sipHash<2, 4>(const void *, std::size_t, std::uint64_t, std::uint64_t);

std::size_t hashName(QStringView name, std::size_t seed)
{
    const Secret &key = secret();
    return std::size_t(sipHash<1, 3>(name.utf16(), std::size_t(name.size()) * sizeof(char16_t),
                                     key.k0 ^ std::uint64_t(seed), key.k1));
}
} // namespace namekey
