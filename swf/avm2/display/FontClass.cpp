// flash.text.Font: the fonts a movie embeds. enumerateFonts lists them as
// plain Font objects; a class bound to a font of the movie (SymbolClass)
// stands for that font, and a bare new Font() stands for none (its
// properties read null).

#include "swf/avm2/display/StageScripts.h"

#include "swf/movie/Fonts.h"
#include "swf/movie/Movie.h"
#include "swf/runtime/Stage.h"

#include <algorithm>

namespace swf::avm2 {

namespace {

const QString FontKey = QStringLiteral(" fontId");

// The font of that id, or null. A font definition that could not be read
// stays in the movie as its raw tags under the same kind, so the kind alone
// does not say the character is a font.
const FontDef* builtFont(const Movie& movie, std::uint16_t id)
{
    const Character* c = movie.character(id);
    return c && c->kind == CharacterKind::Font ? dynamic_cast<const FontDef*>(c) : nullptr;
}

QString styleName(const FontDef& font)
{
    if (font.bold && font.italic)
        return QStringLiteral("boldItalic");
    if (font.bold)
        return QStringLiteral("bold");
    if (font.italic)
        return QStringLiteral("italic");
    return QStringLiteral("regular");
}

} // namespace

void StageScripts::installFontClass()
{
    Machine& m = *m_machine;
    auto fontOf = [this](const Value& self) -> const FontDef* {
        const Value id = hiddenGet(self.object(), FontKey, Value::undefined());
        if (!id.isNumber())
            return nullptr;
        return builtFont(m_stage.movie(), std::uint16_t(id.d));
    };
    ClassObject* font = m.defineClass(QStringLiteral("flash.text"), QStringLiteral("Font"), m.builtins().object,
        InstanceKind::Plain, [this](Machine& m, const Value& self, Args) {
            Object* o = self.object();
            if (!o)
                return Value::undefined();
            // The font the class (or a base of it) is bound to.
            for (ClassObject* cls = o->classObject(); cls; cls = cls->base) {
                for (auto it = m_symbolClasses.constBegin(); it != m_symbolClasses.constEnd(); ++it) {
                    if (it.key() != 0 && m.findClass(it.value()) == cls
                        && builtFont(m_stage.movie(), it.key())) {
                        hiddenSet(o, FontKey, Value::number(it.key()));
                        return Value::undefined();
                    }
                }
            }
            return Value::undefined();
        });
    m.addGetter(font, QStringLiteral("fontName"), [fontOf](Machine&, const Value& self, Args) {
        const FontDef* f = fontOf(self);
        return f ? Value::string(f->name) : Value::null();
    });
    m.addGetter(font, QStringLiteral("fontStyle"), [fontOf](Machine&, const Value& self, Args) {
        const FontDef* f = fontOf(self);
        return f ? Value::string(styleName(*f)) : Value::null();
    });
    m.addGetter(font, QStringLiteral("fontType"), [fontOf](Machine&, const Value& self, Args) {
        const FontDef* f = fontOf(self);
        return f ? Value::string(f->version >= 4 ? QStringLiteral("embeddedCFF") : QStringLiteral("embedded")) : Value::null();
    });
    m.addMethod(font, QStringLiteral("hasGlyphs"), [fontOf](Machine& m, const Value& self, Args args) {
        const FontDef* f = fontOf(self);
        if (!f)
            return Value::boolean(false);
        const QString text = args.empty() ? QString() : m.toString(args[0]);
        return Value::boolean(std::all_of(text.begin(), text.end(), [f](QChar c) { return f->glyphIndex(c) >= 0; }));
    }, 1);
    // The embedded fonts with a name and the metrics text layout needs, by
    // name; device fonts are not listed.
    m.addStatic(font, QStringLiteral("enumerateFonts"), [this, font](Machine& m, const Value&, Args) {
        std::vector<const FontDef*> fonts;
        for (int id = 1; id <= 0xffff; ++id) {
            const FontDef* f = builtFont(m_stage.movie(), std::uint16_t(id));
            if (f && !f->name.isEmpty() && f->hasLayout && (f->version < 4 || f->hasGlyphs()))
                fonts.push_back(f);
        }
        std::stable_sort(fonts.begin(), fonts.end(), [](const FontDef* a, const FontDef* b) { return a->name < b->name; });
        std::vector<Value> out;
        for (const FontDef* f : fonts) {
            Object* o = m.instantiate(font);
            hiddenSet(o, FontKey, Value::number(f->id));
            out.push_back(Value::object(o));
        }
        return Value::object(m.newArray(std::move(out)));
    });
    m.addStatic(font, QStringLiteral("registerFont"), [](Machine&, const Value&, Args) { return Value::undefined(); }, 1);
}

} // namespace swf::avm2
