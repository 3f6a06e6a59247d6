#pragma once

// Turns a fuzzer's bytes into typed choices. Every read takes bytes from the front and,
// once the bytes run out, returns the smallest choice (0, false, the first entry), so a
// short input still builds a whole, small case and the fuzzer can grow it byte by byte.
// The same decoder serves the libFuzzer build and the replay build (which is gcc, without
// clang's provider).

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace fuzz {

// Numbers that break arithmetic more often than random bit patterns do.
inline const double kEdgeNumbers[] = {
    0.0,
    -0.0,
    1.0,
    -1.0,
    0.5,
    2.0,
    10.0,
    -10.0,
    100.0,
    255.0,
    256.0,
    1e-9,
    1e-300,
    std::numeric_limits<double>::denorm_min(),
    1e6,
    -1e6,
    1e308,
    -1e308,
    std::numeric_limits<double>::max(),
    std::numeric_limits<double>::infinity(),
    -std::numeric_limits<double>::infinity(),
    std::numeric_limits<double>::quiet_NaN(),
    2147483647.0,
    2147483648.0,
    -2147483649.0,
    90.0,
    180.0,
    360.0,
};

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    bool exhausted() const { return m_pos >= m_size; }
    std::size_t remaining() const { return m_size - m_pos; }

    std::uint8_t byte() { return exhausted() ? 0 : m_data[m_pos++]; }
    bool flag() { return (byte() & 1) != 0; }

    // A whole number from `low` to `high`, both included (low <= high).
    int between(int low, int high) {
        const std::uint64_t span = static_cast<std::uint64_t>(static_cast<std::int64_t>(high) - low) + 1;
        std::uint64_t raw = 0;
        for (std::uint64_t reach = 1; reach < span; reach <<= 8)
            raw = (raw << 8) | byte();
        return static_cast<int>(low + static_cast<std::int64_t>(raw % span));
    }

    template <class T, std::size_t N>
    const T& pick(const T (&table)[N]) {
        return table[static_cast<std::size_t>(between(0, static_cast<int>(N) - 1))];
    }

    // Any double, non-finite ones included: an edge number, a small whole or quarter
    // number, or eight raw bytes.
    double number() {
        const std::uint8_t how = byte() % 4;
        if (how == 0)
            return pick(kEdgeNumbers);
        if (how == 1 || how == 2)
            return (static_cast<int>(byte()) - 128) * (how == 1 ? 1.0 : 0.25);
        return raw();
    }

    // The same without NaN or infinities, for values the host only ever hands over finite.
    double finite() {
        const double d = number();
        return std::isfinite(d) ? d : 0.0;
    }

    // A number of moderate size, as window coordinates and frames usually are.
    double moderate(double limit) {
        const double d = finite();
        return std::fabs(d) <= limit ? d : std::fmod(d, limit);
    }

    // A frame: of moderate size as a rule, folded into +-limit as moderate() folds, but one
    // up to +-3e9 is kept as it is. A scene's frames are doubles and go on past either end
    // of the 32-bit integers that the host's surrogates and ranges take.
    double frame(double limit) {
        const double d = finite();
        return std::fabs(d) <= 3e9 ? d : std::fmod(d, limit);
    }

    std::string text(std::size_t maxLength) {
        const std::size_t n = static_cast<std::size_t>(between(0, static_cast<int>(maxLength)));
        std::string out;
        for (std::size_t i = 0; i < n && !exhausted(); ++i)
            out.push_back(static_cast<char>(byte()));
        return out;
    }

private:
    double raw() {
        std::uint64_t bits = 0;
        for (int i = 0; i < 8; ++i)
            bits = (bits << 8) | byte();
        double d;
        std::memcpy(&d, &bits, sizeof d);
        return d;
    }

    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

}  // namespace fuzz
