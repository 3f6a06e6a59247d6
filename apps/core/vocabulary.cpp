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

template <typename Table>
auto entryNamed(const Table& table, std::string_view name) -> decltype(&table[0]) {
    for (const auto& entry : table)
        if (name == entry.name)
            return &entry;
    return nullptr;
}

}  // namespace

const AttributeKindInfo* attributeKindNamed(std::string_view name) {
    return entryNamed(kAttributeKinds, name);
}

const AttributeKindInfo& attributeKind(AttributeKind kind) {
    return kAttributeKinds[static_cast<std::size_t>(kind)];
}

const CurveKindInfo* curveKindNamed(std::string_view name) {
    return entryNamed(kCurveKinds, name);
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
