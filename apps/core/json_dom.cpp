#include "apps/core/json_dom.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace runner {

namespace {

using Element = simdjson::dom::element;
using Type = simdjson::dom::element_type;

// Whether the keys of one object all differ. Objects in a scene file have a few keys,
// which are compared pairwise; large ones are sorted.
bool distinctKeys(std::vector<std::string_view>::iterator from, std::vector<std::string_view>::iterator to) {
    constexpr std::ptrdiff_t kPairwise = 16;
    if (to - from > kPairwise) {
        std::sort(from, to);
        return std::adjacent_find(from, to) == to;
    }
    for (auto a = from; a != to; ++a)
        for (auto b = from; b != a; ++b)
            if (*a == *b)
                return false;
    return true;
}

// What parseDocument refuses beyond the grammar: a key twice in one object, and more than
// kMaxNesting containers around a container. Read straight off the parser's tape, front to
// back (the layout simdjson documents in its tape.md: a word a value, two for a number,
// the type in the top byte; a string's word points at its length and bytes), which is a
// fraction of walking the same values through the DOM's iterators.
bool parsesAlike(const simdjson::dom::document& doc) {
    namespace tape = simdjson::internal;
    using Kind = tape::tape_type;
    const std::uint64_t* words = doc.tape.get();
    const auto* strings = reinterpret_cast<const char*>(doc.string_buf.get());
    const std::size_t end = std::size_t(words[0] & tape::JSON_VALUE_MASK);
    // The containers open around the word read, the outermost first after one that stands
    // for the text around the root: whether each is an object, and where its keys start in
    // `keys`; in an object, whether the next word is a key.
    struct Open {
        bool object = false;
        bool keyNext = false;
        std::size_t keysFrom = 0;
    };
    std::array<Open, kMaxNesting + 1> open{};
    Open* in = open.data();
    std::vector<std::string_view> keys;
    keys.reserve(64);
    for (std::size_t i = 1; i < end; ++i) {
        const auto kind = Kind(words[i] >> 56);
        if (in->keyNext && kind != Kind::END_OBJECT) {
            const char* at = strings + (words[i] & tape::JSON_VALUE_MASK);
            std::uint32_t length = 0;
            std::memcpy(&length, at, sizeof length);
            keys.emplace_back(at + sizeof length, length);
            in->keyNext = false;
            continue;
        }
        switch (kind) {
            case Kind::END_OBJECT:
                if (!distinctKeys(keys.begin() + std::ptrdiff_t(in->keysFrom), keys.end()))
                    return false;
                keys.resize(in->keysFrom);
                --in;
                break;
            case Kind::END_ARRAY:
                --in;
                break;
            case Kind::START_OBJECT:
            case Kind::START_ARRAY:
                in->keyNext = in->object;
                if (in == &open.back())
                    return false;
                *++in = Open{kind == Kind::START_OBJECT, kind == Kind::START_OBJECT, keys.size()};
                break;
            case Kind::INT64:
            case Kind::UINT64:
            case Kind::DOUBLE:
                ++i;
                [[fallthrough]];
            default:
                in->keyNext = in->object;
        }
    }
    return true;
}

std::optional<DomValue> checked(const simdjson::dom::parser& parser, simdjson::dom::element root) {
    if (!parsesAlike(parser.doc))
        return std::nullopt;
    return DomValue(root);
}

// A large file's load is mostly first touches of fresh memory, each page a fault (about
// 11 us on the virtual machines this was measured on): the text, the parser's index of
// it, its tape and its strings are touched once each, front to back, and let go together.
// Asked to come in huge pages (where the system gives them on request), each of them
// faults once every 2 MB instead of every 4 KB. Only whole pages inside the block are
// advised, so nothing outside it is.
constexpr std::size_t kHugePage = 2u << 20;

void preferHugePages(const void* start, std::size_t bytes) {
    if (!start || bytes < kHugePage)
        return;
    const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const auto from = (reinterpret_cast<std::uintptr_t>(start) + page - 1) & ~(page - 1);
    const auto to = (reinterpret_cast<std::uintptr_t>(start) + bytes) & ~(page - 1);
    if (to > from)
        madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
}

// The parser's buffers made ready for `bytes` of text before the parse touches them. Their
// sizes are the least simdjson gives a document of that size (a tape word, 5/3 of a byte
// of strings and an index entry for each byte of text).
void prepare(simdjson::dom::parser& parser, std::size_t bytes) {
    if (parser.allocate(bytes) != simdjson::SUCCESS || parser.doc.allocate(bytes) != simdjson::SUCCESS)
        return;  // the parse allocates again, or says why it cannot
    preferHugePages(parser.doc.tape.get(), bytes * sizeof(std::uint64_t));
    preferHugePages(parser.doc.string_buf.get(), bytes / 3 * 5);
    if (parser.implementation)
        preferHugePages(parser.implementation->structural_indexes.get(), bytes * sizeof(std::uint32_t));
}

// A regular file's bytes followed by simdjson's padding, in a mapping of their own; empty
// when the file cannot be read whole.
class FileText {
public:
    explicit FileText(const std::string& file) {
        const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return;
        struct stat info {};
        if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0)
            read(fd, static_cast<std::size_t>(info.st_size));
        close(fd);
    }
    ~FileText() {
        if (m_data)
            munmap(m_data, m_mapped);
    }
    FileText(const FileText&) = delete;
    FileText& operator=(const FileText&) = delete;

