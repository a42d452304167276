#pragma once

// An edit text on stage: its current text (markup included when the field is
// HTML), the variable it is bound to, focus and keyboard input. The script
// machine reads and writes the bound variable through variableName(), text()
// and setText(); the renderer draws layout().

#include "swf/movie/Texts.h"
#include "swf/runtime/DisplayObject.h"
#include "swf/runtime/EditTextLayout.h"

#include <optional>

namespace swf {

class EditTextInstance : public DisplayObject {
public:
    EditTextInstance(Stage& stage, SpriteInstance* parent, const EditTextDef* definition, std::uint16_t characterId, int depth);

    const EditTextRecord& record() const { return m_definition->record; }

    // The variable path the field shows ("score", "_root.name"); empty when unbound.
    const QString& variableName() const { return m_definition->record.variableName; }
    // The text as the movie gave it: with markup for an HTML field.
    const QString& text() const { return m_text; }
    void setText(const QString& text);
    // The text as shown, without markup; paragraphs end with '\n'.
    QString plainText() const { return plainTextOf(m_spans); }
    const std::vector<StyledSpan>& spans() const { return m_spans; }
    bool isHtml() const { return m_definition->record.html; }

    // Counts every change of the text, so a bound variable can tell it was typed into.
    quint64 revision() const { return m_revision; }

    bool isSelectable() const { return !m_definition->record.noSelect; }
    bool isInput() const { return !m_definition->record.readOnly; }
    bool hasFocus() const { return m_focus; }
    void setFocus(bool focus) { m_focus = focus; }

    // A key typed while the field has the focus (`key` a Qt::Key, `text` what
    // it types). True when the field used it.
    bool keyDown(int key, const QString& text);

    // The laid-out text, rebuilt only after a change.
    const EditTextLayout& layout() const;

    // Unique for the life of the process, so input never mistakes a new
    // instance at a reused address for the one it was tracking.
    quint64 serial() const { return m_serial; }

private:
    quint64 m_serial;
    const EditTextDef* m_definition;
    QString m_text;
    std::vector<StyledSpan> m_spans;
    quint64 m_revision = 0;
    bool m_focus = false;
    mutable std::optional<EditTextLayout> m_layout;
};

} // namespace swf
