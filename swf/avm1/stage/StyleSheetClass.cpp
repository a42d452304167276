// TextField.StyleSheet (version 7 on): named styles a movie sets one by one
// or reads from CSS text, and the two value parsers the player's own CSS
// reader uses (parseColor, parseCSSFontFamily), which scripts can call.

#include "swf/avm1/stage/StyleSheetClass.h"

#include "swf/avm1/builtins/NativeText.h"

#include <QMap>

namespace swf::avm1 {

namespace {

class StyleSheetObject : public Object {
public:
    StyleSheetObject(Object* proto, bool caseSensitive) : Object(Kind::Plain, proto, caseSensitive) { }

    // Style name -> the object of its properties (a copy the sheet owns).
    QMap<QString, Object*> styles;

    void markChildren(std::vector<Object*>& stack) override
    {
        Object::markChildren(stack);
        for (Object* o : std::as_const(styles))
            stack.push_back(o);
    }
};

StyleSheetObject* sheetOf(const CallArgs& a)
{
    return dynamic_cast<StyleSheetObject*>(a.thisObject());
}

// A new plain object with the enumerable members of `from`.
Object* copyOf(Interpreter& vm, Object* from)
{
    Object* copy = vm.newObject();
    const QStringList names = from->ownNames(false);
    for (auto it = names.crbegin(); it != names.crend(); ++it)
        copy->put(*it, vm.getMember(Value(from), *it));
    return copy;
}

// "#RRGGBB" and nothing else (no short form, no spaces, no names): the
// colour as a number; anything else is null.
Value parseColor(Interpreter& vm, CallArgs& a)
{
    if (a.args.empty() || a.arg(0).isNullish())
        return Value::null();
    const QString text = nativeText(vm, a.arg(0));
    if (text.size() != 7 || text[0] != QLatin1Char('#'))
        return Value::null();
    bool ok = false;
    const uint value = QStringView(text).mid(1).toUInt(&ok, 16);
    for (QChar c : QStringView(text).mid(1)) {
        if (!isxdigit(c.toLatin1()))
            ok = false;
    }
    return ok ? Value(double(value)) : Value::null();
}

// The CSS generic families as the player's device font names; any other
// name comes back as it was written.
Value parseCSSFontFamily(Interpreter& vm, CallArgs& a)
{
    const QString name = nativeText(vm, a.arg(0));
    const QString lower = name.toLower();
    if (lower == QLatin1String("mono"))
        return Value(QStringLiteral("_typewriter"));
    if (lower == QLatin1String("sans-serif"))
        return Value(QStringLiteral("_sans"));
    if (lower == QLatin1String("serif"))
        return Value(QStringLiteral("_serif"));
    return Value(name);
}

Value setStyle(Interpreter& vm, CallArgs& a)
{
    StyleSheetObject* sheet = sheetOf(a);
    if (!sheet || a.args.empty())
        return Value();
    const QString name = vm.toString(a.arg(0));
    Object* style = a.arg(1).asObject();
    if (style)
        sheet->styles.insert(name, copyOf(vm, style));
    else
        sheet->styles.remove(name);
    return Value();
}

Value getStyle(Interpreter& vm, CallArgs& a)
{
    StyleSheetObject* sheet = sheetOf(a);
    if (!sheet)
        return Value();
    Object* style = sheet->styles.value(vm.toString(a.arg(0)), nullptr);
    return style ? Value(copyOf(vm, style)) : Value::null();
}

Value getStyleNames(Interpreter& vm, CallArgs& a)
{
    StyleSheetObject* sheet = sheetOf(a);
    if (!sheet)
        return Value();
    ArrayObject* names = vm.newArray();
    for (const QString& name : sheet->styles.keys())
        names->elements.push_back(Value(name));
    return Value(static_cast<Object*>(names));
}

Value clear(Interpreter&, CallArgs& a)
{
    if (StyleSheetObject* sheet = sheetOf(a))
        sheet->styles.clear();
    return Value();
}

// font-size -> fontSize: CSS property names as the style objects name them.
QString camelCase(const QString& cssName)
{
    QString out;
    bool upper = false;
    for (QChar c : cssName) {
        if (c == QLatin1Char('-')) {
            upper = true;
            continue;
        }
        out += upper ? c.toUpper() : c;
        upper = false;
    }
    return out;
}

// "sel, sel2 { name: value; ... } ...": each selector gets the declarations
// of its block (added to what it had). False, with nothing changed, when a
// block is not closed or a declaration has no colon.
Value parseCSS(Interpreter& vm, CallArgs& a)
{
    StyleSheetObject* sheet = sheetOf(a);
    if (!sheet)
        return Value();
    const QString css = vm.toString(a.arg(0));
    QList<QPair<QStringList, QList<QPair<QString, QString>>>> rules;
    int at = 0;
    while (true) {
        const int open = css.indexOf(QLatin1Char('{'), at);
        if (open < 0) {
            if (!css.mid(at).trimmed().isEmpty())
                return Value(false);
            break;
        }
        const int close = css.indexOf(QLatin1Char('}'), open);
        if (close < 0)
            return Value(false);
        QStringList selectors;
        for (const QString& s : css.mid(at, open - at).split(QLatin1Char(','))) {
            if (!s.trimmed().isEmpty())
                selectors << s.trimmed();
        }
        if (selectors.isEmpty())
            return Value(false);
        QList<QPair<QString, QString>> declarations;
        for (const QString& d : css.mid(open + 1, close - open - 1).split(QLatin1Char(';'))) {
            if (d.trimmed().isEmpty())
                continue;
            const int colon = d.indexOf(QLatin1Char(':'));
            if (colon < 0)
                return Value(false);
            declarations.append({ camelCase(d.left(colon).trimmed()), d.mid(colon + 1).trimmed() });
        }
        rules.append({ selectors, declarations });
        at = close + 1;
    }
    for (const auto& [selectors, declarations] : rules) {
        for (const QString& selector : selectors) {
            Object* style = sheet->styles.value(selector, nullptr);
            if (!style) {
                style = vm.newObject();
                sheet->styles.insert(selector, style);
            }
            for (const auto& [name, value] : declarations)
                style->put(name, Value(value));
        }
    }
    return Value(true);
}

const NativeMethod styleSheetMethods[] = {
    { "setStyle", setStyle },
    { "getStyle", getStyle },
    { "getStyleNames", getStyleNames },
    { "clear", clear },
    { "parseCSS", parseCSS },
    { "parseColor", parseColor },
    { "parseCSSFontFamily", parseCSSFontFamily },
};

} // namespace

void installStyleSheet(Interpreter& vm, Object* textFieldCtor)
{
    Object* proto = vm.newObject();
    auto* ctor = vm.newConstructor(QStringLiteral("StyleSheet"), [](Interpreter& vm, CallArgs& a) -> Value {
        Object* self = a.thisObject();
        if (!a.constructing || !self)
            return Value();
        auto* made = vm.make<StyleSheetObject>(self->proto(), vm.caseSensitive());
        for (const char* name : { "__constructor__", "constructor" }) {
            if (const Property* p = self->findOwn(QString::fromLatin1(name)))
                made->define(QString::fromLatin1(name), p->value, DontEnum);
        }
        return Value(static_cast<Object*>(made));
    }, proto);
    textFieldCtor->define(QStringLiteral("StyleSheet"), Value(static_cast<Object*>(ctor)), DontEnum);
    textFieldCtor->findOwn(QStringLiteral("StyleSheet"))->minVersion = 7;
    vm.defineMethods(proto, styleSheetMethods);
}

} // namespace swf::avm1
