#pragma once

#include "host/host_api.h"

#include <vector>

// The frame being evaluated or drawn.
class HOST_API MO_FrameKey {
public:
    MO_FrameKey() = default;
    explicit MO_FrameKey(double frame) : m_frame(frame) {}
    double frame() const { return m_frame; }

private:
    double m_frame = 1.0;
};

// The frames an edit applies to: [first, last], or every frame when infinite. The edge
// frames are first and last; the passive frames are their outer neighbours, which keep
// their value when the range is offset.
class HOST_API MO_FrameRange {
public:
    MO_FrameRange() = default;  // infinite
    MO_FrameRange(double first, double last)
        : m_infinite(false), m_first(first < last ? first : last), m_last(first < last ? last : first) {}
    static MO_FrameRange infinite() { return MO_FrameRange(); }

    bool isInfinite() const { return m_infinite; }
    double first() const { return m_first; }
    double last() const { return m_last; }
    bool isFrameEnabled(double frame) const { return m_infinite || (frame >= m_first && frame <= m_last); }
    std::vector<double> edgeFrames() const {
        if (m_infinite)
            return {};
        if (m_first == m_last)
            return {m_first};
        return {m_first, m_last};
    }
    std::vector<double> passiveFrames() const {
        if (m_infinite)
            return {};
        return {m_first - 1.0, m_last + 1.0};
    }

private:
    bool m_infinite = true;
    double m_first = 0.0;
    double m_last = 0.0;
};
