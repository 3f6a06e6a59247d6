#include "host/draw/VS_NodeSweep.h"

#include "host/scene/LXTimedValue.h"
#include "host/scene/MO_Frame.h"
#include "host/scene/MO_Node.h"
#include "host/scene/components.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <optional>

VS_Reading::VS_Reading(std::vector<const AT_Attr*>& reads) : m_reads(reads), m_previous(AT_ReadObserver::s_current) {
    m_reads.clear();
    AT_ReadObserver::s_current = this;
}

VS_Reading::~VS_Reading() {
    AT_ReadObserver::s_current = m_previous;
}

bool VS_Animated(const AT_Attr& a) {
    const QString* type = &a.typeName();
    if (type == &AT_DoubleAttr::TypeString()) {
        const auto& d = static_cast<const AT_DoubleAttr&>(a);
        const LXTimedValue* tv = d.timedValue();
        return !d.surrogate() && tv && !tv->isEmpty();
    }
    if (type == &AT_BoolAttr::TypeString())
        return !static_cast<const AT_BoolAttr&>(a).stepped().keys().empty();
    if (type == &AT_StringAttr::TypeString())
        return !static_cast<const AT_StringAttr&>(a).stepped().keys().empty();
    return false;
}

Math::Matrix4x4 VS_MatrixRange::magnitude() const {
    Math::Matrix4x4 m;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            m(r, c) = std::max(std::abs(lo(r, c)), std::abs(hi(r, c)));
    return m;
}

VS_MatrixRange operator*(const VS_MatrixRange& a, const VS_MatrixRange& b) {
    VS_MatrixRange p;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            double lo = 0.0, hi = 0.0;
            for (int k = 0; k < 4; ++k) {
                const double x0 = a.lo(r, k), x1 = a.hi(r, k), y0 = b.lo(k, c), y1 = b.hi(k, c);
                const double q[4] = {x0 * y0, x0 * y1, x1 * y0, x1 * y1};
                lo += *std::min_element(q, q + 4);
                hi += *std::max_element(q, q + 4);
            }
            p.lo(r, c) = lo;
            p.hi(r, c) = hi;
        }
    return p;
}

namespace {

// While it lives, the attributes it was given report the values it was given.
class Probe : public AT_ValueProbe {
public:
    Probe(const std::vector<const AT_Attr*>& attributes, const std::vector<double>& values)
        : m_attributes(attributes), m_values(values), m_previous(AT_ValueProbe::s_current) {
        AT_ValueProbe::s_current = this;
    }
    ~Probe() override { AT_ValueProbe::s_current = m_previous; }
    bool value(const AT_Attr& attribute, double& value) const override {
        for (std::size_t k = 0; k < m_attributes.size(); ++k)
            if (m_attributes[k] == &attribute) {
                value = m_values[k];
                return true;
            }
        return false;
    }

private:
    const std::vector<const AT_Attr*>& m_attributes;
    const std::vector<double>& m_values;
    const AT_ValueProbe* m_previous;
};

Math::Matrix4x4 local(const MO_Node& node, const MO_FrameKey& key, std::vector<const AT_Attr*>& reads) {
    Math::Matrix4x4 m;
    const VS_Reading reading(reads);
    for (const auto& t : node.localTransformations())
        t->apply(key, m);
    return m;
}

// The animated values a node's transformations read, each once, and their ranges.
bool varying(const std::vector<const AT_Attr*>& reads, std::vector<const AT_Attr*>& attributes,
             std::vector<double>& lo, std::vector<double>& hi) {
    for (const AT_Attr* a : reads) {
        if (!VS_Animated(*a) || std::find(attributes.begin(), attributes.end(), a) != attributes.end())
            continue;
        double l = 0.0, h = 0.0;
        if (&a->typeName() != &AT_DoubleAttr::TypeString() ||
            !static_cast<const AT_DoubleAttr*>(a)->timedValue()->range(l, h))
            return false;
        attributes.push_back(a);
        lo.push_back(l);
        hi.push_back(h);
    }
    return true;
}

}  // namespace

