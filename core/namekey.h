#pragma once
// Names as hash keys. Member names and the squelch and safe lists are
// looked up several times for every line of a busy channel, and the names
// come from other people, so the hash must be both quick for short keys and
// keyed with a secret (chosen names must not pile into one bucket).
//
// Qt's own string hash is keyed, but on a processor with AVX-512 and VAES
// the Qt 6.4 of Debian 12 took about 130 ns for a five-letter name in its
// AES code (11 ns with that code turned off, which also drops the key). The
// keys here use SipHash-1-3 instead: 10 to 25 ns for a name on that same
// machine.
#include <QString>
#include <QStringView>

#include <cstddef>
#include <cstdint>

namespace namekey {
// SipHash with C compression and D finalisation rounds over size bytes at
// data, keyed with k0 and k1, as its authors define it.
template <int C, int D>
std::uint64_t sipHash(const void *data, std::size_t size, std::uint64_t k0, std::uint64_t k1);
extern template std::uint64_t sipHash<1, 3>(const void *, std::size_t, std::uint64_t,
                                            std::uint64_t);
extern template std::uint64_t sipHash<2, 4>(const void *, std::size_t, std::uint64_t,
                                            std::uint64_t);

// The hash of a name's UTF-16 text under this process's secret key,
// mixed with seed (QHash's per-table seed).
std::size_t hashName(QStringView name, std::size_t seed);
} // namespace namekey

// A QString that hashes with namekey::hashName. It converts from QString,
// so a table keyed by it is looked up with a plain name.
class TNameKey {
public:
    TNameKey(const QString &name) : m_name(name) {} // NOLINT: converts on purpose
    const QString &name() const { return m_name; }
    friend bool operator==(const TNameKey &a, const TNameKey &b) { return a.m_name == b.m_name; }
    friend std::size_t qHash(const TNameKey &key, std::size_t seed = 0)
    {
        return namekey::hashName(key.m_name, seed);
    }

private:
    QString m_name;
};
