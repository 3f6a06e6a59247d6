#pragma once

namespace LXMaths {

// Unlike std::clamp, low > high is allowed: the result is then `high`.
template <class T>
constexpr T clamp(const T& value, const T& low, const T& high) {
    const T v = value < low ? low : value;
    return v > high ? high : v;
}

}  // namespace LXMaths
