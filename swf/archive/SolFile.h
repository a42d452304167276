#pragma once

// Saved games in the .sol layout other players use, so that saves can be
// copied in and out: a small header with the save's name, then name/value
// pairs in AMF0 (or AMF3, which newer players write and we read).
//
// Values that are objects live in one table and are referred to by index,
// so a save whose objects refer to each other (or to themselves) reads and
// writes without copying or looping.

#include "swf/Result.h"

#include <QByteArray>
#include <QString>

#include <utility>
#include <vector>

namespace swf::archive {

struct SolValue {
    enum class Type { Undefined, Null, Boolean, Number, String, Object, Date, Xml };
    Type type = Type::Undefined;
    bool boolean = false;
    double number = 0;  // numbers, and a date's milliseconds since 1970
    QString string;     // strings and XML text
    int object = -1;    // index into SolFile::objects, for Type::Object

    static SolValue ofNumber(double n) { SolValue v; v.type = Type::Number; v.number = n; return v; }
    static SolValue ofString(QString s) { SolValue v; v.type = Type::String; v.string = std::move(s); return v; }
    static SolValue ofBoolean(bool b) { SolValue v; v.type = Type::Boolean; v.boolean = b; return v; }
    static SolValue ofObject(int index) { SolValue v; v.type = Type::Object; v.object = index; return v; }
};

struct SolObject {
    // An array keeps its elements as members named "0", "1", ...
    bool isArray = false;
    QString className; // typed objects
    std::vector<std::pair<QString, SolValue>> members;
};

struct SolFile {
    QString name;
    bool amf3 = false;
    std::vector<std::pair<QString, SolValue>> data; // the members of the save's data object
    std::vector<SolObject> objects;
    qsizetype membersOffset = 0; // where the members start in the bytes read


    // Reads a whole file; any fault (truncation, a bad type, a reference out
    // of range, nesting too deep) fails the read with where it happened.
    static Result<SolFile> read(const QByteArray& bytes);
    // Writes AMF0 (objects that refer back are written as references).
    QByteArray write() const;
    // A whole file around members encoded elsewhere (each a name, a value
    // and a zero byte, in AMF3 when `amf3`), named `name`.
    static QByteArray frame(const QString& name, bool amf3, const QByteArray& members);
};

// Limits of the reader: nesting depth, and objects in one file.
inline constexpr int SolMaxDepth = 128;
inline constexpr int SolMaxObjects = 1 << 18;

} // namespace swf::archive
