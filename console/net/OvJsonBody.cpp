#include "OvJsonBody.h"

#include <cmath>
#include <cstdio>
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

void appendUnicodeEscape(QByteArray* out, int code)
{
    char text[8];
    std::snprintf(text, sizeof text, "\\u%04x", code);
    out->append(text, 6);
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

QString OvJsonBody::Object::readString(std::string_view key) const
{
    simdjson::dom::element value;
    std::string_view text;
    if (!member(key, &value) || value.get_string().get(text) != simdjson::SUCCESS)
        return QString();
    return QString::fromUtf8(text.data(), int(text.size()));
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

bool OvJsonBody::parseStrict(const char* data, size_t size, simdjson::dom::element* root)
{
    // The parser copies into padded storage of its own.
    return m_parser.parse(data, size, true).get(*root) == simdjson::SUCCESS;
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
    if (parseStrict(body.constData(), size_t(body.size()), &root))
        return Object(root);
    QByteArray strict;
    if (normalise(body, &strict) && parseStrict(strict.constData(), size_t(strict.size()), &root))
        return Object(root);
    return Object();
}

bool OvJsonBody::normalise(const QByteArray& body, QByteArray* strict)
{
    const char* p = body.constData();
    const char* const end = p + body.size();
    QByteArray& out = *strict;
    out.clear();
    out.reserve(body.size() + 16);
    if (end - p >= 3 && p[0] == '\xef' && p[1] == '\xbb' && p[2] == '\xbf')
        p += 3;
    while (p < end) {
        const char c = *p;
        if (c == '"') {
            out.append('"');
            ++p;
            for (;;) {
                if (p >= end)
                    return false;
                const char s = *p++;
                if (s == '"') {
                    out.append('"');
                    break;
                }
                if (s != '\\') {
                    if (uchar(s) < 0x20)
                        appendUnicodeEscape(&out, uchar(s));
                    else
                        out.append(s);
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
                    if (high && end - p >= 6 && p[0] == '\\' && p[1] == 'u' && isHex(p[2])
                        && isHex(p[3]) && isHex(p[4]) && isHex(p[5])) {
                        const int next = hexValue(p + 2);
                        if (next >= 0xdc00 && next <= 0xdfff) {
                            appendUnicodeEscape(&out, unit);
                            appendUnicodeEscape(&out, next);
                            p += 6;
                            continue;
                        }
                    }
                    // A lone surrogate cannot be carried; it shows as U+FFFD.
                    appendUnicodeEscape(&out, high || low ? 0xfffd : unit);
                } else if (e == '"' || e == '\\' || e == '/' || e == 'b' || e == 'f' || e == 'n'
                           || e == 'r' || e == 't') {
                    out.append('\\');
                    out.append(e);
                } else if (uchar(e) < 0x80) {
                    // Qt took an unknown escape as the character itself.
                    if (uchar(e) < 0x20)
                        appendUnicodeEscape(&out, uchar(e));
                    else
                        out.append(e);
                } else {
                    return false;
                }
            }
        } else if (c == '-' || c == '.' || isDigit(c)) {
            // Qt's number: [-] (0 | digits) [. digits] [(e|E) [+|-] digits],
            // read as a 64-bit integer when it has neither fraction nor exponent
            // and fits, else as a double.
            const char* const start = p;
            bool isInt = true;
            if (p < end && *p == '-')
                ++p;
            if (p < end && *p == '0') {
                ++p;
            } else {
                while (p < end && isDigit(*p))
                    ++p;
            }
            if (p < end && *p == '.') {
                isInt = false;
                ++p;
                while (p < end && isDigit(*p))
                    ++p;
            }
            if (p < end && (*p == 'e' || *p == 'E')) {
                isInt = false;
                ++p;
                if (p < end && (*p == '-' || *p == '+'))
                    ++p;
                while (p < end && isDigit(*p))
                    ++p;
            }
            if (p >= end)
                return false;
            const QByteArray token = QByteArray::fromRawData(start, int(p - start));
            bool ok = false;
            if (isInt) {
                const qlonglong integer = token.toLongLong(&ok);
                if (ok) {
                    out.append(QByteArray::number(integer));
                    continue;
                }
            }
            const double number = token.toDouble(&ok);
            if (!ok || !std::isfinite(number))
                return false;
            char text[32];
            std::snprintf(text, sizeof text, "%.17g", number);
            out.append(text);
        } else {
            out.append(c);
            ++p;
        }
    }
    return true;
}
