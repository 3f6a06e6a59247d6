#include "host/scene/LXTimedValue.h"

#include "host/scene/AT_Attr.h"

#include <algorithm>
#include <cmath>

namespace {

bool frameLess(const LXCtrlPt& p, double frame) {
    return p.frame < frame;
}

// Hermite basis on t in [0, 1] with end values a, b and slopes (per unit t) ma, mb.
double hermite(double a, double b, double ma, double mb, double t) {
    const double t2 = t * t, t3 = t2 * t;
    return (2 * t3 - 3 * t2 + 1) * a + (t3 - 2 * t2 + t) * ma + (-2 * t3 + 3 * t2) * b + (t3 - t2) * mb;
}

}  // namespace

void LXCtrlPts::noteChanged() const {
    if (m_owner)
        m_owner->noteChanged();
    else
        UT_EditCount::note();
}

LXCtrlPts::iterator LXCtrlPts::getLowerBound(double frame) {
    noteChanged();
    return std::lower_bound(m_pts.begin(), m_pts.end(), frame, frameLess);
}

LXCtrlPts::const_iterator LXCtrlPts::getLowerBound(double frame) const {
    return std::lower_bound(m_pts.begin(), m_pts.end(), frame, frameLess);
}

LXCtrlPts::iterator LXCtrlPts::find(double frame) {
    auto it = getLowerBound(frame);
    return it != m_pts.end() && it->frame == frame ? it : m_pts.end();
}

LXCtrlPts::const_iterator LXCtrlPts::find(double frame) const {
    auto it = getLowerBound(frame);
    return it != m_pts.end() && it->frame == frame ? it : m_pts.end();
}

LXCtrlPts::iterator LXCtrlPts::insert(const LXCtrlPt& pt) {
    noteChanged();
    auto it = getLowerBound(pt.frame);
    if (it != m_pts.end() && it->frame == pt.frame) {
        *it = pt;
        return it;
    }
    return m_pts.insert(it, pt);
}

LXCtrlPts::iterator LXCtrlPts::erase(iterator it) {
    noteChanged();
    return m_pts.erase(it);
}

LXTimedValue::~LXTimedValue() = default;

void LXTimedValue::noteChanged() const {
    if (m_links == 0)
        UT_EditCount::note(nullptr, nullptr);
    else if (m_links == 1 && m_animates)
        m_animates->noteChanged();
    else
        UT_EditCount::note();
}

void LXTimedValue::linkedTo(const AT_Attr* attribute) {
    m_animates = ++m_links == 1 ? attribute : nullptr;
}

void LXTimedValue::unlinkedFrom(const AT_Attr* attribute) {
    // Of several links, which one is left is not kept: the curve's changes then name no
    // attribute, which is always safe.
    m_animates = --m_links == 0 || m_animates != attribute ? nullptr : m_animates;
}

void LXTvSocket::link(LXTimedValue* tv) {
    if (m_linked)
        m_linked->unlinkedFrom(m_attr);
    m_linked = tv;
    if (tv)
        tv->linkedTo(m_attr);
    if (m_attr)
        m_attr->noteChanged();
    else
        UT_EditCount::note();
}

bool LXTimedValue::hasControlPointAt(double frame) const {
    return m_pts.find(frame) != m_pts.end();
}

const LXCtrlPt* LXTimedValue::findControlPoint(double frame, std::size_t* slot, const AT_Attr*, bool& found,
                                               void*) const {
    const auto it = m_pts.find(frame);
    found = it != m_pts.end();
    if (!found)
        return nullptr;
    if (slot)
        *slot = static_cast<std::size_t>(it - m_pts.begin());
    return &*it;
}

bool LXTimedValue::setValue(double frame, double value, bool constantSegment, bool forceKey) {
    auto it = m_pts.find(frame);
    if (it != m_pts.end()) {
        // A point keeps its segment kind: `constantSegment` shapes only a point made here.
        // Otherwise writing the old value back could not undo an edit of a held key.
        it->value = value;
        return true;
    }
    if (!forceKey && !isEmpty() && evaluate(frame) == value)
        return true;
    LXCtrlPt pt;
    pt.frame = frame;
    pt.value = value;
    pt.constantSegment = constantSegment;
    m_pts.insert(pt);
    return true;
}

void LXTimedValue::endModif(double) {
    noteChanged();
    ++m_modifications;
}

std::vector<std::pair<double, double>> LXTimedValue::keys() const {
    std::vector<std::pair<double, double>> out;
    out.reserve(m_pts.size());
    for (const LXCtrlPt& p : m_pts)
        out.emplace_back(p.frame, p.value);
    return out;
}

