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

// Every edit text on stage, depth-first in display order (button parts included).
void forEachField(DisplayObject& object, const std::function<void(EditTextInstance&)>& visit)
{
    if (auto edit = dynamic_cast<EditTextInstance*>(&object)) {
        visit(*edit);
        return;
    }
    if (auto sprite = object.asSprite()) {
        std::vector<DisplayObject*> children;
        for (const auto& [depth, child] : sprite->displayList())
            children.push_back(child.get());
        for (DisplayObject* child : children)
            forEachField(*child, visit);
        return;
    }
    if (auto button = dynamic_cast<ButtonInstance*>(&object)) {
        for (const auto& [depth, part] : button->parts())
            forEachField(*part, visit);
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

} // namespace

void applyTextFormat(Interpreter& vm, Object* format, TextStyle& style)
{
    if (!format)
        return;
    auto field = [&](const char* name) { return vm.getMember(Value(format), QString::fromLatin1(name)); };
    Value v = field("font");
    if (!v.isNullish())
        style.face = vm.toString(v);
    v = field("size");
    if (!v.isNullish()) {
        double points = vm.toNumber(v);
        if (std::isfinite(points) && points > 0)
            style.size = std::min(points, 1000.0) * 20;
    }
    v = field("color");
    if (!v.isNullish())
        style.color = QColor::fromRgb(0xff000000u | (toUint32(vm.toNumber(v)) & 0xffffff));
    // The flags, each left alone when the format does not set it.
    for (auto [name, flag] : { std::pair { "bold", &TextStyle::bold }, std::pair { "italic", &TextStyle::italic },
             std::pair { "underline", &TextStyle::underline } }) {
        v = field(name);
        if (!v.isNullish())
            style.*flag = vm.toBoolean(v);
    }
    v = field("url");
    if (!v.isNullish())
        style.url = vm.toString(v);
    v = field("align");
    if (!v.isNullish()) {
        const QString a = vm.toString(v).toLower();
        if (a == u"left") style.align = 0;
        else if (a == u"right") style.align = 1;
        else if (a == u"center") style.align = 2;
        else if (a == u"justify") style.align = 3;
    }
}

TextFieldScripts::TextFieldScripts(StageScripts& owner)
    : m_owner(owner)
{
}

TextFieldScripts::~TextFieldScripts()
{
    // The machine's heap may outlive us: its objects must not call back.
    for (TextFieldObject* object : std::set<TextFieldObject*>(m_objects))
        object->forget();
    m_objects.clear();
}

void TextFieldScripts::install()
{
    installTextField();
    installTextFormat();
    installSelection();
    installCreateTextField();
}

TextFieldObject* TextFieldScripts::objectFor(EditTextInstance& field)
{
    if (auto existing = dynamic_cast<TextFieldObject*>(field.peer()))
        return existing;
    Interpreter& vm = m_owner.interpreter();
    return vm.make<TextFieldObject>(this, &field, m_fieldProto, vm.caseSensitive());
}

Object* TextFieldScripts::childField(SpriteInstance& sprite, const QString& name, bool caseSensitive)
{
    // The first child of that name wins, as with clips.
    for (const auto& [depth, child] : sprite.displayList()) {
        if (child->name().compare(name, caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive) != 0)
            continue;
        if (auto edit = dynamic_cast<EditTextInstance*>(child.get()))
            return objectFor(*edit);
        return nullptr;
    }
    return nullptr;
}

Object* TextFieldScripts::resolveVariableHolder(EditTextInstance& field, QString& name)
{
    const QString path = field.variableName();
    if (path.isEmpty() || !field.parent())
        return nullptr;
    Interpreter& vm = m_owner.interpreter();
    Object* base = m_owner.clipFor(*field.parent());
    // "a.b.c" and "/a/b:c" both name variable c of the clip the rest leads to.
    qsizetype cut = std::max(path.lastIndexOf(u':'), path.lastIndexOf(u'.'));
    if (cut < 0) {
        name = path;
        return base;
    }
    name = path.mid(cut + 1);
    if (name.isEmpty())
        return nullptr;
    return vm.resolveTarget(base, path.left(cut));
}

void TextFieldScripts::pullVariable(EditTextInstance& field)
{
    if (field.variableName().isEmpty())
        return;
    Interpreter& vm = m_owner.interpreter();
    try {
        QString name;
        Object* holder = resolveVariableHolder(field, name);
        if (!holder)
            return;
        if (!vm.hasProperty(holder, name)) {
            // A field whose variable does not exist yet gives it its own text.
            if (!field.plainText().isEmpty())
                vm.setMember(Value(holder), name, Value(field.isHtml() ? field.text() : scriptTextOf(field)));
            return;
        }
        const Value value = vm.getMember(Value(holder), name);
        const QString text = value.isUndefined() ? QString() : vm.toString(value);
        if (text != field.text() && !(text.isEmpty() && field.plainText().isEmpty()))
            field.setText(text);
    } catch (const ScriptThrow&) {
        // A getter or toString that throws leaves the field as it was.
    } catch (const ScriptTrap&) {
    }
}

void TextFieldScripts::pushVariable(EditTextInstance& field)
{
    if (field.variableName().isEmpty())
        return;
    Interpreter& vm = m_owner.interpreter();
    try {
        QString name;
        if (Object* holder = resolveVariableHolder(field, name))
            vm.setMember(Value(holder), name, Value(field.isHtml() ? field.text() : scriptTextOf(field)));
    } catch (const ScriptThrow&) {
    } catch (const ScriptTrap&) {
    }
}

void TextFieldScripts::setFocus(EditTextInstance* field)
{
    forEachField(m_owner.stage().root(), [&](EditTextInstance& edit) { edit.setFocus(&edit == field); });
}

EditTextInstance* TextFieldScripts::focusedField() const
{
    EditTextInstance* found = nullptr;
    forEachField(m_owner.stage().root(), [&](EditTextInstance& edit) {
        if (!found && edit.hasFocus())
            found = &edit;
    });
    return found;
}

void TextFieldScripts::afterFrame()
{
    if (m_syncing)
        return;
    m_syncing = true;
    Interpreter& vm = m_owner.interpreter();
    std::vector<EditTextInstance*> fields;
    forEachField(m_owner.stage().root(), [&](EditTextInstance& edit) { fields.push_back(&edit); });
    // Handlers run after the pass, on objects: they may change the stage under us.
    std::vector<std::pair<TextFieldObject*, QString>> events;
    TextFieldObject* gained = nullptr;
    TextFieldObject* lost = nullptr;
    for (EditTextInstance* field : fields) {
        auto* object = dynamic_cast<TextFieldObject*>(field->peer());
        const bool typed = object ? object->seenTypedRevision != field->typedRevision() : field->typedRevision() != 0;
        if (!field->variableName().isEmpty()) {
            if (typed)
                pushVariable(*field);
            else
                pullVariable(*field);
        }
        if (!object)
            continue;
        if (typed) {
            object->seenTypedRevision = field->typedRevision();
            events.emplace_back(object, QStringLiteral("onChanged"));
        }
        if (object->seenFocus != field->hasFocus()) {
            object->seenFocus = field->hasFocus();
            (field->hasFocus() ? gained : lost) = object;
        }
    }
    auto call = [&](TextFieldObject* object, const QString& handler, std::vector<Value> args) {
        vm.callMethodSafely(object, handler, args);
        // Listeners hear what the field's own handler hears.
        Value listeners;
        if (Property* p = object->findOwn(QStringLiteral("_listeners")))
            listeners = p->value;
        if (auto* array = dynamic_cast<ArrayObject*>(listeners.asObject())) {
            std::vector<Value> copy = array->elements;
            for (const Value& l : copy) {
                if (Object* o = l.asObject())
                    vm.callMethodSafely(o, handler, args);
            }
        }
    };
    for (auto& [object, handler] : events)
        call(object, handler, { Value(static_cast<Object*>(object)) });
    if (lost)
        call(lost, QStringLiteral("onKillFocus"), { gained ? Value(static_cast<Object*>(gained)) : Value::null() });
    if (gained)
        call(gained, QStringLiteral("onSetFocus"), { lost ? Value(static_cast<Object*>(lost)) : Value::null() });
    m_syncing = false;
}

void TextFieldScripts::addRoots(std::vector<Object*>& roots) const
{
    // The prototypes too: a movie may delete the globals that lead to them.
    roots.push_back(m_fieldProto);
    roots.push_back(m_formatProto);
    for (TextFieldObject* object : m_objects) {
        if (object->field())
            roots.push_back(object);
    }
}

void TextFieldScripts::installTextField()
{
    Interpreter& vm = m_owner.interpreter();
    m_fieldProto = vm.newObject();
    auto* ctor = vm.newConstructor(QStringLiteral("TextField"), [](Interpreter&, CallArgs& a) -> Value { return a.thisValue; }, m_fieldProto);
    vm.global()->define(QStringLiteral("TextField"), Value(static_cast<Object*>(ctor)), DontEnum);
    Object* proto = m_fieldProto;

    vm.defineMethod(proto, QStringLiteral("toString"), [this](Interpreter&, CallArgs& a) -> Value {
        EditTextInstance* f = fieldOf(a);
        if (!f || !f->parent())
            return Value(QStringLiteral("[object Object]"));
        return Value(m_owner.clipFor(*f->parent())->dotPath() + u'.' + f->name());
    });
    vm.defineMethod(proto, QStringLiteral("getDepth"), [](Interpreter&, CallArgs& a) -> Value {
        EditTextInstance* f = fieldOf(a);
        return f ? Value(double(f->depth() - ScriptDepths)) : Value();
    });
    vm.defineMethod(proto, QStringLiteral("removeTextField"), [](Interpreter&, CallArgs& a) -> Value {
        // Only fields made by scripts (at script depths) can be removed.
        EditTextInstance* f = fieldOf(a);
        if (f && f->parent() && f->depth() >= ScriptDepths)
            f->parent()->removeChild(f->depth());
        return Value();
    });
    vm.defineMethod(proto, QStringLiteral("setNewTextFormat"), [](Interpreter& vm, CallArgs& a) -> Value {
        EditTextInstance* f = fieldOf(a);
        if (!f)
            return Value();
        TextStyle style = f->newTextStyle();
        applyTextFormat(vm, a.arg(0).asObject(), style);
        f->setNewTextStyle(style);
        return Value();
    });
    vm.defineMethod(proto, QStringLiteral("getNewTextFormat"), [this](Interpreter& vm, CallArgs& a) -> Value {
        EditTextInstance* f = fieldOf(a);
        if (!f)
            return Value();
        Object* format = vm.newObject(m_formatProto);
        const TextStyle& s = f->newTextStyle();
        const EditTextRecord& r = f->record();
        QString face = s.face;
        if (face.isEmpty() && r.fontId)
            if (const auto* font = dynamic_cast<const FontDef*>(m_owner.stage().movie().character(*r.fontId)))
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
    });
    vm.defineMethod(proto, QStringLiteral("setTextFormat"), [](Interpreter& vm, CallArgs& a) -> Value {
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
    });
    vm.defineMethod(proto, QStringLiteral("getTextFormat"), [this](Interpreter& vm, CallArgs& a) -> Value {
        EditTextInstance* f = fieldOf(a);
        if (!f)
            return Value();
        Object* format = vm.newObject(m_formatProto);
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
            if (const auto* font = dynamic_cast<const FontDef*>(m_owner.stage().movie().character(*r.fontId)))
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
    });
    auto replace = [this](EditTextInstance& f, qsizetype begin, qsizetype end, const QString& text) {
        std::vector<StyledSpan> spans = f.spans();
        const std::size_t first = splitAt(spans, begin);
        const std::size_t last = splitAt(spans, end);
        spans.erase(spans.begin() + qsizetype(first), spans.begin() + qsizetype(last));
        QString inserted = text;
        inserted.replace(u'\r', u'\n');
        spans.insert(spans.begin() + qsizetype(first), StyledSpan { inserted, f.newTextStyle() });
        f.setSpans(std::move(spans));
        pushVariable(f);
    };
    vm.defineMethod(proto, QStringLiteral("replaceText"), [replace](Interpreter& vm, CallArgs& a) -> Value {
        EditTextInstance* f = fieldOf(a);
        if (!f || a.args.size() < 3)
            return Value();
        const qsizetype length = f->plainText().size();
        double b = vm.toNumber(a.arg(0)), e = vm.toNumber(a.arg(1));
        if (!std::isfinite(b) || !std::isfinite(e) || b < 0 || e < b)
            return Value();
        replace(*f, qsizetype(std::min<double>(b, double(length))), qsizetype(std::min<double>(e, double(length))), vm.toString(a.arg(2)));
        return Value();
    });
    vm.defineMethod(proto, QStringLiteral("replaceSel"), [replace](Interpreter& vm, CallArgs& a) -> Value {
        // Without a selection of its own the caret sits after the last character.
        EditTextInstance* f = fieldOf(a);
        if (!f)
            return Value();
        const qsizetype length = f->plainText().size();
        replace(*f, length, length, vm.toString(a.arg(0)));
        return Value();
    });
    auto listeners = [](Interpreter& vm, Object* self) -> ArrayObject* {
        if (Property* p = self->findOwn(QStringLiteral("_listeners")))
            if (auto* array = dynamic_cast<ArrayObject*>(p->value.asObject()))
                return array;
        ArrayObject* array = vm.newArray();
        self->define(QStringLiteral("_listeners"), Value(static_cast<Object*>(array)), DontEnum);
        return array;
    };
    vm.defineMethod(proto, QStringLiteral("addListener"), [listeners](Interpreter& vm, CallArgs& a) -> Value {
        Object* self = a.thisObject();
        Object* l = a.arg(0).asObject();
        if (!self || !l)
            return Value(false);
        ArrayObject* array = listeners(vm, self);
        for (const Value& v : array->elements)
            if (v.asObject() == l)
                return Value(true);
        array->elements.push_back(a.arg(0));
        return Value(true);
    });
    vm.defineMethod(proto, QStringLiteral("removeListener"), [listeners](Interpreter& vm, CallArgs& a) -> Value {
        Object* self = a.thisObject();
        if (!self)
            return Value(false);
        auto& e = listeners(vm, self)->elements;
        for (auto it = e.begin(); it != e.end(); ++it) {
            if (it->asObject() && it->asObject() == a.arg(0).asObject()) {
                e.erase(it);
                return Value(true);
            }
        }
        return Value(false);
    });
}

void TextFieldScripts::installTextFormat()
{
    Interpreter& vm = m_owner.interpreter();
    m_formatProto = vm.newObject();
    auto* ctor = vm.newConstructor(QStringLiteral("TextFormat"), [](Interpreter&, CallArgs& a) -> Value {
        Object* self = a.thisObject();
        if (!self || !a.constructing)
            return Value();
        static const char* const names[] = { "font", "size", "color", "bold", "italic", "underline", "url", "target",
            "align", "leftMargin", "rightMargin", "indent", "leading" };
        for (std::size_t i = 0; i < std::size(names); ++i)
            self->put(QString::fromLatin1(names[i]), i < a.args.size() ? a.args[i] : Value::null());
        self->put(QStringLiteral("blockIndent"), Value::null());
        self->put(QStringLiteral("bullet"), Value::null());
        self->put(QStringLiteral("tabStops"), Value::null());
        return Value();
    }, m_formatProto);
    vm.global()->define(QStringLiteral("TextFormat"), Value(static_cast<Object*>(ctor)), DontEnum);
    vm.defineMethod(m_formatProto, QStringLiteral("getTextExtent"), [](Interpreter& vm, CallArgs& a) -> Value {
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
    });
}

void TextFieldScripts::installSelection()
{
    Interpreter& vm = m_owner.interpreter();
    Object* selection = nullptr;
    if (Property* p = vm.global()->findOwn(QStringLiteral("Selection")))
        selection = p->value.asObject();
    if (!selection) {
        selection = vm.newObject();
        vm.global()->define(QStringLiteral("Selection"), Value(selection), DontEnum);
    }
    vm.defineMethod(selection, QStringLiteral("getFocus"), [this](Interpreter&, CallArgs&) -> Value {
        EditTextInstance* f = focusedField();
        if (!f || !f->parent())
            return Value::null();
        return Value(m_owner.clipFor(*f->parent())->dotPath() + u'.' + f->name());
    });
    vm.defineMethod(selection, QStringLiteral("setFocus"), [this](Interpreter& vm, CallArgs& a) -> Value {
        Value target = a.arg(0);
        if (target.isNullish()) {
            setFocus(nullptr);
            return Value(true);
        }
        Object* o = target.asObject();
        if (!o && target.isString())
            o = vm.resolveTarget(m_owner.clipFor(m_owner.stage().root()), target.asString());
        TextFieldObject* field = dynamic_cast<TextFieldObject*>(o);
        if (!field || !field->field())
            return Value(false);
        setFocus(field->field());
        return Value(true);
    });
    // The caret of a focused field sits after its last character; nothing is ever selected.
    auto caret = [this](Interpreter&, CallArgs&) -> Value {
        EditTextInstance* f = focusedField();
        return f ? Value(double(f->plainText().size())) : Value(-1.0);
    };
    vm.defineMethod(selection, QStringLiteral("getBeginIndex"), caret);
    vm.defineMethod(selection, QStringLiteral("getEndIndex"), caret);
    vm.defineMethod(selection, QStringLiteral("getCaretIndex"), caret);
    vm.defineMethod(selection, QStringLiteral("setSelection"), [](Interpreter&, CallArgs&) -> Value { return Value(); });
}

void TextFieldScripts::installCreateTextField()
{
    Interpreter& vm = m_owner.interpreter();
    vm.defineMethod(vm.clipPrototype(), QStringLiteral("createTextField"), [this](Interpreter& vm, CallArgs& a) -> Value {
        auto* clip = dynamic_cast<SpriteClip*>(a.thisObject());
        SpriteInstance* sprite = clip ? clip->sprite() : nullptr;
        if (!sprite || a.args.size() < 6)
            return Value();
        const QString name = vm.toString(a.arg(0));
        const double depth = toIntegerValue(vm.toNumber(a.arg(1)));
        double box[4];
        for (int i = 0; i < 4; ++i) {
            box[i] = vm.toNumber(a.arg(std::size_t(2 + i)));
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
        TextFieldObject* object = objectFor(*field);
        return vm.version() >= 8 ? Value(static_cast<Object*>(object)) : Value();
    });
}

} // namespace swf::avm1
