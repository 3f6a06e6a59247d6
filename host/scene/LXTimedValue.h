#pragma once

// Animation functions of scalar attributes. Every kind but the expression keeps its control
// points sorted by frame in one contiguous array: evaluation and edits find their place by
// binary search, which keeps long curves cheap to edit.

#include "host/base/UT_EditCount.h"
#include "host/host_api.h"

#include <cstddef>
#include <memory>
#include <utility>
#include <vector>

class AT_Attr;
class CO_OrCommand;
class LXTimedValue;
class SLB_SelectedInterface;

struct HOST_API LXCtrlPt {
    double frame = 0.0;
    double value = 0.0;
    // Hold this value until the next control point instead of interpolating.
    bool constantSegment = false;
    // Velocity-based curves: the share (0 to 1) of the segment after this point spent
    // accelerating, and of the segment before it spent slowing down.
    double easeOut = 0.0;
    double easeIn = 0.0;
};

class HOST_API LXCtrlPts {
public:
    using iterator = std::vector<LXCtrlPt>::iterator;
    using const_iterator = std::vector<LXCtrlPt>::const_iterator;

    // Changes are counted in the name of `owner`, the timed value the points shape.
    explicit LXCtrlPts(const LXTimedValue* owner = nullptr) : m_owner(owner) {}
    // A copy of the points for another owner.
    LXCtrlPts(const LXCtrlPts& other, const LXTimedValue* owner) : m_owner(owner), m_pts(other.m_pts) {}
    LXCtrlPts(const LXCtrlPts& other) : LXCtrlPts(other, nullptr) {}
    // The points, the owner staying.
    LXCtrlPts& operator=(const LXCtrlPts& other) {
        noteChanged();
        m_pts = other.m_pts;
        return *this;
    }

    // Whoever takes a modifiable iterator may change points through it.
    iterator begin() {
        noteChanged();
        return m_pts.begin();
    }
    iterator end() {
        noteChanged();
        return m_pts.end();
    }
    const_iterator begin() const { return m_pts.begin(); }
    const_iterator end() const { return m_pts.end(); }
    std::size_t size() const { return m_pts.size(); }
    bool empty() const { return m_pts.empty(); }
    const LXCtrlPt& operator[](std::size_t i) const { return m_pts[i]; }
    LXCtrlPt& operator[](std::size_t i) {
        noteChanged();
        return m_pts[i];
    }

    // The first control point whose frame is not below `frame`.
    iterator getLowerBound(double frame);
    const_iterator getLowerBound(double frame) const;
    // The control point exactly at `frame`, or end().
    iterator find(double frame);
    const_iterator find(double frame) const;
    // Inserts in frame order; a point already at that frame is replaced.
    iterator insert(const LXCtrlPt& pt);
    iterator erase(iterator it);
    void clear() {
        noteChanged();
        m_pts.clear();
    }
    void reserve(std::size_t n) { m_pts.reserve(n); }

private:
    void noteChanged() const;

    const LXTimedValue* m_owner;
    std::vector<LXCtrlPt> m_pts;
};

class HOST_API LXTimedValue {
public:
    LXTimedValue() : m_pts(this) {}
    virtual ~LXTimedValue();
    // A copy is linked by no socket until one links it.
    LXTimedValue(const LXTimedValue& other)
        : m_pts(other.m_pts, this), m_selInterface(other.m_selInterface), m_modifications(other.m_modifications) {}
    LXTimedValue& operator=(const LXTimedValue& other) {
        m_pts = other.m_pts;
        m_selInterface = other.m_selInterface;
        m_modifications = other.m_modifications;
        return *this;
    }

    virtual double evaluate(double frame) const = 0;
    // True when the function defines no value of its own.
    virtual bool isEmpty() const = 0;
    virtual bool hasControlPointAt(double frame) const;
    // Sets `found` to whether a control point lies exactly at `frame`; when `slot` is given
    // it receives that point's index. Returns the point or null.
    virtual const LXCtrlPt* findControlPoint(double frame, std::size_t* slot, const AT_Attr* attr, bool& found,
                                             void* reserved) const;
    // Writes `value` at `frame`: changes the value of the control point there, or adds one
    // (holding its value when `constantSegment`) when the value differs from the curve or
    // `forceKey` asks for it. False when refused.
    virtual bool setValue(double frame, double value, bool constantSegment, bool forceKey);
    // Called once an edit at `frame` is complete.
    virtual void endModif(double frame);
    // The curve's keys as (frame, value) pairs, in frame order.
    virtual std::vector<std::pair<double, double>> keys() const;

    SLB_SelectedInterface* selInterface() const { return m_selInterface; }
    void setSelInterface(SLB_SelectedInterface* s) { m_selInterface = s; }

    LXCtrlPts& controlPoints() { return m_pts; }
    const LXCtrlPts& controlPoints() const { return m_pts; }

