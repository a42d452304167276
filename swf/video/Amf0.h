#pragma once

// The script values an FLV file carries in its data tags (onMetaData,
// onCuePoint): numbers, booleans, strings, objects, arrays, dates, null.
// A plain tree, turned into script objects by whoever receives it.

#include "swf/Result.h"

#include <QByteArray>
#include <QString>

#include <utility>
#include <vector>

namespace swf {

struct AmfValue {
    enum class Type { Number, Boolean, String, Object, Null, Undefined, Array, Date };
    Type type = Type::Undefined;
    double number = 0;   // Number, Boolean (0/1), Date (ms since 1970)
    QString string;
    // Object and the associative array: names and values side by side, in
    // file order (a vector of pairs could not hold the type being defined).
    std::vector<QString> memberNames;
    std::vector<AmfValue> memberValues;
    std::vector<AmfValue> items; // strict Array

    const AmfValue* member(const QString& name) const;
};

struct AmfLimits {
    int maxDepth = 32;
    int maxEntries = 65536; // all members and items of one read together
};

// Reads one value from `bytes` at `pos` (advanced past it), big-endian as FLV stores it.
Result<AmfValue> readAmf0(const QByteArray& bytes, std::size_t& pos, const AmfLimits& limits = {});

} // namespace swf