bool LXTimedValue::range(double& lo, double& hi) const {
    lo = HUGE_VAL, hi = -HUGE_VAL;
    bool finite = true;
    const auto take = [&](double v) {
        finite = finite && std::isfinite(v);
        lo = std::min(lo, v), hi = std::max(hi, v);
    };
    if (const auto* expression = dynamic_cast<const LXExprTimedValue*>(this)) {
        for (const auto& [frame, value] : expression->keys())
            take(value);
    } else {
        // Outside its points a curve holds the nearest point's value; between two it stays
        // within their values, but for the smooth kind, whose cubic stays within the hull
        // of its Bezier control values.
        const auto* smooth = dynamic_cast<const LXBezierTimedValue*>(this);
        for (std::size_t i = 0; i < m_pts.size(); ++i) {
            take(m_pts[i].value);
            if (smooth && i + 1 < m_pts.size() && !m_pts[i].constantSegment) {
                const double span = m_pts[i + 1].frame - m_pts[i].frame;
                take(m_pts[i].value + smooth->slopeAt(i) * span / 3.0);
                take(m_pts[i + 1].value - smooth->slopeAt(i + 1) * span / 3.0);
            }
        }
    }
    // A value that is not a number bounds nothing.
    return finite && lo <= hi;
}

double LXTimedValue::evaluateControlPoints(double frame) const {
    if (m_pts.empty())
        return 0.0;
    auto it = m_pts.getLowerBound(frame);
    if (it == m_pts.begin())
        return it->value;  // at or before the first point
    if (it == m_pts.end())
        return m_pts[m_pts.size() - 1].value;
    if (it->frame == frame)
        return it->value;
    const std::size_t i = static_cast<std::size_t>(it - m_pts.begin()) - 1;
    if (m_pts[i].constantSegment)
        return m_pts[i].value;
    return interpolate(i, frame);
}

double LXBezierTimedValue::slopeAt(std::size_t i) const {
    const std::size_t n = m_pts.size();
    if (n < 2 || m_flat)
        return 0.0;
    const std::size_t lo = i == 0 ? 0 : i - 1;
    const std::size_t hi = i + 1 == n ? i : i + 1;
    return (m_pts[hi].value - m_pts[lo].value) / (m_pts[hi].frame - m_pts[lo].frame);
}

double LXBezierTimedValue::interpolate(std::size_t i, double frame) const {
    const LXCtrlPt& a = m_pts[i];
    const LXCtrlPt& b = m_pts[i + 1];
    const double span = b.frame - a.frame;
    const double t = (frame - a.frame) / span;
    return hermite(a.value, b.value, slopeAt(i) * span, slopeAt(i + 1) * span, t);
}

double LXEaseTimedValue::interpolate(std::size_t i, double frame) const {
    const LXCtrlPt& a = m_pts[i];
    const LXCtrlPt& b = m_pts[i + 1];
    const double t = (frame - a.frame) / (b.frame - a.frame);
    return hermite(a.value, b.value, 0.0, 0.0, t);
}

double LXVeloBasedTimedValue::travelled(double t, double accel, double decel) {
    accel = std::clamp(accel, 0.0, 1.0);
    decel = std::clamp(decel, 0.0, 1.0);
    if (accel + decel > 1.0) {
        // Shares that overlap are scaled down to meet in the middle of the segment.
        const double k = 1.0 / (accel + decel);
        accel *= k;
        decel *= k;
    }
    // Trapezoidal speed: ramps up over [0, accel], cruises, ramps down over [1 - decel, 1];
    // the cruising speed makes the whole distance 1.
    const double vmax = 2.0 / (2.0 - accel - decel);
    if (t < accel)
        return vmax * t * t / (2.0 * accel);
    if (t > 1.0 - decel) {
        const double r = 1.0 - t;
        return 1.0 - vmax * r * r / (2.0 * decel);
    }
    return vmax * (accel / 2.0 + (t - accel));
}

double LXVeloBasedTimedValue::interpolate(std::size_t i, double frame) const {
    const LXCtrlPt& a = m_pts[i];
    const LXCtrlPt& b = m_pts[i + 1];
    const double t = (frame - a.frame) / (b.frame - a.frame);
    return a.value + (b.value - a.value) * travelled(t, a.easeOut, b.easeIn);
}

double LXFnc2DTimedValue::interpolate(std::size_t i, double frame) const {
    const LXCtrlPt& a = m_pts[i];
    const LXCtrlPt& b = m_pts[i + 1];
    const double t = (frame - a.frame) / (b.frame - a.frame);
    return a.value + (b.value - a.value) * t;
}

LXExprTimedValue::LXExprTimedValue(std::vector<std::pair<double, double>> samples) : m_samples(std::move(samples)) {
    std::stable_sort(m_samples.begin(), m_samples.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
}

double LXExprTimedValue::evaluate(double frame) const {
    if (m_samples.empty())
        return 0.0;
    auto it = std::lower_bound(m_samples.begin(), m_samples.end(), frame,
                               [](const auto& s, double f) { return s.first < f; });
    if (it == m_samples.begin())
        return it->second;
    if (it == m_samples.end())
        return m_samples.back().second;
    if (it->first == frame)
        return it->second;
    const auto& a = *(it - 1);
    const auto& b = *it;
    return a.second + (b.second - a.second) * (frame - a.first) / (b.first - a.first);
}

const LXCtrlPt* LXExprTimedValue::findControlPoint(double, std::size_t*, const AT_Attr*, bool& found, void*) const {
    found = false;
    return nullptr;
}

LXTimedValue* LXTvSocket::createTimedValue(bool smooth) {
    return new LXBezierTimedValue(!smooth);
}
