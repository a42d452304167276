// flash.text.TextField over the stage's text fields: the text and its
// markup, the box flags (multiline, wordWrap, border, background, type,
// selectable), sizes measured by the field's layout, scrolling, and the
// fields scripts make with new TextField().

#include "swf/avm2/display/StageScripts.h"

#include "swf/movie/Texts.h"
#include "swf/runtime/EditTextInstance.h"
#include "swf/runtime/EditTextLayout.h"
#include "swf/runtime/Stage.h"

#include <cmath>

namespace swf::avm2 {

namespace {

Value arg(Args args, std::size_t i) { return i < args.size() ? args[i] : Value::undefined(); }

EditTextInstance* fieldOf(const Value& self)
{
    Object* o = self.object();
    return o && o->display ? dynamic_cast<EditTextInstance*>(o->display) : nullptr;
}

// What scripts read as a field's text: paragraphs end with a carriage return.
QString scriptText(const EditTextInstance& field)
{
    QString text = field.plainText();
    text.replace(QLatin1Char('\n'), QLatin1Char('\r'));
    return text;
}

QString autoSizeName(AutoSize mode)
{
    switch (mode) {
    case AutoSize::Left: return QStringLiteral("left");
    case AutoSize::Center: return QStringLiteral("center");
    case AutoSize::Right: return QStringLiteral("right");
    case AutoSize::None: break;
    }
    return QStringLiteral("none");
}

double rgbNumber(QRgb c) { return double(c & 0xffffffu); }

} // namespace

std::unique_ptr<DisplayObject> StageScripts::makeTextField()
{
    // A new field: 100 by 100 pixels, dynamic, selectable, one line,
    // 12-point black text in the default face.
    auto def = std::make_shared<EditTextDef>(0);
    EditTextRecord& r = def->record;
    r.bounds = TwipsRect { 0, 2000, 0, 2000 };
    r.readOnly = true;
    r.height = 240;
    r.color = Rgba { 0, 0, 0, 255 };
    return std::make_unique<EditTextInstance>(m_stage, nullptr, std::move(def), 0);
}

void StageScripts::installTextFieldMembers(ClassObject* cls)
{
    Machine& m = *m_machine;
    // A getter and setter that do nothing on an object whose field is gone.
    auto field = [&m, cls](const char* name, std::function<Value(Machine&, EditTextInstance&)> get,
                     std::function<void(Machine&, EditTextInstance&, const Value&)> set = {}) {
        NativeFn setter;
        if (set) {
            setter = [set](Machine& m, const Value& self, Args args) {
                if (EditTextInstance* f = fieldOf(self))
                    set(m, *f, arg(args, 0));
                return Value::undefined();
            };
        }
        m.addGetter(cls, QLatin1String(name),
            [get](Machine& m, const Value& self, Args) {
                EditTextInstance* f = fieldOf(self);
                return f ? get(m, *f) : Value::undefined();
            },
            setter);
    };
    auto record = [field](const char* name, bool EditTextRecord::*member, bool inverted = false, bool reparse = false) {
        field(name, [member, inverted](Machine&, EditTextInstance& f) { return Value::boolean((f.record().*member) != inverted); },
            [member, inverted, reparse](Machine& m, EditTextInstance& f, const Value& v) {
                const bool on = m.toBoolean(v) != inverted;
                f.changeRecord([&](EditTextRecord& r) { r.*member = on; }, reparse);
            });
    };

    field("text", [](Machine&, EditTextInstance& f) { return Value::string(scriptText(f)); },
        [](Machine& m, EditTextInstance& f, const Value& v) { f.setPlainText(m.toString(v)); });
    // Markup set by a script is always read as markup, whatever the field was.
    field("htmlText", [](Machine&, EditTextInstance& f) { return Value::string(f.isHtml() ? f.htmlText() : scriptText(f)); },
        [](Machine& m, EditTextInstance& f, const Value& v) {
            if (!f.isHtml())
                f.changeRecord([](EditTextRecord& r) { r.html = true; });
            f.setHtmlText(m.toString(v));
        });
    field("length", [](Machine&, EditTextInstance& f) { return Value::number(double(f.plainText().size())); });
    field("textWidth", [](Machine&, EditTextInstance& f) { return Value::number(std::round(f.layout().textWidth) / 20); });
    field("textHeight", [](Machine&, EditTextInstance& f) { return Value::number(std::round(f.layout().textHeight) / 20); });
    field("autoSize", [](Machine&, EditTextInstance& f) { return Value::string(autoSizeName(f.autoSize())); },
        [](Machine& m, EditTextInstance& f, const Value& v) {
            const QString s = m.toString(v);
            if (s == QLatin1String("left"))
                f.setAutoSize(AutoSize::Left);
            else if (s == QLatin1String("center"))
                f.setAutoSize(AutoSize::Center);
            else if (s == QLatin1String("right"))
                f.setAutoSize(AutoSize::Right);
            else if (s == QLatin1String("none"))
                f.setAutoSize(AutoSize::None);
            else
                m.throwError(ErrorClass::ArgumentError, 2008, QStringLiteral("Parameter autoSize must be one of the accepted values."));
        });
    field("border", [](Machine&, EditTextInstance& f) { return Value::boolean(f.border()); },
        [](Machine& m, EditTextInstance& f, const Value& v) { f.setBorder(m.toBoolean(v)); });
    field("background", [](Machine&, EditTextInstance& f) { return Value::boolean(f.background()); },
        [](Machine& m, EditTextInstance& f, const Value& v) { f.setBackground(m.toBoolean(v)); });
    field("borderColor", [](Machine&, EditTextInstance& f) { return Value::number(rgbNumber(f.borderColor())); },
        [](Machine& m, EditTextInstance& f, const Value& v) { f.setBorderColor(qRgb(0, 0, 0) | (toUint32(m.toNumber(v)) & 0xffffffu)); });
    field("backgroundColor", [](Machine&, EditTextInstance& f) { return Value::number(rgbNumber(f.backgroundColor())); },
        [](Machine& m, EditTextInstance& f, const Value& v) { f.setBackgroundColor(qRgb(0, 0, 0) | (toUint32(m.toNumber(v)) & 0xffffffu)); });
    field("textColor",
        [](Machine&, EditTextInstance& f) {
            const QColor c = f.spans().empty() ? f.newTextStyle().color : f.spans().front().style.color;
            return Value::number(rgbNumber(c.rgb()));
        },
        [](Machine& m, EditTextInstance& f, const Value& v) {
            const QColor color = QColor::fromRgb(qRgb(0, 0, 0) | (toUint32(m.toNumber(v)) & 0xffffffu));
            std::vector<StyledSpan> spans = f.spans();
            for (StyledSpan& s : spans)
                s.style.color = color;
            TextStyle style = f.newTextStyle();
            style.color = color;
            f.setNewTextStyle(style);
            f.setSpans(std::move(spans));
        });
    record("multiline", &EditTextRecord::multiline);
    record("wordWrap", &EditTextRecord::wordWrap);
    record("selectable", &EditTextRecord::noSelect, true);
    record("displayAsPassword", &EditTextRecord::password);
    record("embedFonts", &EditTextRecord::useOutlines);
    field("type", [](Machine&, EditTextInstance& f) { return Value::string(f.record().readOnly ? QStringLiteral("dynamic") : QStringLiteral("input")); },
        [](Machine& m, EditTextInstance& f, const Value& v) {
            const QString s = m.toString(v);
            if (s != QLatin1String("input") && s != QLatin1String("dynamic"))
                m.throwError(ErrorClass::ArgumentError, 2008, QStringLiteral("Parameter type must be one of the accepted values."));
            f.changeRecord([&](EditTextRecord& r) { r.readOnly = s == QLatin1String("dynamic"); });
        });
    field("maxChars", [](Machine&, EditTextInstance& f) { return Value::number(f.record().maxLength); },
        [](Machine& m, EditTextInstance& f, const Value& v) {
            const int limit = std::max(0, toInt32(m.toNumber(v)));
            f.changeRecord([&](EditTextRecord& r) { r.maxLength = limit; });
        });
    field("scrollV", [](Machine&, EditTextInstance& f) { return Value::number(f.scroll()); },
        [](Machine& m, EditTextInstance& f, const Value& v) { f.setScroll(toInt32(m.toNumber(v))); });
    field("maxScrollV", [](Machine&, EditTextInstance& f) { return Value::number(f.maxScroll()); });
    field("bottomScrollV", [](Machine&, EditTextInstance& f) { return Value::number(f.scroll() + f.visibleLines() - 1); });
    field("scrollH", [](Machine&, EditTextInstance& f) { return Value::number(std::round(f.hscroll() / 20)); },
        [](Machine& m, EditTextInstance& f, const Value& v) {
            const double n = m.toNumber(v);
            if (std::isfinite(n))
                f.setHScroll(n * 20);
        });
    field("maxScrollH", [](Machine&, EditTextInstance& f) { return Value::number(std::round(f.maxHScroll() / 20)); });
    // Settings kept for scripts to read back; the layout does not use them.
    for (const auto& [name, fallback] : { std::pair { "condenseWhite", Value::boolean(false) },
             std::pair { "antiAliasType", Value::string(QStringLiteral("normal")) },
             std::pair { "gridFitType", Value::string(QStringLiteral("pixel")) },
             std::pair { "sharpness", Value::number(0) }, std::pair { "thickness", Value::number(0) },
             std::pair { "mouseWheelEnabled", Value::boolean(true) }, std::pair { "alwaysShowSelection", Value::boolean(false) },
             std::pair { "restrict", Value::null() } }) {
        const QString key = QLatin1Char(' ') + QLatin1String(name);
        const Value initial = fallback;
        m.addGetter(cls, QLatin1String(name),
            [key, initial](Machine&, const Value& self, Args) { return hiddenGet(self.object(), key, initial); },
            [key, initial](Machine& m, const Value& self, Args args) {
                if (Object* o = self.object()) {
                    const Value v = arg(args, 0);
                    Value stored = v;
                    if (initial.kind == Value::Kind::Boolean)
                        stored = Value::boolean(m.toBoolean(v));
                    else if (initial.kind == Value::Kind::Number)
                        stored = Value::number(m.toNumber(v));
                    else if (!v.isNullish())
                        stored = Value::string(m.toString(v));
                    hiddenSet(o, key, stored);
                }
                return Value::undefined();
            });
    }
    m.addMethod(cls, QStringLiteral("appendText"), [](Machine& m, const Value& self, Args args) {
        if (EditTextInstance* f = fieldOf(self))
            f->setPlainText(f->plainText() + m.toString(arg(args, 0)));
        return Value::undefined();
    }, 1);
    // replaceText(begin, end, text): the characters from begin up to end give way to text.
    m.addMethod(cls, QStringLiteral("replaceText"), [](Machine& m, const Value& self, Args args) {
        EditTextInstance* f = fieldOf(self);
        if (!f)
            return Value::undefined();
        QString text = f->plainText();
        const qsizetype begin = std::clamp<qsizetype>(toInt32(m.toNumber(arg(args, 0))), 0, text.size());
        const qsizetype end = std::clamp<qsizetype>(toInt32(m.toNumber(arg(args, 1))), begin, text.size());
        text.replace(begin, end - begin, m.toString(arg(args, 2)));
        f->setPlainText(text);
        return Value::undefined();
    }, 3);
    m.addGetter(cls, QStringLiteral("numLines"), [](Machine&, const Value& self, Args) {
        EditTextInstance* f = fieldOf(self);
        return Value::number(f ? std::max<double>(1, double(f->layout().lineTops.size())) : 0);
    });
}

} // namespace swf::avm2
