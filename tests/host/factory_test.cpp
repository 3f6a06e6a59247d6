#include "host/scene/class_factory.h"

#include <gtest/gtest.h>

namespace {

struct Base {
    virtual ~Base() = default;
    virtual int id() const = 0;
};
struct Data {
    int value;
};
using Factory = class_factory<Base, QString, empty_tag, Data>;

struct A : Base {
    int id() const override { return 1; }
    static Base* createDynamic(const Data& d) { return d.value < 0 ? nullptr : new A; }
};
struct B : Base {
    int id() const override { return 2; }
    static Base* createDynamic(const Data&) { return new B; }
};

Base* none() {
    return nullptr;
}

int created(const Factory& f, const QString& name) {
    std::unique_ptr<Base> b(f.create(name, Data{0}));
    return b ? b->id() : 0;
}

}  // namespace

TEST(ClassFactory, NameIndexIsOrderedByString) {
    Factory f;
    EXPECT_TRUE(f.registerClass<B>("b", none));
    EXPECT_TRUE(f.registerClass<A>("A_LONG", none));
    EXPECT_EQ(f.names(), (std::vector<QString>{"A_LONG", "b"}));  // upper case sorts first
    EXPECT_EQ(created(f, "b"), 2);
    EXPECT_EQ(created(f, "missing"), 0);
    EXPECT_EQ(f.create("A_LONG", Data{-1}), nullptr);  // the class refuses its Data
    EXPECT_EQ(f.find("b")->createDefault, &none);
}

// A name registered twice keeps its first class (the second class still gets an entry of
// its own); one class under two names shares a single entry, overwritten by the last.
TEST(ClassFactory, TakenNamesKeepTheFirstClassAndClassesOneEntry) {
    Factory f, other;
    EXPECT_TRUE(f.registerClass<A>("SAME", none));
    EXPECT_FALSE(f.registerClass<B>("SAME", none));
    EXPECT_EQ(created(f, "SAME"), 1);
    EXPECT_EQ(f.classIndex().size(), 2u);
    EXPECT_EQ(f.nameIndex().size(), 1u);

    other.registerClass<B>("FIRST", none);
    other.registerClass<B>("SECOND", none);
    EXPECT_EQ(other.classIndex().size(), 1u);
    EXPECT_EQ(other.classIndex().begin()->second.typeString, "SECOND");
    EXPECT_EQ(other.find("FIRST"), other.find("SECOND"));
    EXPECT_EQ(created(other, "FIRST"), 2);
    EXPECT_EQ(created(f, "FIRST"), 0);  // factories are independent
}
