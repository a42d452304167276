// TextField, TextFormat and Selection as scripts see them, and
// MovieClip.createTextField: named functions bound from tables; the state
// behind them (objects per field, focus, bound variables) is TextFieldScripts.

#include "swf/avm1/stage/StyleSheetClass.h"
#include "swf/avm1/stage/TextFieldScripts.h"

#include "swf/movie/Fonts.h"
#include "swf/movie/Movie.h"
#include "swf/runtime/ButtonInstance.h"
#include "swf/runtime/EditTextInstance.h"
#include "swf/runtime/SpriteInstance.h"
#include "swf/runtime/Stage.h"
#include "swf/avm1/stage/SpriteClip.h"
#include "swf/avm1/stage/StageScripts.h"
#include "swf/avm1/stage/TextFieldObject.h"
#include "swf/avm1/stage/TextFormatObject.h"

#include <QFontMetricsF>

#include <cmath>
#include <functional>

namespace swf::avm1 {

namespace {

constexpr int ScriptDepths = 16384;

TextFieldObject* fieldObjectOf(const Value& v)
{
    return dynamic_cast<TextFieldObject*>(v.asObject());
}

EditTextInstance* fieldOf(const CallArgs& a)
{
    TextFieldObject* o = fieldObjectOf(a.thisValue);
    return o ? o->field() : nullptr;
}

const char* alignName(int align)
{
    switch (align) {
    case 1: return "right";
    case 2: return "center";
    case 3: return "justify";
    default: return "left";
    }
}

// Cuts the spans so a span starts at `pos`; returns that span's index.
std::size_t splitAt(std::vector<StyledSpan>& spans, qsizetype pos)
{
    qsizetype at = 0;
    for (std::size_t i = 0; i < spans.size(); ++i) {
        const qsizetype length = spans[i].text.size();
        if (pos <= at)
            return i;
        if (pos < at + length) {
            StyledSpan tail { spans[i].text.mid(pos - at), spans[i].style };
            spans[i].text.truncate(pos - at);
            spans.insert(spans.begin() + qsizetype(i) + 1, std::move(tail));
            return i + 1;
        }
        at += length;
    }
    return spans.size();
}

// The range a format call names: (), (index) or (begin, end), clamped to the text.
std::pair<qsizetype, qsizetype> rangeOf(Interpreter& vm, const CallArgs& a, std::size_t count, qsizetype length)
{
    qsizetype begin = 0, end = length;
    if (count >= 1) {
        double b = vm.toNumber(a.arg(0));
        if (std::isfinite(b) && b >= 0) {
            begin = qsizetype(std::min<double>(b, double(length)));
            end = std::min(begin + 1, length);
        }
    }
    if (count >= 2) {
        double e = vm.toNumber(a.arg(1));
        if (std::isfinite(e))
            end = qsizetype(std::clamp<double>(e, double(begin), double(length)));
    }
    return { begin, end };
}

// Replaces the characters from `begin` to `end` with `text` in the style new
// text gets, and hands the result to the bound variable.
void replaceFieldText(TextFieldScripts& scripts, EditTextInstance& f, qsizetype begin, qsizetype end, const QString& text)
{
    std::vector<StyledSpan> spans = f.spans();
    const std::size_t first = splitAt(spans, begin);
    const std::size_t last = splitAt(spans, end);
    spans.erase(spans.begin() + qsizetype(first), spans.begin() + qsizetype(last));
    QString inserted = text;
    inserted.replace(u'\r', u'\n');
    spans.insert(spans.begin() + qsizetype(first), StyledSpan { inserted, f.newTextStyle() });
    f.setSpans(std::move(spans));
    scripts.pushVariable(f);
}

// The listener list of a field, made on first use.
ArrayObject* fieldListeners(Interpreter& vm, Object* self)
{
    if (Property* p = self->findOwn(QStringLiteral("_listeners")))
        if (auto* array = dynamic_cast<ArrayObject*>(p->value.asObject()))
            return array;
    ArrayObject* array = vm.newArray();
    self->define(QStringLiteral("_listeners"), Value(static_cast<Object*>(array)), DontEnum);
    return array;
}

} // namespace

// The player puts a text field's own properties on TextField.prototype
// (whatever object that is at the time) when the first field is made from
// it: by `new TextField` or by a createTextField that makes one.
static void defineFieldProperties(Object* proto)
{
    if (!proto)
        return;
    static const char* const names[] = { "text", "htmlText", "html", "textColor", "textWidth", "textHeight", "autoSize",
        "border", "borderColor", "background", "backgroundColor", "multiline", "wordWrap", "selectable", "type",
        "variable", "maxChars", "password", "embedFonts", "length", "scroll", "maxscroll", "bottomScroll", "hscroll",
        "maxhscroll" };
    for (const char* name : names) {
        const QString n = QString::fromLatin1(name);
        if (!proto->findOwn(n))
            proto->define(n, Value(), DontEnum | DontDelete);
    }
}

static Value textFieldConstructor(Interpreter&, CallArgs& a)
{
    if (a.constructing && a.thisObject())
        defineFieldProperties(a.thisObject()->proto());
    return a.thisValue;
}

static Value textFormatConstructor(Interpreter& vm, CallArgs& a)
{
    Object* self = a.thisObject();
    if (!self || !a.constructing)
        return Value();
    // `new TextFormat` makes a format object of its own kind, whose members
    // convert what is written to them; a subclass's object stays as it is.
    Object* format = self;
    if (a.callee && self->proto() && !dynamic_cast<TextFormatObject*>(self)
        && vm.getMember(Value(a.callee), QStringLiteral("prototype")).asObject() == self->proto()) {
        format = vm.make<TextFormatObject>(self->proto(), self->caseSensitive());
        vm.markConstructed(format, Value(a.callee));
    }
    static const char* const names[] = { "font", "size", "color", "bold", "italic", "underline", "url", "target",
        "align", "leftMargin", "rightMargin", "indent", "leading" };
    for (const char* name : names)
        format->put(QString::fromLatin1(name), Value::null());
    format->put(QStringLiteral("blockIndent"), Value::null());
    format->put(QStringLiteral("bullet"), Value::null());
    format->put(QStringLiteral("tabStops"), Value::null());
    // The arguments are written as a script would write the members.
    for (std::size_t i = 0; i < std::size(names) && i < a.args.size(); ++i)
        if (!a.args[i].isUndefined())
            vm.setMember(Value(format), QString::fromLatin1(names[i]), a.args[i]);
    return format == self ? Value() : Value(format);
}

static Value textFieldToString(Interpreter& vm, CallArgs& a)
{
    TextFieldScripts& self = StageScripts::of(vm).textFields();
    EditTextInstance* f = fieldOf(a);
    if (!f || !f->parent())
        return Value(QStringLiteral("[object Object]"));
    return Value(self.owner().clipFor(*f->parent())->dotPath() + u'.' + f->name());
}

static Value textFieldGetDepth(Interpreter&, CallArgs& a)
{
    EditTextInstance* f = fieldOf(a);
    return f ? Value(double(f->depth() - ScriptDepths)) : Value();
}

static Value textFieldRemoveTextField(Interpreter&, CallArgs& a)
{
    // Only fields made by scripts (at script depths) can be removed.
    EditTextInstance* f = fieldOf(a);
    if (f && f->parent() && f->depth() >= ScriptDepths && f->parent()->childAt(f->depth()) == f)
        f->parent()->removeChild(f->depth());
    return Value();
}

static Value textFieldSetNewTextFormat(Interpreter& vm, CallArgs& a)
{
    EditTextInstance* f = fieldOf(a);
    if (!f)
        return Value();
    TextStyle style = f->newTextStyle();
    applyTextFormat(vm, a.arg(0).asObject(), style);
    f->setNewTextStyle(style);
    return Value();
}

static Value textFieldGetNewTextFormat(Interpreter& vm, CallArgs& a)
{
    TextFieldScripts& self = StageScripts::of(vm).textFields();
    EditTextInstance* f = fieldOf(a);
    if (!f)
        return Value();
    Object* format = vm.make<TextFormatObject>(self.formatPrototype(), vm.caseSensitive());
    const TextStyle& s = f->newTextStyle();
    const EditTextRecord& r = f->record();
    QString face = s.face;
    if (face.isEmpty() && r.fontId)
        if (const auto* font = dynamic_cast<const FontDef*>(self.owner().stage().movie().character(*r.fontId)))
            face = font->name;
    format->put(QStringLiteral("font"), Value(face.isEmpty() ? QStringLiteral("Times New Roman") : face));
    format->put(QStringLiteral("size"), Value(s.size / 20));
    format->put(QStringLiteral("color"), Value(double(s.color.rgb() & 0xffffff)));
    format->put(QStringLiteral("bold"), Value(s.bold));
    format->put(QStringLiteral("italic"), Value(s.italic));
    format->put(QStringLiteral("underline"), Value(s.underline));
    format->put(QStringLiteral("url"), Value(s.url));
    format->put(QStringLiteral("target"), Value(QString()));
    format->put(QStringLiteral("align"), Value(alignName(s.align)));
    format->put(QStringLiteral("leftMargin"), Value(r.leftMargin / 20.0));
    format->put(QStringLiteral("rightMargin"), Value(r.rightMargin / 20.0));
    format->put(QStringLiteral("indent"), Value(r.indent / 20.0));
    format->put(QStringLiteral("leading"), Value(r.leading / 20.0));
    format->put(QStringLiteral("blockIndent"), Value(0.0));
    format->put(QStringLiteral("bullet"), Value(false));
    return Value(format);
}

static Value textFieldSetTextFormat(Interpreter& vm, CallArgs& a)
{
    EditTextInstance* f = fieldOf(a);
    if (!f || a.args.empty())
        return Value();
    // The format is the last argument; the numbers before it name the range.
    Object* format = a.args.back().asObject();
    if (!format)
        return Value();
    std::vector<StyledSpan> spans = f->spans();
    const auto [begin, end] = rangeOf(vm, a, a.args.size() - 1, f->plainText().size());
    if (begin < end) {
        splitAt(spans, begin);
        const std::size_t last = splitAt(spans, end);
        const std::size_t first = splitAt(spans, begin);
        for (std::size_t i = first; i < last; ++i)
            applyTextFormat(vm, format, spans[i].style);
    }
    // Margins, indent and leading belong to the whole field here.
    auto twips = [&](const char* name, int& slot) {
        Value v = vm.getMember(Value(format), QString::fromLatin1(name));
        double n = v.isNullish() ? NAN : vm.toNumber(v);
        if (std::isfinite(n))
            slot = clampToInt(std::clamp(n, -1000.0, 1000.0) * 20);
    };
    EditTextRecord record = f->record();
    twips("leftMargin", record.leftMargin);
    twips("rightMargin", record.rightMargin);
    twips("indent", record.indent);
    twips("leading", record.leading);
    f->changeRecord([&](EditTextRecord& r) {
        r.leftMargin = std::max(0, record.leftMargin);
        r.rightMargin = std::max(0, record.rightMargin);
        r.indent = record.indent;
        r.leading = record.leading;
    });
    f->setSpans(std::move(spans));
    return Value();
}

static Value textFieldGetTextFormat(Interpreter& vm, CallArgs& a)
{
    TextFieldScripts& self = StageScripts::of(vm).textFields();
    EditTextInstance* f = fieldOf(a);
    if (!f)
        return Value();
    Object* format = vm.make<TextFormatObject>(self.formatPrototype(), vm.caseSensitive());
    const qsizetype length = f->plainText().size();
    auto [begin, end] = rangeOf(vm, a, std::min<std::size_t>(a.args.size(), 2), length);
    // An empty range (or empty text) reports the style of the character at it, or the new-text style.
    std::vector<const TextStyle*> styles;
    qsizetype at = 0;
    for (const StyledSpan& span : f->spans()) {
        const qsizetype spanEnd = at + span.text.size();
        if (begin < end ? (spanEnd > begin && at < end) : (begin >= at && begin < spanEnd))
            styles.push_back(&span.style);
        at = spanEnd;
    }
    if (styles.empty())
        styles.push_back(&f->newTextStyle());
    auto same = [&](auto get) {
        for (const TextStyle* s : styles)
            if (!(get(*s) == get(*styles.front())))
                return false;
        return true;
    };
    const EditTextRecord& r = f->record();
    QString fieldFace = QStringLiteral("Times New Roman");
    if (r.fontId)
        if (const auto* font = dynamic_cast<const FontDef*>(self.owner().stage().movie().character(*r.fontId)))
            fieldFace = font->name;
    const TextStyle& s = *styles.front();
    auto put = [&](const char* name, bool uniform, const Value& v) {
        format->put(QString::fromLatin1(name), uniform ? v : Value::null());
    };
    put("font", same([](const TextStyle& t) { return t.face; }), Value(s.face.isEmpty() ? fieldFace : s.face));
    put("size", same([](const TextStyle& t) { return t.size; }), Value(s.size / 20));
    put("color", same([](const TextStyle& t) { return t.color.rgb(); }), Value(double(s.color.rgb() & 0xffffff)));
    put("bold", same([](const TextStyle& t) { return t.bold; }), Value(s.bold));
    put("italic", same([](const TextStyle& t) { return t.italic; }), Value(s.italic));
    put("underline", same([](const TextStyle& t) { return t.underline; }), Value(s.underline));
    put("url", same([](const TextStyle& t) { return t.url; }), Value(s.url));
    put("target", true, Value(QString()));
    put("align", same([](const TextStyle& t) { return t.align; }), Value(alignName(s.align)));
    put("leftMargin", true, Value(r.leftMargin / 20.0));
    put("rightMargin", true, Value(r.rightMargin / 20.0));
    put("indent", true, Value(r.indent / 20.0));
    put("leading", true, Value(r.leading / 20.0));
    put("blockIndent", true, Value(0.0));
    put("bullet", true, Value(false));
    return Value(format);
}

static Value textFieldReplaceText(Interpreter& vm, CallArgs& a)
{
    EditTextInstance* f = fieldOf(a);
    if (!f || a.args.size() < 3)
        return Value();
    const qsizetype length = f->plainText().size();
    double b = vm.toNumber(a.arg(0)), e = vm.toNumber(a.arg(1));
    if (!std::isfinite(b) || !std::isfinite(e) || b < 0 || e < b)
        return Value();
    replaceFieldText(StageScripts::of(vm).textFields(), *f, qsizetype(std::min<double>(b, double(length))), qsizetype(std::min<double>(e, double(length))), vm.toString(a.arg(2)));
    return Value();
}

static Value textFieldReplaceSel(Interpreter& vm, CallArgs& a)
{
    // Without a selection of its own the caret sits after the last character.
    EditTextInstance* f = fieldOf(a);
    if (!f)
        return Value();
    const qsizetype length = f->plainText().size();
    replaceFieldText(StageScripts::of(vm).textFields(), *f, length, length, vm.toString(a.arg(0)));
    return Value();
}

static Value textFieldAddListener(Interpreter& vm, CallArgs& a)
{
    Object* self = a.thisObject();
    Object* l = a.arg(0).asObject();
    if (!self || !l)
        return Value(false);
    ArrayObject* array = fieldListeners(vm, self);
    for (const Value& v : array->elements)
        if (v.asObject() == l)
            return Value(true);
    array->elements.push_back(a.arg(0));
    return Value(true);
}

static Value textFieldRemoveListener(Interpreter& vm, CallArgs& a)
{
    Object* self = a.thisObject();
    if (!self)
        return Value(false);
    auto& e = fieldListeners(vm, self)->elements;
    for (auto it = e.begin(); it != e.end(); ++it) {
        if (it->asObject() && it->asObject() == a.arg(0).asObject()) {
            e.erase(it);
            return Value(true);
        }
    }
    return Value(false);
}

static Value textFormatGetTextExtent(Interpreter& vm, CallArgs& a)
{
    // Measured with the system font the format names, as a device-font field would draw it.
    Object* self = a.thisObject();
    if (!self)
        return Value();
    TextStyle style;
    style.size = 240;
    applyTextFormat(vm, self, style);
    QFont font = deviceFont(style.face.isEmpty() ? QStringLiteral("_serif") : style.face, style.size, style.bold, style.italic);
    QFontMetricsF metrics(font);
    const QString text = vm.toString(a.arg(0));
    Object* extent = vm.newObject();
    const double width = metrics.horizontalAdvance(text) / 20;
    const double height = (metrics.ascent() + metrics.descent()) / 20;
    extent->put(QStringLiteral("ascent"), Value(std::round(metrics.ascent() / 20)));
    extent->put(QStringLiteral("descent"), Value(std::round(metrics.descent() / 20)));
    extent->put(QStringLiteral("width"), Value(std::round(width)));
    extent->put(QStringLiteral("height"), Value(std::round(height)));
    extent->put(QStringLiteral("textFieldWidth"), Value(std::round(width) + 4));
    extent->put(QStringLiteral("textFieldHeight"), Value(std::round(height) + 4));
    return Value(extent);
}

static Value selectionGetFocus(Interpreter& vm, CallArgs&)
{
    TextFieldScripts& self = StageScripts::of(vm).textFields();
    if (auto* clip = dynamic_cast<SpriteClip*>(self.focusedClip()); clip && clip->sprite())
        return Value(clip->dotPath());
    EditTextInstance* f = self.focusedField();
    if (!f || !f->parent())
        return Value::null();
    return Value(self.owner().clipFor(*f->parent())->dotPath() + u'.' + f->name());
}

// Moving the focus away from or onto a clip tells at once: the clip losing
// it (onKillFocus with the new holder, the old one still focused), then the
// one gaining it (onSetFocus with the old holder), then Selection's
// listeners (onSetFocus with both). Fields hear of their own focus in the
// pass after the frame.
static void moveFocus(Interpreter& vm, TextFieldScripts& self, SpriteClip* to)
{
    Object* old = self.focusedClip();
    auto* oldClip = dynamic_cast<SpriteClip*>(old);
    if (oldClip && !oldClip->sprite())
        oldClip = nullptr;
    Value oldValue = oldClip ? Value(static_cast<Object*>(oldClip)) : Value::null();
    Value newValue = to ? Value(static_cast<Object*>(to)) : Value::null();
    if (!oldClip && !to) {
        self.setFocus(nullptr);
        return;
    }
    if (oldClip)
        vm.callMethodSafely(oldClip, QStringLiteral("onKillFocus"), { newValue });
    if (to)
        self.setFocusClip(to);
    else
        self.setFocus(nullptr);
    if (to)
        vm.callMethodSafely(to, QStringLiteral("onSetFocus"), { oldValue });
    Value selection = vm.getMember(Value(vm.global()), QStringLiteral("Selection"));
    Property* list = selection.asObject() ? selection.asObject()->findOwn(QStringLiteral("_listeners")) : nullptr;
    if (auto* array = list ? dynamic_cast<ArrayObject*>(list->value.asObject()) : nullptr) {
        const std::vector<Value> copy = array->elements;
        for (const Value& l : copy) {
            if (Object* o = l.asObject())
                vm.callMethodSafely(o, QStringLiteral("onSetFocus"), { oldValue, newValue });
        }
    }
}

// Any field takes the focus; a clip only when it acts as a button (it has
// a pointer handler) or says it takes the focus (focusEnabled).
static Value selectionSetFocus(Interpreter& vm, CallArgs& a)
{
    TextFieldScripts& self = StageScripts::of(vm).textFields();
    Value target = a.arg(0);
    if (target.isNullish()) {
        moveFocus(vm, self, nullptr);
        return Value(true);
    }
    // Movies of version 5 name what takes the focus by its path alone.
    if (vm.version() < 6 && !target.isString())
        return Value(false);
    Object* o = target.asObject();
    if (!o && target.isString())
        o = vm.resolveTarget(self.owner().clipFor(self.owner().stage().root()), target.asString());
    if (auto* clip = dynamic_cast<SpriteClip*>(o)) {
        SpriteInstance* sprite = clip->sprite();
        if (!sprite)
            return Value(false);
        const bool focusable = self.owner().actsAsButton(*sprite) || vm.toBoolean(vm.getMember(Value(o), QStringLiteral("focusEnabled")));
        if (!focusable)
            return Value(false);
        moveFocus(vm, self, clip);
        return Value(true);
    }
    TextFieldObject* field = dynamic_cast<TextFieldObject*>(o);
    if (!field || !field->field())
        return Value(false);
    if (self.focusedClip())
        moveFocus(vm, self, nullptr);
    self.setFocus(field->field());
    return Value(true);
}

static Value selectionSetSelection(Interpreter&, CallArgs&)
{
    return Value();
}

static Value movieClipCreateTextField(Interpreter& vm, CallArgs& a)
{
    TextFieldScripts& self = StageScripts::of(vm).textFields();
    auto* clip = dynamic_cast<SpriteClip*>(a.thisObject());
    SpriteInstance* sprite = clip ? clip->sprite() : nullptr;
    if (!sprite || a.args.size() < 6)
        return Value();
    const QString name = vm.toString(a.arg(0));
    const double depth = toIntegerValue(vm.toNumber(a.arg(1)));
    double box[4];
    for (int i = 0; i < 4; ++i) {
        // Place and size are whole pixels: 100.5 makes a field at 100.
        box[i] = toIntegerValue(vm.toNumber(a.arg(std::size_t(2 + i))));
        if (!std::isfinite(box[i]))
            box[i] = 0;
        box[i] = std::clamp(box[i], -1e6, 1e6);
    }
    auto def = std::make_shared<EditTextDef>(0);
    EditTextRecord& r = def->record;
    // A new field: dynamic, selectable, one line, no border, 12-point black serif.
    r.bounds = TwipsRect { 0, std::int32_t(std::lround(std::abs(box[2]) * 20)), 0, std::int32_t(std::lround(std::abs(box[3]) * 20)) };
    r.readOnly = true;
    r.height = 240;
    r.color = Rgba { 0, 0, 0, 255 };
    EditTextInstance* field = sprite->createTextChild(def, name, clampToInt(depth + ScriptDepths));
    if (!field)
        return Value();
    Matrix m;
    m.tx = box[0] * 20;
    m.ty = box[1] * 20;
    field->setMatrix(m);
    TextFieldObject* object = self.objectFor(*field);
    Value ctor = vm.getMember(Value(vm.global()), QStringLiteral("TextField"));
    defineFieldProperties(ctor.isObject() ? vm.getMember(ctor, QStringLiteral("prototype")).asObject() : nullptr);
    return vm.version() >= 8 ? Value(static_cast<Object*>(object)) : Value();
}

// A field given the focus has its whole text selected, the caret at the
// end; without a focused field every index is -1.
template<bool Begin>
Value selectionIndex(Interpreter& vm, CallArgs&)
{
    EditTextInstance* f = StageScripts::of(vm).textFields().focusedField();
    if (!f)
        return Value(-1.0);
    return Value(Begin ? 0.0 : double(f->plainText().size()));
}

const NativeMethod textFieldMethods[] = {
    { "toString", textFieldToString },
    { "getDepth", textFieldGetDepth },
    { "removeTextField", textFieldRemoveTextField },
    { "setNewTextFormat", textFieldSetNewTextFormat },
    { "getNewTextFormat", textFieldGetNewTextFormat },
    { "setTextFormat", textFieldSetTextFormat },
    { "getTextFormat", textFieldGetTextFormat },
    { "replaceText", textFieldReplaceText },
    { "replaceSel", textFieldReplaceSel },
    { "addListener", textFieldAddListener },
    { "removeListener", textFieldRemoveListener },
};

const NativeMethod textFormatMethods[] = {
    { "getTextExtent", textFormatGetTextExtent },
};

const NativeMethod selectionStaticMethods[] = {
    { "getFocus", selectionGetFocus },
    { "setFocus", selectionSetFocus },
    { "getBeginIndex", selectionIndex<true> },
    { "getEndIndex", selectionIndex<false> },
    { "getCaretIndex", selectionIndex<false> },
    { "setSelection", selectionSetSelection },
};

const NativeMethod createTextFieldMethods[] = {
    { "createTextField", movieClipCreateTextField },
};

void TextFieldScripts::installTextField()
{
    Interpreter& vm = m_owner.interpreter();
    m_fieldProto = vm.newObject();
    auto* ctor = vm.newConstructor(QStringLiteral("TextField"), textFieldConstructor, m_fieldProto);
    vm.global()->define(QStringLiteral("TextField"), Value(static_cast<Object*>(ctor)), DontEnum);
    Object* proto = m_fieldProto;

    vm.defineMethods(proto, textFieldMethods);
    installStyleSheet(vm, ctor);
}

void TextFieldScripts::installTextFormat()
{
    Interpreter& vm = m_owner.interpreter();
    m_formatProto = vm.newObject();
    auto* ctor = vm.newConstructor(QStringLiteral("TextFormat"), textFormatConstructor, m_formatProto);
    vm.global()->define(QStringLiteral("TextFormat"), Value(static_cast<Object*>(ctor)), DontEnum);
    vm.defineMethods(m_formatProto, textFormatMethods);
}

void TextFieldScripts::installSelection()
{
    Interpreter& vm = m_owner.interpreter();
    Object* selection = nullptr;
    if (Property* p = vm.global()->findOwn(QStringLiteral("Selection")))
        selection = p->value.asObject();
    if (!selection) {
        selection = vm.newObject();
        // A class of static members the player builds names Object as its constructor.
        selection->define(QStringLiteral("constructor"), Value(vm.realm().objectConstructor), DontEnum | DontDelete);
        vm.global()->define(QStringLiteral("Selection"), Value(selection), DontEnum);
    }
    const uint8_t fixed = DontEnum | DontDelete | ReadOnly;
    vm.defineMethods(selection, selectionStaticMethods);
    makeBroadcaster(vm, selection, fixed);
    for (const QString& name : selection->ownNames(true)) {
        if (Property* p = selection->findOwn(name))
            p->flags = fixed;
    }
}

void TextFieldScripts::installCreateTextField()
{
    Interpreter& vm = m_owner.interpreter();
    Object* clipProto = vm.clipPrototype();
    vm.defineMethods(clipProto, createTextFieldMethods);
}

} // namespace swf::avm1
