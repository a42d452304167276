// flash.text.TextFormat and the TextField members that read and write it:
// defaultTextFormat (the style of text still to come), getTextFormat (what
// a range of characters shares; a property that differs inside the range
// reads null) and setTextFormat (the properties set, over a range).

#include "swf/avm2/display/StageScripts.h"

#include "swf/runtime/EditTextInstance.h"

#include <cmath>

namespace swf::avm2 {

namespace {

Value arg(Args args, std::size_t i) { return i < args.size() ? args[i] : Value::undefined(); }

EditTextInstance* fieldOf(const Value& self)
{
    Object* o = self.object();
    return o && o->display ? dynamic_cast<EditTextInstance*>(o->display) : nullptr;
}

enum class Kind { Text, Number, Flag };
struct Property {
    const char* name;
    Kind kind;
};

// In the constructor's order first, then the rest.
constexpr Property Properties[] = {
    { "font", Kind::Text }, { "size", Kind::Number }, { "color", Kind::Number }, { "bold", Kind::Flag },
    { "italic", Kind::Flag }, { "underline", Kind::Flag }, { "url", Kind::Text }, { "target", Kind::Text },
    { "align", Kind::Text }, { "leftMargin", Kind::Number }, { "rightMargin", Kind::Number }, { "indent", Kind::Number },
    { "leading", Kind::Number }, { "blockIndent", Kind::Number }, { "bullet", Kind::Flag }, { "kerning", Kind::Flag },
    { "letterSpacing", Kind::Number }, { "display", Kind::Text }, { "tabStops", Kind::Text },
};

QString key(const char* name) { return QStringLiteral(" tf ") + QLatin1String(name); }

Value read(const Object* format, const char* name) { return hiddenGet(format, key(name), Value::null()); }

const char* alignName(int align)
{
    switch (align) {
    case 1: return "right";
    case 2: return "center";
    case 3: return "justify";
    default: return "left";
    }
}

int alignOf(const QString& name)
{
    if (name == QLatin1String("right"))
        return 1;
    if (name == QLatin1String("center"))
        return 2;
    if (name == QLatin1String("justify"))
        return 3;
    return 0;
}

// The values a style (and the field's box) gives each property.
void describe(Object* format, const TextStyle& style, const EditTextRecord& record)
{
    auto put = [format](const char* name, const Value& v) { hiddenSet(format, key(name), v); };
    put("font", Value::string(style.face.isEmpty() ? QStringLiteral("Times") : style.face));
    put("size", Value::number(std::round(style.size / 20)));
    put("color", Value::number(double(style.color.rgb() & 0xffffffu)));
    put("bold", Value::boolean(style.bold));
    put("italic", Value::boolean(style.italic));
    put("underline", Value::boolean(style.underline));
    put("url", Value::string(style.url));
    put("target", Value::string(QString()));
    put("align", Value::string(QLatin1String(alignName(style.align))));
    put("leftMargin", Value::number(record.leftMargin / 20.0));
    put("rightMargin", Value::number(record.rightMargin / 20.0));
    put("indent", Value::number(record.indent / 20.0));
    put("leading", Value::number(record.leading / 20.0));
    put("blockIndent", Value::number(0));
    put("bullet", Value::boolean(false));
    put("kerning", Value::boolean(false));
    put("letterSpacing", Value::number(0));
    put("display", Value::string(QStringLiteral("block")));
}

// Applies what `format` sets (its non-null properties) to a style.
void apply(Machine& m, const Object* format, TextStyle& style)
{
    if (Value v = read(format, "font"); !v.isNullish())
        style.face = m.toString(v);
    if (Value v = read(format, "size"); !v.isNullish())
        style.size = m.toNumber(v) * 20;
    if (Value v = read(format, "color"); !v.isNullish())
        style.color = QColor::fromRgb(qRgb(0, 0, 0) | (toUint32(m.toNumber(v)) & 0xffffffu));
    if (Value v = read(format, "bold"); !v.isNullish())
        style.bold = m.toBoolean(v);
    if (Value v = read(format, "italic"); !v.isNullish())
        style.italic = m.toBoolean(v);
    if (Value v = read(format, "underline"); !v.isNullish())
        style.underline = m.toBoolean(v);
    if (Value v = read(format, "url"); !v.isNullish())
        style.url = m.toString(v);
    if (Value v = read(format, "align"); !v.isNullish())
        style.align = alignOf(m.toString(v));
}

// The range [begin, end) a pair of index arguments names; -1 stands for the
// whole text (begin) or one character (end).
bool rangeOf(Machine& m, Args args, std::size_t first, qsizetype length, qsizetype& begin, qsizetype& end)
{
    begin = args.size() > first ? toInt32(m.toNumber(args[first])) : -1;
    end = args.size() > first + 1 ? toInt32(m.toNumber(args[first + 1])) : -1;
    if (begin == -1 && end == -1) {
        begin = 0;
        end = length;
    } else if (end == -1) {
        end = begin + 1;
    }
    if (begin < 0 || end > length || begin > end) {
        if (begin < 0 || begin > length || end > length)
            m.throwError(ErrorClass::RangeError, 2006, QStringLiteral("The supplied index is out of bounds."));
        return false;
    }
    return true;
}

} // namespace

void installTextConstants(Machine& m);

void StageScripts::installTextFormatClass()
{
    Machine& m = *m_machine;
    m_textFormatClass = m.defineClass(QStringLiteral("flash.text"), QStringLiteral("TextFormat"), m.builtins().object,
        InstanceKind::Plain, [](Machine&, const Value& self, Args args) {
            Object* o = self.object();
            if (!o)
                return Value::undefined();
            std::size_t i = 0;
            for (const Property& p : Properties) {
                const Value v = i < 13 ? arg(args, i) : Value::null();
                hiddenSet(o, key(p.name), v.isUndefined() ? Value::null() : v);
                ++i;
            }
            return Value::undefined();
        });
    ClassObject* cls = m_textFormatClass;
    installTextConstants(m);
    for (const Property& p : Properties) {
        const QString k = key(p.name);
        const Kind kind = p.kind;
        m.addGetter(cls, QLatin1String(p.name),
            [k](Machine&, const Value& self, Args) { return hiddenGet(self.object(), k, Value::null()); },
            [k, kind](Machine& m, const Value& self, Args args) {
                Object* o = self.object();
                if (!o)
                    return Value::undefined();
                const Value v = arg(args, 0);
                Value stored = Value::null();
                if (!v.isNullish()) {
                    if (kind == Kind::Number)
                        stored = Value::number(m.toNumber(v));
                    else if (kind == Kind::Flag)
                        stored = Value::boolean(m.toBoolean(v));
                    else
                        stored = v.isObject() ? v : Value::string(m.toString(v));
                }
                hiddenSet(o, k, stored);
                return Value::undefined();
            });
    }
}

// The string constants of flash.text's enumeration classes.
void installTextConstants(Machine& m)
{
    const QString text = QStringLiteral("flash.text");
    const std::pair<const char*, std::vector<std::pair<const char*, const char*>>> classes[] = {
        { "AntiAliasType", { { "NORMAL", "normal" }, { "ADVANCED", "advanced" } } },
        { "GridFitType", { { "NONE", "none" }, { "PIXEL", "pixel" }, { "SUBPIXEL", "subpixel" } } },
        { "TextFieldType", { { "DYNAMIC", "dynamic" }, { "INPUT", "input" } } },
        { "TextFieldAutoSize", { { "NONE", "none" }, { "LEFT", "left" }, { "CENTER", "center" }, { "RIGHT", "right" } } },
        { "TextFormatAlign",
            { { "LEFT", "left" }, { "CENTER", "center" }, { "RIGHT", "right" }, { "JUSTIFY", "justify" }, { "START", "start" },
                { "END", "end" } } },
        { "TextFormatDisplay", { { "BLOCK", "block" }, { "INLINE", "inline" } } },
    };
    for (const auto& [name, constants] : classes) {
        ClassObject* cls = m.defineClass(text, QLatin1String(name), m.builtins().object, InstanceKind::Plain,
            [](Machine&, const Value&, Args) { return Value::undefined(); });
        cls->sealed = true;
        for (const auto& [constant, value] : constants)
            m.addStaticConst(cls, QLatin1String(constant), Value::string(QLatin1String(value)));
    }
}

void StageScripts::installTextFormatMembers(ClassObject* textField)
{
    Machine& m = *m_machine;
    auto newFormat = [this](Machine& m) { return m.constructClass(m_textFormatClass, {}).object(); };
    m.addGetter(textField, QStringLiteral("defaultTextFormat"),
        [newFormat](Machine& m, const Value& self, Args) {
            EditTextInstance* f = fieldOf(self);
            if (!f)
                return Value::null();
            Object* format = newFormat(m);
            describe(format, f->newTextStyle(), f->record());
            return Value::object(format);
        },
        [this](Machine& m, const Value& self, Args args) {
            EditTextInstance* f = fieldOf(self);
            Object* format = arg(args, 0).object();
            if (!format)
                m.throwError(ErrorClass::TypeError, 2007, QStringLiteral("Parameter format must be non-null."));
            if (f) {
                TextStyle style = f->newTextStyle();
                apply(m, format, style);
                f->setNewTextStyle(style);
            }
            return Value::undefined();
        });
    m.addMethod(textField, QStringLiteral("getTextFormat"), [newFormat](Machine& m, const Value& self, Args args) {
        EditTextInstance* f = fieldOf(self);
        if (!f)
            return Value::null();
        Object* format = newFormat(m);
        qsizetype begin = 0, end = 0;
        const qsizetype length = f->plainText().size();
        if (!rangeOf(m, args, 0, length, begin, end) || f->spans().empty()) {
            describe(format, f->newTextStyle(), f->record());
            return Value::object(format);
        }
        // The spans the range touches; a property they disagree on reads null.
        std::vector<TextStyle> styles;
        qsizetype at = 0;
        for (const StyledSpan& span : f->spans()) {
            const qsizetype next = at + span.text.size();
            if (next > begin && at < std::max(end, begin + 1))
                styles.push_back(span.style);
            at = next;
        }
        if (styles.empty())
            styles.push_back(f->spans().back().style);
        describe(format, styles.front(), f->record());
        for (std::size_t i = 1; i < styles.size(); ++i) {
            Object* other = newFormat(m);
            describe(other, styles[i], f->record());
            for (const Property& p : Properties) {
                const Value a = read(format, p.name), b = read(other, p.name);
                if (!a.isNull() && !m.strictEquals(a, b))
                    hiddenSet(format, key(p.name), Value::null());
            }
        }
        return Value::object(format);
    });
    m.addMethod(textField, QStringLiteral("setTextFormat"), [](Machine& m, const Value& self, Args args) {
        EditTextInstance* f = fieldOf(self);
        Object* format = arg(args, 0).object();
        if (!format)
            m.throwError(ErrorClass::TypeError, 2007, QStringLiteral("Parameter format must be non-null."));
        if (!f)
            return Value::undefined();
        qsizetype begin = 0, end = 0;
        if (!rangeOf(m, args, 1, f->plainText().size(), begin, end))
            return Value::undefined();
        // Split the spans at the range's ends and restyle those inside.
        std::vector<StyledSpan> out;
        qsizetype at = 0;
        for (const StyledSpan& span : f->spans()) {
            const qsizetype from = at, to = at + span.text.size();
            at = to;
            const qsizetype cutA = std::clamp(begin, from, to), cutB = std::clamp(end, from, to);
            if (cutA > from)
                out.push_back(StyledSpan { span.text.mid(0, cutA - from), span.style });
            if (cutB > cutA) {
                StyledSpan inside { span.text.mid(cutA - from, cutB - cutA), span.style };
                apply(m, format, inside.style);
                out.push_back(std::move(inside));
            }
            if (to > cutB)
                out.push_back(StyledSpan { span.text.mid(cutB - from), span.style });
        }
        if (Value v = read(format, "leading"); !v.isNullish()) {
            const int twips = int(std::lround(m.toNumber(v) * 20));
            f->changeRecord([twips](EditTextRecord& r) { r.leading = twips; });
        }
        f->setSpans(std::move(out));
        return Value::undefined();
    }, 3);
}

} // namespace swf::avm2
