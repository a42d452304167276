#include "swf/runtime/NameKey.h"

namespace swf {

namespace {

constexpr std::uint32_t HashStart = 2166136261u;

constexpr std::uint32_t mix(std::uint32_t h, char16_t unit) { return (h ^ unit) * 16777619u; }

constexpr char16_t asciiLower(char16_t u) { return u >= u'A' && u <= u'Z' ? char16_t(u + 32) : u; }

bool isAscii(QStringView s)
{
    for (QChar c : s)
        if (c.unicode() >= 0x80)
            return false;
    return true;
}

} // namespace

std::uint32_t foldedNameHash(QStringView name)
{
    // The hash of the lower-case form: made on the way for ASCII, where
    // lower-casing maps each unit to one unit.
    std::uint32_t h = HashStart;
    for (QChar c : name) {
        const char16_t u = c.unicode();
        if (u >= 0x80) {
            h = HashStart;
            const QString lower = name.toString().toLower();
            for (QChar l : lower)
                h = mix(h, l.unicode());
            return h;
        }
        h = mix(h, asciiLower(u));
    }
    return h;
}

bool foldedNameEqual(QStringView a, QStringView b)
{
    if (a.size() == b.size()) {
        qsizetype i = 0;
        for (; i < a.size(); ++i) {
            const char16_t ua = a[i].unicode();
            const char16_t ub = b[i].unicode();
            // Up to the first unit beyond ASCII, units match one to one.
            if ((ua | ub) >= 0x80)
                break;
            if (asciiLower(ua) != asciiLower(ub))
                return false;
        }
        if (i == a.size())
            return true;
    } else if (isAscii(a) && isAscii(b)) {
        return false;
    }
    // Lower-casing may change the length of a name beyond ASCII.
    return a.toString().toLower() == b.toString().toLower();
}

} // namespace swf