    const char* data() const { return m_data; }
    std::size_t size() const { return m_size; }

private:
    void read(int fd, std::size_t size) {
        m_mapped = size + simdjson::SIMDJSON_PADDING;
        void* block = mmap(nullptr, m_mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (block == MAP_FAILED)
            return;
        m_data = static_cast<char*>(block);
        preferHugePages(m_data, m_mapped);
        std::size_t got = 0;
        // One byte past the size it had: a file that grew since is read the careful way.
        while (got <= size) {
            const ssize_t n = ::read(fd, m_data + got, std::min(size + 1, m_mapped) - got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            got += static_cast<std::size_t>(n);
        }
        // The padding after the text is as the mapping came, zeros.
        if (got == size)
            m_size = size;
    }

    char* m_data = nullptr;
    std::size_t m_mapped = 0;
    std::size_t m_size = 0;
};

}  // namespace

std::size_t DomValue::size() const {
    if (is_array())
        return got<simdjson::dom::array>(m_e.get_array()).size();
    if (is_object())
        return got<simdjson::dom::object>(m_e.get_object()).size();
    return 0;
}

Json DomValue::numberJson() const {
    switch (m_e.type()) {
        case Type::INT64: {
            const auto i = got<std::int64_t>(m_e.get_int64());
            return i < 0 ? Json(i) : Json(static_cast<std::uint64_t>(i));
        }
        case Type::UINT64:
            return Json(got<std::uint64_t>(m_e.get_uint64()));
        default:
            return Json(got<double>(m_e.get_double()));
    }
}

std::optional<DomValue> parseQuickly(simdjson::dom::parser& parser, const simdjson::padded_string& text) {
    Element root;
    if (parser.parse(text).get(root) != simdjson::SUCCESS)
        return std::nullopt;
    return checked(parser, root);
}

std::optional<DomValue> parseQuickly(simdjson::dom::parser& parser, const std::string& text) {
    Element root;
    if (parser.parse(text.data(), text.size(), true).get(root) != simdjson::SUCCESS)
        return std::nullopt;
    return checked(parser, root);
}

std::optional<DomValue> parseFileQuickly(simdjson::dom::parser& parser, const std::string& file) {
    const FileText text(file);
    if (text.size() == 0)
        return std::nullopt;
    prepare(parser, text.size());
    Element root;
    if (parser.parse(text.data(), text.size(), false).get(root) != simdjson::SUCCESS)
        return std::nullopt;
    return checked(parser, root);
}

Json toJson(const DomValue& v) {
    if (v.is_null())
        return nullptr;
    if (v.is_boolean())
        return v.get<bool>();
    if (v.is_string())
        return v.get<std::string>();
    if (v.is_array()) {
        Json out = Json::array();
        for (const DomValue& item : v)
            out.push_back(toJson(item));
        return out;
    }
    if (v.is_object()) {
        Json out = Json::object();
        for (const auto& member : v.items())
            out.emplace(std::string(member.key()), toJson(member.value()));
        return out;
    }
    return v.numberJson();
}

std::string describe(const DomValue& v) {
    return describe(toJson(v));
}

std::string show(const DomValue& v) {
    return show(toJson(v));
}

// Each read converts the value to a Json only when it fails, for the message.
void checkKeys(const DomValue& object, const std::string& path, std::initializer_list<const char*> allowed) {
    for (const auto& item : object.items())
        if (std::none_of(allowed.begin(), allowed.end(), [&](const char* a) { return item.key() == a; }))
            checkKeys(toJson(object), path, allowed);
}

const DomValue& requireObject(const DomValue& v, const std::string& path) {
    if (!v.is_object())
        requireObject(toJson(v), path);
    return v;
}

const DomValue& requireArray(const DomValue& v, const std::string& path) {
    if (!v.is_array())
        requireArray(toJson(v), path);
    return v;
}

double requireNumber(const DomValue& v, const std::string& path) {
    if (v.is_number() && std::isfinite(v.get<double>()))
        return v.get<double>();
    return requireNumber(toJson(v), path);
}

std::string requireString(const DomValue& v, const std::string& path) {
    return v.is_string() ? v.get<std::string>() : requireString(toJson(v), path);
}

bool requireBool(const DomValue& v, const std::string& path) {
    return v.is_boolean() ? v.get<bool>() : requireBool(toJson(v), path);
}

std::vector<double> requireNumbers(const DomValue& v, std::size_t n, const std::string& path) {
    if (!v.is_array() || v.size() != n)
        return requireNumbers(toJson(v), n, path);
    std::vector<double> out;
    out.reserve(n);
    for (const DomValue& item : v)
        out.push_back(requireNumber(item, element(path, out.size())));
    return out;
}

}  // namespace runner
