#pragma once

// The text side of the script machine: TextField objects over the stage's
// edit texts, TextFormat, Selection, MovieClip.createTextField, and the
// once-a-frame pass that keeps bound variables and their fields in step and
// tells fields' handlers about typing and focus.

#include <QString>

#include <set>
#include <vector>

namespace swf {
class EditTextInstance;
class SpriteInstance;
struct TextStyle;
namespace avm1 {

class Interpreter;
class Object;
class StageScripts;
class TextFieldObject;
class Value;

class TextFieldScripts {
public:
    explicit TextFieldScripts(StageScripts& owner);
    ~TextFieldScripts();
    TextFieldScripts(const TextFieldScripts&) = delete;
    TextFieldScripts& operator=(const TextFieldScripts&) = delete;

    // Puts TextField, TextFormat, Selection and createTextField in place.
    void install();

    StageScripts& owner() const { return m_owner; }
    // TextFormat.prototype, for the formats getTextFormat hands out.
    Object* formatPrototype() const { return m_formatProto; }

    // The script object of a field (made on first use; one per instance).
    TextFieldObject* objectFor(EditTextInstance& field);
    // The edit text named `name` among `sprite`'s children, as a script object; null if none.
    Object* childField(SpriteInstance& sprite, const QString& name, bool caseSensitive);

    // A bound variable's value into its field, or the field's text into a variable not yet set.
    void pullVariable(EditTextInstance& field, bool anyHolder = false);
    // The field's text into its bound variable.
    void pushVariable(EditTextInstance& field);

    // Once a frame, after the frame's scripts: typed text into bound variables,
    // variables into fields, onChanged / onSetFocus / onKillFocus.
    void afterFrame();
    // Objects the collector must keep: those of fields still on stage.
    void addRoots(std::vector<Object*>& roots) const;

    // Bookkeeping of the objects themselves.
    void adopt(TextFieldObject* object) { m_objects.insert(object); }
    void release(TextFieldObject* object) { m_objects.erase(object); }

    // Gives the keyboard focus to `field` (null: to nobody).
    void setFocus(EditTextInstance* field);
    EditTextInstance* focusedField() const;
    // A clip that acts as a button may hold the focus instead of a field.
    void setFocusClip(Object* clip);
    Object* focusedClip() const { return m_focusClip; }

private:
    void installTextField();
    void installTextFormat();
    void installSelection();
    void installCreateTextField();
    Object* resolveVariableHolder(EditTextInstance& field, QString& name);

    StageScripts& m_owner;
    Object* m_fieldProto = nullptr;
    Object* m_formatProto = nullptr;
    std::set<TextFieldObject*> m_objects;
    bool m_syncing = false;
    Object* m_focusClip = nullptr;
};

// TextFormat fields to a style and back. Fields left null keep `style` as it is.
void applyTextFormat(Interpreter& vm, Object* format, TextStyle& style);

} // namespace avm1
} // namespace swf
