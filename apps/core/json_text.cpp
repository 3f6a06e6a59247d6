#include "apps/core/json_text.h"

#include <charconv>
#include <cmath>
#include <vector>

namespace runner {

namespace {

const char* const kIndentUnit = "  ";

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool isContainer(const Json& v) {
    return v.is_object() || v.is_array();
}

bool hasLineBreak(const std::string& text) {
    return text.find('\n') != std::string::npos;
}

std::string scalarText(const Json& v) {
    return v.is_number_float() ? numberText(v.get<double>()) : v.dump();
}

std::string inlineText(const Json& v) {
    if (!isContainer(v))
        return scalarText(v);
    const bool object = v.is_object();
    std::string out(1, object ? '{' : '[');
    for (auto it = v.begin(); it != v.end(); ++it) {
        out += it == v.begin() ? "" : ", ";
        if (object)
            out += Json(it.key()).dump() + ": ";
        out += inlineText(it.value());
    }
    return out + (object ? '}' : ']');
}

bool holdsContainers(const Json& v) {
    if (!v.is_array())
        return false;
    for (const Json& e : v)
        if (isContainer(e))
            return true;
    return false;
}

// `v` with its entries one per line below `indent`; with `nested`, so are the entries of
// its lists of lists or objects (a scene's nodes and steps).
std::string blockText(const Json& v, const std::string& indent, const std::string& unit, bool nested) {
    if (!isContainer(v) || v.empty())
        return inlineText(v);
    const bool object = v.is_object();
    std::string out(1, object ? '{' : '[');
    for (auto it = v.begin(); it != v.end(); ++it) {
        out += (it == v.begin() ? "\n" : ",\n") + indent + unit;
        if (object)
            out += Json(it.key()).dump() + ": ";
        out += nested && holdsContainers(it.value()) ? blockText(it.value(), indent + unit, unit, false)
                                                     : inlineText(it.value());
    }
    return out + "\n" + indent + (object ? '}' : ']');
}

// One member or element of a container as the text has it.
struct Entry {
    std::string lead;   // the spacing after the bracket or the comma before it
    std::string key;    // an object's member: the key as written, and what is between it and the value
    std::string colon;
    std::size_t begin = 0;
    std::size_t end = 0;
    std::string trail;  // the spacing before the comma after it
};

class Rewriter {
public:
    explicit Rewriter(const std::string& text) : m_text(text) {}

    std::string value(std::size_t& pos, const Json& old, const Json& fresh) {
        const std::size_t begin = pos;
        pos = skipValue(pos);
        if (old == fresh)
            return m_text.substr(begin, pos - begin);
        if (isContainer(fresh) && old.type() == fresh.type())
            return container(begin, old, fresh);
        return newText(fresh, lineIndent(begin), hasLineBreak(m_text.substr(begin, pos - begin)));
    }

    void setUnit(std::size_t top) {
        if (m_text[top] != '{' && m_text[top] != '[')
            return;
        const std::size_t first = skipSpace(top + 1);
        const std::string lead = m_text.substr(top + 1, first - top - 1);
        const std::size_t line = lead.rfind('\n');
        if (line != std::string::npos && line + 1 < lead.size())
            m_unit = lead.substr(line + 1).substr(lineIndent(top).size());
    }

    std::size_t skipSpace(std::size_t pos) const {
        while (pos < m_text.size() && isSpace(m_text[pos]))
            ++pos;
        return pos;
    }

private:
    [[noreturn]] static void mismatch() { throw RunError("", "the text is not the text of the document it was read into"); }

    char at(std::size_t pos) const {
        if (pos >= m_text.size())
            mismatch();
        return m_text[pos];
    }

    std::size_t skipString(std::size_t pos) const {
        for (++pos; at(pos) != '"'; ++pos)
            if (m_text[pos] == '\\')
                ++pos;
        return pos + 1;
    }

    std::size_t skipValue(std::size_t pos) const {
        const char c = at(pos);
        if (c == '"')
            return skipString(pos);
        if (c != '{' && c != '[') {
            while (pos < m_text.size() && !isSpace(m_text[pos]) && m_text[pos] != ',' && m_text[pos] != '}' &&
                   m_text[pos] != ']')
                ++pos;
            return pos;
        }
        int depth = 0;
        do {
            const char d = at(pos);
            if (d == '"') {
                pos = skipString(pos);
                continue;
            }
            depth += d == '{' || d == '[' ? 1 : d == '}' || d == ']' ? -1 : 0;
            ++pos;
        } while (depth > 0);
        return pos;
    }

