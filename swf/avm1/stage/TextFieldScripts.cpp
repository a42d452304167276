#include "swf/avm1/stage/TextFieldScripts.h"
#include "swf/runtime/EditTextCount.h"

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

// Every edit text on stage, depth-first in display order (button parts included).
// The visitors only read a field or set its focus flag, never change a
// display list, so the lists are walked as they stand (this runs every frame
// over every clip: no copies, and the cheap sprite test first).
void forEachField(DisplayObject& object, const std::function<void(EditTextInstance&)>& visit)
{
    if (liveEditTexts() == 0)
        return; // no text field anywhere: nothing to visit
    if (auto sprite = object.asSprite()) {
        for (const auto& [depth, child] : sprite->displayList())
            forEachField(*child, visit);
        return;
    }
    if (auto edit = dynamic_cast<EditTextInstance*>(&object)) {
        visit(*edit);
        return;
    }
    if (auto button = dynamic_cast<ButtonInstance*>(&object)) {
        for (const auto& [depth, part] : button->parts())
            forEachField(*part, visit);
    }
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
    // The first child of that name wins, as with clips; found through the
    // sprite's name index, since every failed member lookup on a clip asks.
    DisplayObject* child = sprite.childByName(name, caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive);
    if (auto edit = dynamic_cast<EditTextInstance*>(child))
        return objectFor(*edit);
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

void TextFieldScripts::pullVariable(EditTextInstance& field, bool anyHolder)
{
    if (field.variableName().isEmpty())
        return;
    Interpreter& vm = m_owner.interpreter();
    try {
        QString name;
        Object* holder = resolveVariableHolder(field, name);
        // Only a clip's variables keep a field up to date; one of a plain
        // object is read when the variable is named, and not again.
        if (!holder || (!anyHolder && holder->kind() != Object::Kind::Clip))
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
    m_focusClip = nullptr;
    m_owner.stage().setFocusRectObject(nullptr);
    forEachField(m_owner.stage().root(), [&](EditTextInstance& edit) { edit.setFocus(&edit == field); });
}

void TextFieldScripts::setFocusClip(Object* clip)
{
    setFocus(nullptr);
    m_focusClip = clip;
    if (auto* sprite = dynamic_cast<SpriteClip*>(clip))
        m_owner.stage().setFocusRectObject(sprite->sprite());
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
    if (m_focusClip)
        roots.push_back(m_focusClip);
    for (TextFieldObject* object : m_objects) {
        if (object->field())
            roots.push_back(object);
    }
}

} // namespace swf::avm1
