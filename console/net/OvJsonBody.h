#pragma once

#include <QByteArray>
#include <QString>

#include <simdjson.h>

#include <string_view>

// Parses received bodies and reads them the way the protocol has always read
// them: a body that is no JSON object is an empty object, of repeated keys the
// last one counts, and a member that is missing or of another type reads as 0,
// "" or an empty object. One parser is kept and reused; what parse() returns is
// valid until the next parse().
class OvJsonBody
{
public:
    class Object
    {
    public:
        Object() = default;
        explicit Object(simdjson::dom::element element);

        // An integral number within the 32-bit range, else 0.
        int readInt(std::string_view key) const;
        QString readString(std::string_view key) const;
        // The string's bytes, valid as long as the parse; empty when no string.
        std::string_view readView(std::string_view key) const;
        Object readObject(std::string_view key) const;
        // False when the member is no array.
        bool readArray(std::string_view key, simdjson::dom::array* array) const;

    private:
        bool member(std::string_view key, simdjson::dom::element* value) const;

        simdjson::dom::object m_object;
        bool m_valid = false;
    };

    Object parse(const QByteArray& body);

    // Rewrites what Qt's reader took leniently (a byte order mark, control
    // characters and unknown escapes inside strings, lone surrogates, numbers
    // such as "1." or integers beyond 64 bits) into strict JSON of the same
    // reading. False when the text is no JSON for Qt either.
    static bool normalise(const QByteArray& body, QByteArray* strict);

private:
    bool parseStrict(const QByteArray& text, simdjson::dom::element* root);

    simdjson::dom::parser m_parser;
};