    // The least and the most the curve can be at any frame (its kinds never leave the hull
    // of their segments' control values); false when no bound is known.
    bool range(double& lo, double& hi) const;

    // How many edits have completed; lets observers tell a curve changed.
    unsigned long modificationCount() const { return m_modifications; }

    // Counts a change of the curve in the name of the attribute it animates: none when no
    // attribute follows it (nothing drawn can show it), and no name when several do.
    void noteChanged() const;
    // Kept by the sockets that link it.
    void linkedTo(const AT_Attr* attribute);
    void unlinkedFrom(const AT_Attr* attribute);

protected:
    // Value between a and b (a.frame < frame < b.frame); the shape of each kind.
    virtual double interpolate(std::size_t i, double frame) const = 0;
    // Shared evaluation of the kinds with control points: constant outside them,
    // `interpolate` inside unless a point holds its value.
    double evaluateControlPoints(double frame) const;

    LXCtrlPts m_pts;

private:
    SLB_SelectedInterface* m_selInterface = nullptr;
    unsigned long m_modifications = 0;
    // How many sockets link the curve, and the attribute of the one when there is one.
    int m_links = 0;
    const AT_Attr* m_animates = nullptr;
};

// A smooth curve: cubic between control points with slopes taken from the neighbours, so
// it passes through every point without corners. The end slopes follow the single
// neighbour: two points give a straight line. With flat tangents every point is a turning
// point instead (the curve eases in and out of each key).
class HOST_API LXBezierTimedValue : public LXTimedValue {
public:
    explicit LXBezierTimedValue(bool flatTangents = false) : m_flat(flatTangents) {}
    double evaluate(double frame) const override { return evaluateControlPoints(frame); }
    bool isEmpty() const override { return m_pts.empty(); }
    double slopeAt(std::size_t i) const;
    bool hasFlatTangents() const { return m_flat; }

protected:
    double interpolate(std::size_t i, double frame) const override;

private:
    bool m_flat;
};

// Eases out of every control point and into the next: flat at each point.
class HOST_API LXEaseTimedValue : public LXTimedValue {
public:
    double evaluate(double frame) const override { return evaluateControlPoints(frame); }
    bool isEmpty() const override { return m_pts.empty(); }

protected:
    double interpolate(std::size_t i, double frame) const override;
};

// Moves in a straight line from point to point; the point's ease shares shape the speed:
// it accelerates for `easeOut` of a segment, cruises, and slows down for the next point's
// `easeIn`. Without easing the motion is linear.
class HOST_API LXVeloBasedTimedValue : public LXTimedValue {
public:
    double evaluate(double frame) const override { return evaluateControlPoints(frame); }
    bool isEmpty() const override { return m_pts.empty(); }
    // Distance covered (0 to 1) at time t (0 to 1) of a segment with the given ease shares.
    static double travelled(double t, double accel, double decel);

protected:
    double interpolate(std::size_t i, double frame) const override;
};

// A function given by its graph: straight segments between (frame, value) points.
class HOST_API LXFnc2DTimedValue : public LXTimedValue {
public:
    double evaluate(double frame) const override { return evaluateControlPoints(frame); }
    bool isEmpty() const override { return m_pts.empty(); }
    // Adds to `macro` the commands that put `value` at `frame` on the graph.
    void addSetValueCmds(CO_OrCommand* macro, double frame, double value);

protected:
    double interpolate(std::size_t i, double frame) const override;
};

// Stands in for an expression: the value is computed from the frame, here from samples of
// the expression (straight between samples, constant outside). It holds no control point
// and refuses edits.
class HOST_API LXExprTimedValue : public LXTimedValue {
public:
    explicit LXExprTimedValue(std::vector<std::pair<double, double>> samples);
    double evaluate(double frame) const override;
    bool isEmpty() const override { return m_samples.empty(); }
    bool hasControlPointAt(double) const override { return false; }
    const LXCtrlPt* findControlPoint(double frame, std::size_t* slot, const AT_Attr* attr, bool& found,
                                     void* reserved) const override;
    bool setValue(double, double, bool, bool) override { return false; }
    std::vector<std::pair<double, double>> keys() const override { return m_samples; }

protected:
    double interpolate(std::size_t, double) const override { return 0.0; }

private:
    std::vector<std::pair<double, double>> m_samples;
};

// Where an attribute meets its animation. An attribute without a socket cannot be
// animated; one whose socket links nothing is not animated yet.
class HOST_API LXTvSocket {
public:
    explicit LXTvSocket(AT_Attr* attr) : m_attr(attr) {}
    AT_Attr* attribute() const { return m_attr; }
    LXTimedValue* linkedTimedValue() const { return m_linked; }
    void link(LXTimedValue* tv);
    // A new, empty timed value of the default kind; the caller owns it until it hands it to
    // the scene. `smooth` false gives its keys flat tangents.
    LXTimedValue* createTimedValue(bool smooth);

private:
    AT_Attr* m_attr;
    LXTimedValue* m_linked = nullptr;
};
