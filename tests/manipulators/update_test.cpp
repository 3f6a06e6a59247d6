// Every drag manipulator the host tells of property changes re-reads what it is told and
// keeps what it is not: told of nothing it drags as before, and told of new values it drags
// as one built from them would.

#include "host/commands/CO_Command.h"
#include "host/interaction/SLB_DragSession.h"
#include "host/interaction/SLB_ManipContext.h"
#include "tests/support/components.h"

#include <gtest/gtest.h>

#include <map>

using namespace rigkit_test;

namespace {

using Properties = std::map<QString, MO_PropertyValue>;

// Two sets of every key a drag manipulator re-reads, every value another. The second
// slider range is reversed, so that the rule that keeps max above min applies at each step.
// Both are on the screen, where under a slanted camera the slider's position changes its
// track; where the slider lies is chosen when it is built, and the 2D position's snap
// lists and parent transformation are read only then, so none of those is here.
const Properties kSets[2] = {
    {{"length", 0.5}, {"min", 0.0}, {"max", 10.0}, {"horizontal", true}, {"position", std::vector<double>{0.2, -0.1}},
     {"steps", 0.0}, {"screen_space", true}, {"xmin", -0.5}, {"ymin", -0.3}, {"xmax", 0.4}, {"ymax", 0.6}},
    {{"length", 0.2}, {"min", 20.0}, {"max", 3.0}, {"horizontal", false}, {"position", std::vector<double>{-0.4, 0.3}},
     {"steps", 5.0}, {"screen_space", true}, {"xmin", 0.1}, {"ymin", -0.1}, {"xmax", 0.3}, {"ymax", 0.2}},
};

MO_PropertyBag bagOf(const Properties& properties) {
    MO_PropertyBag bag;
    for (const auto& [key, value] : properties)
        bag.set(key, value);
    return bag;
}

// Every value of the node after each move of a drag under a slanted perspective camera,
// far each way so that limits bite, and after its release.
std::vector<double> dragged(Rig& rig) {
    SLB_DragContext context(&rig.scene);
    context.setCamera(Math::CameraTransformChain::perspective(400, 400, {4, -3, 5}, {0, 0, 0}, {0, 0, 1}, 40));
    context.setFrames(5, 5);
    CO_UndoHistory history;
    SLB_DragSession session(context, history);
    std::vector<double> out;
    // As a view shows them, a drag's preview included.
    const auto record = [&] {
        Math::Point2d p2;
        Math::Point3d p3;
        rig.p2->getValue(5, p2);
        rig.p3->getValue(5, p3);
        for (double v : {rig.d->valueAt(5), p2.x, p2.y, p3.x, p3.y, p3.z})
            out.push_back(v);
        for (const AT_ComplexAttr* a : {static_cast<AT_ComplexAttr*>(rig.r3), static_cast<AT_ComplexAttr*>(rig.s3)})
            for (double v : a->valuesAt(5))
                out.push_back(v);
    };
    EXPECT_TRUE(session.press(rig.node, {200, 200}));
    for (const Math::Point2d& w : {Math::Point2d(230, 185), Math::Point2d(120, 330), Math::Point2d(390, 10),
                                   Math::Point2d(0, 399), Math::Point2d(215, 260)}) {
        session.move(w);
        record();
    }
    session.release();
    record();
    // Undone, so that the next drag starts from the same values.
    history.undo();
    return out;
}

std::vector<double> draggedFresh(const Component& c, const Properties& properties) {
    Rig rig;
    EXPECT_TRUE(rig.install(c, bagOf(properties)));
    return dragged(rig);
}

std::vector<Component> listeningManipulators() {
    std::vector<Component> out;
    for (const Component& c : allComponents()) {
        Rig rig;
        if (c.family == Family::Manipulator && rig.install(c, MO_PropertyBag()) && rig.listener)
            out.push_back(c);
    }
    return out;
}

struct ManipulatorUpdate : ::testing::TestWithParam<Component> {};

TEST_P(ManipulatorUpdate, RereadsWhatItIsGivenAndKeepsTheRest) {
    const Component& c = GetParam();
    Rig rig;
    ASSERT_TRUE(rig.install(c, bagOf(kSets[0])));
    ASSERT_NE(rig.listener, nullptr);
    const std::vector<double> before = draggedFresh(c, kSets[0]);

    rig.listener->update(MO_PropertyBag());
    EXPECT_EQ(dragged(rig), before) << "after an empty update";
    EXPECT_NE(draggedFresh(c, kSets[1]), before) << "the two sets drag alike";

    // The second set's keys in two halves, every other key.
    Properties given = kSets[0], halves[2];
    int i = 0;
    for (const auto& [key, value] : kSets[1])
        halves[i++ % 2][key] = value;
    for (const Properties& half : halves) {
        for (const auto& [key, value] : half)
            given[key] = value;
        rig.listener->update(bagOf(half));
        EXPECT_EQ(dragged(rig), draggedFresh(c, given)) << "after the half with " << half.begin()->first.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Registered, ManipulatorUpdate, ::testing::ValuesIn(listeningManipulators()),
                         [](const auto& info) { return info.param.type; });

}  // namespace
