#pragma once

// Names compared the way movies before version 7 compare them: two names are
// the same when their lower-case forms are. The hash and the comparison give
// that answer without making the lower-case copies for names of plain ASCII
// (nearly every name a movie uses), so looking a name up allocates nothing.
// A name with other characters falls back to lower-casing both sides.

#include <QString>
#include <QStringView>

#include <cstdint>

namespace swf {

// The same value for every two names whose lower-case forms are equal, so it
// serves tables that compare names exactly too (equal names hash equally).
std::uint32_t foldedNameHash(QStringView name);
// Whether the lower-case forms of `a` and `b` are equal.
bool foldedNameEqual(QStringView a, QStringView b);

// A name as a QHash key that ignores case.
struct FoldedKey {
    FoldedKey(const QString& name) : name(name) { }
    FoldedKey(const char* latin1) : name(QLatin1String(latin1)) { }
    QString name;
    bool operator==(const FoldedKey& other) const { return foldedNameEqual(name, other.name); }
    friend size_t qHash(const FoldedKey& key, size_t seed) { return foldedNameHash(key.name) ^ seed; }
};

} // namespace swf
