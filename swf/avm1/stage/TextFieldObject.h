#pragma once

// A TextField as scripts see it: an object over one edit-text instance of the
// stage. Its properties (text, htmlText, border, scroll, _x, ...) read and
// write the instance directly; once the instance is destroyed they read as
// undefined and writes are dropped. Formats travel as TextFormat objects.

#include "swf/runtime/EditTextInstance.h"
#include "swf/avm1/vm/Object.h"

namespace swf::avm1 {

class TextFieldScripts;

class TextFieldObject final : public Object, public EditTextPeer {
public:
    TextFieldObject(TextFieldScripts* registry, EditTextInstance* field, Object* proto, bool caseSensitive);
    ~TextFieldObject() override;

    EditTextInstance* field() const { return m_field; }
    // The registry is going away: stop speaking for the instance.
    void forget();

    void editTextDestroyed() override { m_field = nullptr; }

    bool getVirtual(Interpreter&, const QString& name, Value& out) override;
    bool setVirtual(Interpreter&, const QString& name, const Value& value) override;
    bool hasVirtual(Interpreter&, const QString& name) override;
    void virtualNames(Interpreter&, QStringList& out) override;

    // What the once-a-frame pass saw last: keyboard edits, focus and the
    // bound variable's value, so it can tell what changed since.
    quint64 seenTypedRevision = 0;
    bool seenFocus = false;

private:
    TextFieldScripts* m_registry;
    EditTextInstance* m_field;
};

// The text as scripts see it: paragraphs end with '\r'.
QString scriptTextOf(const EditTextInstance& field);

} // namespace swf::avm1