bool VS_LocalRange(const MO_Node& node, double frame, VS_MatrixRange& range) {
    const MO_FrameKey key(frame);
    std::vector<const AT_Attr*> reads, again, attributes;
    std::vector<double> lo, hi;
    range = VS_MatrixRange::point(local(node, key, reads));
    if (!varying(reads, attributes, lo, hi) || attributes.size() > 3)
        return false;
    if (attributes.empty())
        return true;
    std::vector<double> values(attributes.size());
    const auto probed = [&] {
        const Probe probe(attributes, values);
        const Math::Matrix4x4 m = local(node, key, again);
        return again == reads ? std::optional<Math::Matrix4x4>(m) : std::nullopt;
    };
    const std::size_t corners = std::size_t(1) << attributes.size();
    double sum[16] = {};
    for (std::size_t c = 0; c < corners; ++c) {
        for (std::size_t k = 0; k < values.size(); ++k)
            values[k] = (c >> k & 1) ? hi[k] : lo[k];
        const std::optional<Math::Matrix4x4> m = probed();
        if (!m)
            return false;
        for (int e = 0; e < 16; ++e) {
            const double v = (*m)(e / 4, e % 4);
            range.lo(e / 4, e % 4) = c ? std::min(range.lo(e / 4, e % 4), v) : v;
            range.hi(e / 4, e % 4) = c ? std::max(range.hi(e / 4, e % 4), v) : v;
            sum[e] += v;
        }
    }
    for (std::size_t k = 0; k < values.size(); ++k)
        values[k] = 0.5 * (lo[k] + hi[k]);
    const std::optional<Math::Matrix4x4> centre = probed();
    if (!centre)
        return false;
    // Within rounding an affine entry is at the centre the mean of the corners. An entry
    // that bends so little that this cannot tell strays from the corners' range by about
    // what it strays from that mean, which the range is widened by.
    for (int e = 0; e < 16; ++e) {
        const int r = e / 4, c = e % 4;
        const double tolerance = 1e-9 * (1.0 + std::max(std::abs(range.lo(r, c)), std::abs(range.hi(r, c))));
        if (!(std::abs((*centre)(r, c) - sum[e] / double(corners)) <= tolerance))
            return false;
        range.lo(r, c) -= tolerance;
        range.hi(r, c) += tolerance;
    }
    return true;
}

namespace {

// One row of a world box from its centre's and its half sides' reach on that axis. A float
// rounds to the nearest: two steps more each way keep the box around. A node that is
// nowhere in particular (a matrix not finite) is everywhere.
void boxRow(VS_BoundsTree::Box& w, int r, double lo, double hi) {
    const bool finite = std::isfinite(lo) && std::isfinite(hi);
    const float l = float(lo), h = float(hi);
    w.lo[r] = finite ? l - (std::abs(l) * 2.4e-7f + FLT_MIN) : -FLT_MAX;
    w.hi[r] = finite ? h + (std::abs(h) * 2.4e-7f + FLT_MIN) : FLT_MAX;
}

void centreAndHalf(const float* box, double* centre, double* half) {
    for (int i = 0; i < 3; ++i) {
        centre[i] = 0.5 * (double(box[i]) + box[3 + i]);
        half[i] = 0.5 * (double(box[3 + i]) - box[i]);
    }
}

}  // namespace

VS_BoundsTree::Box VS_WorldBox(const float* box, const Math::Matrix4x4& m) {
    double centre[3], half[3];
    centreAndHalf(box, centre, half);
    VS_BoundsTree::Box w;
    for (int r = 0; r < 3; ++r) {
        double c = m(r, 3), h = 0.0;
        for (int k = 0; k < 3; ++k) {
            c += m(r, k) * centre[k];
            h += std::abs(m(r, k)) * half[k];
        }
        boxRow(w, r, c - h, c + h);
    }
    return w;
}

VS_BoundsTree::Box VS_WorldBox(const float* box, const VS_MatrixRange& range) {
    double centre[3], half[3];
    centreAndHalf(box, centre, half);
    VS_BoundsTree::Box w;
    for (int r = 0; r < 3; ++r) {
        double lo = range.lo(r, 3), hi = range.hi(r, 3), h = 0.0;
        for (int k = 0; k < 3; ++k) {
            const double a = range.lo(r, k) * centre[k], b = range.hi(r, k) * centre[k];
            lo += std::min(a, b);
            hi += std::max(a, b);
            h += std::max(std::abs(range.lo(r, k)), std::abs(range.hi(r, k))) * half[k];
        }
        boxRow(w, r, lo - h, hi + h);
    }
    return w;
}
