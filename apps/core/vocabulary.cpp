#include "apps/core/vocabulary.h"

namespace runner {

namespace {

template <class Table>
std::string nameList(const Table& table) {
    std::string out;
    for (const auto& entry : table)
        out += (out.empty() ? "" : ", ") + std::string(entry.name);
    return out;
}

// attributeKind() and curveKind() index the tables by the enums.
template <class Table>
constexpr bool inEnumOrder(const Table& table) {
    std::size_t i = 0;
    for (const auto& entry : table)
        if (static_cast<std::size_t>(entry.kind) != i++)
            return false;
    return true;
}
static_assert(inEnumOrder(kAttributeKinds) && inEnumOrder(kCurveKinds), "the kinds' tables follow their enums");

}  // namespace

const AttributeKindInfo* attributeKindNamed(std::string_view name) {
    for (const AttributeKindInfo& k : kAttributeKinds)
        if (name == k.name)
            return &k;
    return nullptr;
}

const AttributeKindInfo& attributeKind(AttributeKind kind) {
    return kAttributeKinds[static_cast<std::size_t>(kind)];
}

const CurveKindInfo* curveKindNamed(std::string_view name) {
    for (const CurveKindInfo& c : kCurveKinds)
        if (name == c.name)
            return &c;
    return nullptr;
}

const CurveKindInfo& curveKind(CurveKind kind) {
    return kCurveKinds[static_cast<std::size_t>(kind)];
}

std::string attributeKindList() {
    return nameList(kAttributeKinds);
}

std::string curveKindList() {
    return nameList(kCurveKinds);
}

}  // namespace runner
