#include "OvJsonBody.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

bool isHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

int hexValue(const char* p)
{
    int v = 0;
    for (int i = 0; i < 4; ++i) {
        const char c = p[i];
        v = v * 16 + (c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
    }
    return v;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

int intFromDouble(double number)
{
    if (!std::isfinite(number) || number != std::trunc(number)
        || number < double(std::numeric_limits<int>::min())
        || number > double(std::numeric_limits<int>::max()))
        return 0;
    return int(number);
}

}  // namespace

OvJsonBody::Object::Object(simdjson::dom::element element)
{
    m_valid = element.get_object().get(m_object) == simdjson::SUCCESS;
}

bool OvJsonBody::Object::member(std::string_view key, simdjson::dom::element* value) const
{
    if (!m_valid)
        return false;
    bool found = false;
    // Not obj[key], which finds the first: Qt kept the last of repeated keys.
    for (const simdjson::dom::key_value_pair field : m_object) {
        if (field.key == key) {
            *value = field.value;
            found = true;
        }
    }
    return found;
}

int OvJsonBody::Object::readInt(std::string_view key) const
{
    simdjson::dom::element value;
    if (!member(key, &value))
        return 0;
    int64_t integer = 0;
    if (value.get_int64().get(integer) == simdjson::SUCCESS)
        return integer < std::numeric_limits<int>::min() || integer > std::numeric_limits<int>::max()
                   ? 0
                   : int(integer);
    if (value.is_uint64())
        return 0;  // beyond int64, so beyond int
    double number = 0;
    if (value.get_double().get(number) == simdjson::SUCCESS)
        return intFromDouble(number);
    return 0;
}

std::string_view OvJsonBody::Object::readView(std::string_view key) const
{
    simdjson::dom::element value;
    std::string_view text;
    if (!member(key, &value) || value.get_string().get(text) != simdjson::SUCCESS)
        return {};
    return text;
}

QString OvJsonBody::Object::readString(std::string_view key) const
{
    const std::string_view text = readView(key);
    return text.empty() ? QString() : QString::fromUtf8(text.data(), int(text.size()));
}

OvJsonBody::Object OvJsonBody::Object::readObject(std::string_view key) const
{
    simdjson::dom::element value;
    return member(key, &value) ? Object(value) : Object();
}

bool OvJsonBody::Object::readArray(std::string_view key, simdjson::dom::array* array) const
{
    simdjson::dom::element value;
    return member(key, &value) && value.get_array().get(*array) == simdjson::SUCCESS;
}

bool OvJsonBody::parseStrict(const QByteArray& text, simdjson::dom::element* root)
{
    // A body with the parser's padding allocated after it (the frame reader
    // leaves it after a large one, the rewriter after what it writes) is read
    // where it is; any other is copied into padded storage of the parser's own.
    const bool padded = text.capacity() - text.size() >= int(simdjson::SIMDJSON_PADDING);
    return m_parser.parse(text.constData(), size_t(text.size()), !padded).get(*root) == simdjson::SUCCESS;
}

OvJsonBody::Object OvJsonBody::parse(const QByteArray& body)
{
    // The parser keeps buffers sized for the largest body so far, about
    // fourteen bytes for each byte of it; those of a rare huge body (a
    // catalogue, a thumbnail) are let go rather than kept for the small ones.
    constexpr size_t KeptCapacity = 4 * 1024 * 1024;
    if (m_parser.capacity() > KeptCapacity && size_t(body.size()) <= KeptCapacity)
        m_parser = simdjson::dom::parser();
    simdjson::dom::element root;
    // A small body is tried as strict JSON first (nearly all are). A large one
    // is checked by one counting pass before the parser allocates its buffers
    // for it: a hostile body (a string of raw control characters) is turned
    // away without them.
    constexpr int StrictFirst = 1024 * 1024;
    if (body.size() <= StrictFirst && parseStrict(body, &root))
        return Object(root);
    QByteArray strict;
    if (normalise(body, &strict) && (strict.constData() != body.constData() || body.size() > StrictFirst)
        && parseStrict(strict, &root))
        return Object(root);
    return Object();
}

namespace {

// The rewriter runs twice over a lenient body: once only counting what it
// would write (and whether anything differs), then writing into a buffer of
// exactly that size. Neither pass formats anything.
struct Counter
{
    size_t size = 0;
    void put(char) { ++size; }
    void put(const char*, size_t n) { size += n; }
};

struct Writer
{
    char* at = nullptr;
    void put(char c) { *at++ = c; }
    void put(const char* text, size_t n)
    {
        std::memcpy(at, text, n);
        at += n;
    }
};

template <class Out>
void putUnicodeEscape(Out& out, int code)
{
    static const char hex[] = "0123456789abcdef";
    const char text[6] = {'\\', 'u', hex[(code >> 12) & 15], hex[(code >> 8) & 15], hex[(code >> 4) & 15],
                          hex[code & 15]};
    out.put(text, 6);
}

// A control character inside a string, escaped as strict JSON has it.
template <class Out>
void putControl(Out& out, uchar c)
{
    const char* shortForm = nullptr;
    switch (c) {
    case '\b': shortForm = "\\b"; break;
    case '\f': shortForm = "\\f"; break;
    case '\n': shortForm = "\\n"; break;
    case '\r': shortForm = "\\r"; break;
    case '\t': shortForm = "\\t"; break;
    default: break;
    }
    if (shortForm)
        out.put(shortForm, 2);
    else
        putUnicodeEscape(out, c);
}

// Reads the body as Qt's reader did and writes it as strict JSON. False when
// it is no JSON for Qt either, or when the output would pass limit bytes.
template <class Out>
bool rewrite(const char* p, const char* const end, Out& out, bool* changed, size_t limit, const size_t& written)
{
    if (end - p >= 3 && p[0] == '\xef' && p[1] == '\xbb' && p[2] == '\xbf') {
        p += 3;
        *changed = true;
    }
    while (p < end) {
        if (written > limit)
            return false;
        const char c = *p;
        if (c == '"') {
            out.put('"');
            ++p;
            for (;;) {
                if (p >= end)
                    return false;
                // A run of plain characters is copied in one go.
                const char* run = p;
                while (p < end && *p != '"' && *p != '\\' && uchar(*p) >= 0x20)
                    ++p;
                out.put(run, size_t(p - run));
                if (written > limit)
                    return false;
                if (p >= end)
                    return false;
                const char s = *p++;
                if (s == '"') {
                    out.put('"');
                    break;
                }
                if (s != '\\') {
                    putControl(out, uchar(s));
                    *changed = true;
                    continue;
                }
                if (p >= end)
                    return false;
                const char e = *p++;
                if (e == 'u') {
                    if (end - p < 4 || !isHex(p[0]) || !isHex(p[1]) || !isHex(p[2]) || !isHex(p[3]))
                        return false;
                    const int unit = hexValue(p);
                    p += 4;
                    const bool high = unit >= 0xd800 && unit <= 0xdbff;
                    const bool low = unit >= 0xdc00 && unit <= 0xdfff;
                    if (high && end - p >= 6 && p[0] == '\\' && p[1] == 'u' && isHex(p[2]) && isHex(p[3])
                        && isHex(p[4]) && isHex(p[5])) {
                        const int next = hexValue(p + 2);
                        if (next >= 0xdc00 && next <= 0xdfff) {
                            out.put(p - 6, 12);
                            p += 6;
                            continue;
                        }
                    }
                    if (high || low) {
                        // A lone surrogate cannot be carried; it shows as U+FFFD.
                        putUnicodeEscape(out, 0xfffd);
                        *changed = true;
                    } else {
                        out.put(p - 6, 6);
                    }
                } else if (e == '"' || e == '\\' || e == '/' || e == 'b' || e == 'f' || e == 'n' || e == 'r'
                           || e == 't') {
                    out.put(p - 2, 2);
                } else if (uchar(e) < 0x80) {
                    // Qt took an unknown escape as the character itself.
                    if (uchar(e) < 0x20)
                        putControl(out, uchar(e));
                    else
                        out.put(e);
                    *changed = true;
                } else {
                    return false;
                }
            }
        } else if (c == '-' || c == '.' || isDigit(c)) {
            // Qt's number: [-] (0 | digits) [. digits] [(e|E) [+|-] digits],
            // read as a 64-bit integer when it has neither fraction nor exponent
            // and fits, else as a double. Strict JSON numbers are copied as
            // they are; the rest are written in strict form.
            const char* const start = p;
            bool isInt = true;
            bool strict = true;
            if (p < end && *p == '-')
                ++p;
            const char* const digits = p;
            if (p < end && *p == '0') {
                ++p;
            } else {
                while (p < end && isDigit(*p))
                    ++p;
            }
            strict = p > digits;
            if (p < end && *p == '.') {
                isInt = false;
                const char* const fraction = ++p;
                while (p < end && isDigit(*p))
                    ++p;
                strict = strict && p > fraction;
            }
            if (p < end && (*p == 'e' || *p == 'E')) {
                isInt = false;
                ++p;
                if (p < end && (*p == '-' || *p == '+'))
                    ++p;
                const char* const exponent = p;
                while (p < end && isDigit(*p))
                    ++p;
                strict = strict && p > exponent;
            }
            if (p >= end)
                return false;
            // Read in place: no copy of the token (bodies hold a great many numbers).
            char text[32];
            if (isInt) {
                long long integer = 0;
                const std::from_chars_result r = std::from_chars(start, p, integer);
                if (r.ec == std::errc() && r.ptr == p) {
                    if (strict) {
                        out.put(start, size_t(p - start));
                    } else {
                        const std::to_chars_result w = std::to_chars(text, text + sizeof text, integer);
                        out.put(text, size_t(w.ptr - text));
                        *changed = true;
                    }
                    continue;
                }
            }
            double number = 0;
            const std::from_chars_result r = std::from_chars(start, p, number);
            const bool ok = r.ec == std::errc() && r.ptr == p;
            if (!ok || !std::isfinite(number))
                return false;
            if (strict && !isInt) {
                out.put(start, size_t(p - start));
            } else {
                const std::to_chars_result w = std::to_chars(text, text + sizeof text, number);
                out.put(text, size_t(w.ptr - text));
                *changed = true;
            }
        } else {
            out.put(c);
            ++p;
        }
    }
    return written <= limit;
}

}  // namespace

bool OvJsonBody::normalise(const QByteArray& body, QByteArray* strict)
{
    const char* const begin = body.constData();
    const char* const end = begin + body.size();
    // Lenient JSON from a real server differs from strict JSON in a few
    // places; a body that would grow by more than a quarter is made to grow
    // (a string of raw control characters) and is no body of this protocol.
    const size_t limit = size_t(body.size()) + size_t(body.size()) / 4 + 64;
    Counter counter;
    bool changed = false;
    if (!rewrite(begin, end, counter, &changed, limit, counter.size))
        return false;
    if (!changed) {
        *strict = body;
        return true;
    }
    // With the parser's padding after it, so that it is parsed in place.
    strict->reserve(int(counter.size) + 64);
    strict->resize(int(counter.size));
    Writer writer{strict->data()};
    const size_t unlimited = 0;
    return rewrite(begin, end, writer, &changed, std::numeric_limits<size_t>::max(), unlimited);
}