    std::string lineIndent(std::size_t pos) const {
        const std::size_t line = m_text.rfind('\n', pos == 0 ? 0 : pos - 1);
        std::size_t start = line == std::string::npos ? 0 : line + 1;
        std::size_t end = start;
        while (end < pos && (m_text[end] == ' ' || m_text[end] == '\t'))
            ++end;
        return m_text.substr(start, end - start);
    }

    std::string newText(const Json& v, const std::string& indent, bool multiLine) const {
        return multiLine && isContainer(v) ? blockText(v, indent, m_unit, false) : inlineText(v);
    }

    // The entries of the container at `pos` and the spacing before its closing bracket.
    std::vector<Entry> entries(std::size_t pos, bool object, std::string& closing) const {
        const char close = object ? '}' : ']';
        std::vector<Entry> out;
        for (++pos;;) {
            Entry e;
            std::size_t next = skipSpace(pos);
            e.lead = m_text.substr(pos, next - pos);
            if (at(next) == close && out.empty()) {
                closing = e.lead;
                return out;
            }
            if (object) {
                const std::size_t keyEnd = skipString(next);
                e.key = m_text.substr(next, keyEnd - next);
                next = skipSpace(keyEnd);
                if (at(next) != ':')
                    mismatch();
                next = skipSpace(next + 1);
                e.colon = m_text.substr(keyEnd, next - keyEnd);
            }
            e.begin = next;
            e.end = skipValue(next);
            next = skipSpace(e.end);
            const std::string trail = m_text.substr(e.end, next - e.end);
            const char after = at(next);
            if (after != ',' && after != close)
                mismatch();
            (after == ',' ? e.trail : closing) = trail;
            out.push_back(std::move(e));
            pos = next + 1;
            if (after == close)
                return out;
        }
    }

    std::string container(std::size_t begin, const Json& old, const Json& fresh) {
        const bool object = fresh.is_object();
        std::string closing;
        const std::vector<Entry> es = entries(begin, object, closing);
        if (es.size() != old.size())
            mismatch();
        std::vector<const Json*> olds;
        std::vector<std::string> keys;
        for (auto it = old.begin(); it != old.end(); ++it) {
            olds.push_back(&it.value());
            if (object)
                keys.push_back(it.key());
        }
        const std::string firstLead = es.empty() ? "" : es[0].lead;
        const std::string otherLead = es.size() > 1                              ? es[1].lead
                                      : !es.empty() && hasLineBreak(es[0].lead) ? es[0].lead
                                                                                 : " ";
        const std::string colon = object && !es.empty() ? es[0].colon : ": ";
        std::string out(1, object ? '{' : '[');
        std::size_t p = 0;
        for (auto it = fresh.begin(); it != fresh.end(); ++it, ++p) {
            std::size_t j = object ? keys.size() : p;
            for (std::size_t k = 0; object && k < keys.size() && j == keys.size(); ++k)
                j = keys[k] == it.key() ? k : j;
            const bool kept = j < es.size();
            if (object && kept && Json::parse(es[j].key) != keys[j])
                mismatch();
            const std::string& lead = p == 0 ? firstLead : kept && j > 0 ? es[j].lead : otherLead;
            out += (p == 0 ? "" : ",") + lead;
            if (object)
                out += kept ? es[j].key + es[j].colon : Json(it.key()).dump() + colon;
            if (kept) {
                std::size_t cursor = es[j].begin;
                out += value(cursor, *olds[j], it.value()) + (j + 1 < es.size() ? es[j].trail : "");
                continue;
            }
            const Entry* neighbour = es.empty() ? nullptr : &es[std::min(p, es.size() - 1)];
            const std::size_t line = lead.rfind('\n');
            const std::string indent = line == std::string::npos ? lineIndent(begin) : lead.substr(line + 1);
            out += newText(it.value(), indent,
                           neighbour && hasLineBreak(m_text.substr(neighbour->begin, neighbour->end - neighbour->begin)));
        }
        return out + closing + (object ? '}' : ']');
    }

    const std::string& m_text;
    std::string m_unit = kIndentUnit;
};

}  // namespace

std::string numberText(double v) {
    if (!std::isfinite(v))
        return "null";
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, v);
    return std::string(buffer, result.ptr);
}

std::string cleanText(const Json& document) {
    return blockText(document, "", kIndentUnit, true) + "\n";
}

std::string rewrittenText(const std::string& text, const Json& old, const Json& fresh) {
    static const std::string kByteOrderMark = "\xEF\xBB\xBF";
    Rewriter rewriter(text);
    std::size_t pos = rewriter.skipSpace(text.compare(0, 3, kByteOrderMark) == 0 ? 3 : 0);
    const std::string before = text.substr(0, pos);
    rewriter.setUnit(pos);
    std::string out = before + rewriter.value(pos, old, fresh);
    return out + text.substr(pos);
}

}  // namespace runner
