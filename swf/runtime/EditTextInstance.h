#pragma once

// An edit text on stage: its current text (markup included when the field is
// HTML), the variable it is bound to, focus and keyboard input. The script
// machine reads and writes the bound variable through variableName(), text()
// and setText(); the renderer draws layout().
//
// Each instance keeps its own copy of the definition's record, because
// scripts change a field's box, flags and colours one instance at a time.

#include "swf/movie/Texts.h"
#include "swf/runtime/DisplayObject.h"
#include "swf/runtime/EditTextLayout.h"

#include <memory>
#include <optional>

namespace swf {

// Whatever speaks for a field elsewhere (its script object) hears when the
// field is destroyed, however that happens, so it never keeps a dangling pointer.
class EditTextPeer {
public:
    virtual void editTextDestroyed() = 0;

protected:
    ~EditTextPeer() = default;
};

enum class AutoSize { None, Left, Center, Right };

// The most characters a field holds, whatever a movie or a script puts in it:
// far beyond what a field can show, far below what would stall a layout.
// Markup given to an HTML field is cut at four times as much before parsing.
inline constexpr qsizetype MaxEditTextChars = qsizetype(1) << 18;

class EditTextInstance : public DisplayObject {
public:
    EditTextInstance(Stage& stage, SpriteInstance* parent, const EditTextDef* definition, std::uint16_t characterId, int depth);
    // A field made by a script: it owns its definition.
    EditTextInstance(Stage& stage, SpriteInstance* parent, std::shared_ptr<const EditTextDef> definition, int depth);
    ~EditTextInstance() override;

    const EditTextRecord& record() const { return m_def.record; }

    // The variable path the field shows ("score", "_root.name"); empty when unbound.
    const QString& variableName() const { return m_def.record.variableName; }
    void setVariableName(const QString& name) { m_def.record.variableName = name; }
    // The text as the movie gave it: with markup for an HTML field.
    const QString& text() const { return m_text; }
    void setText(const QString& text);
    // Plain text in the style new text takes, whether the field is HTML or not.
    void setPlainText(const QString& text);
    // Markup parsed as HTML, whether the field is HTML or not.
    void setHtmlText(const QString& html);
    // The text as shown, without markup; paragraphs end with '\n'.
    QString plainText() const { return plainTextOf(m_spans); }
    const std::vector<StyledSpan>& spans() const { return m_spans; }
    // Replaces the styled text (formats applied by a script).
    void setSpans(std::vector<StyledSpan> spans);
    bool isHtml() const { return m_def.record.html; }
    // The field's text as markup, built from its styled text.
    QString htmlText() const;

    // The style of text that replaces the field's text (TextField.setNewTextFormat).
    const TextStyle& newTextStyle() const { return m_newStyle; }
    void setNewTextStyle(const TextStyle& style) { m_newStyle = style; }

    // Changes to the record (flags, box, margins) go through here so the
    // layout is rebuilt; `reparse` re-reads the text as the field's kind now says.
    template<typename F>
    void changeRecord(F&& change, bool reparse = false)
    {
        change(m_def.record);
        if (reparse)
            reparseText();
        changed();
    }

    // Counts every change of the text, so a bound variable can tell it was typed into.
    quint64 revision() const { return m_revision; }
    // Counts the changes made by keyboard input only.
    quint64 typedRevision() const { return m_typedRevision; }

    bool isSelectable() const { return !m_def.record.noSelect; }
    bool isInput() const { return !m_def.record.readOnly; }
    bool hasFocus() const { return m_focus; }
    void setFocus(bool focus) { m_focus = focus; }

    // Box and background, separate from each other once a script sets them.
    bool border() const { return m_border; }
    bool background() const { return m_background; }
    QRgb borderColor() const { return m_borderColor; }
    QRgb backgroundColor() const { return m_backgroundColor; }
    void setBorder(bool on) { m_border = on; }
    void setBackground(bool on) { m_background = on; }
    void setBorderColor(QRgb rgb) { m_borderColor = rgb; }
    void setBackgroundColor(QRgb rgb) { m_backgroundColor = rgb; }

    AutoSize autoSize() const { return m_autoSize; }
    void setAutoSize(AutoSize mode);

    // Scrolling: the first line shown (1-based) and the horizontal offset in twips.
    int scroll() const { return m_scroll; }
    void setScroll(int line);
    int maxScroll() const;
    double hscroll() const { return m_hscroll; }
    void setHScroll(double twips);
    double maxHScroll() const;
    // Lines that fit in the box from the first shown line.
    int visibleLines() const;

    // A key typed while the field has the focus (`key` a Qt::Key, `text` what
    // it types). True when the field used it.
    bool keyDown(int key, const QString& text);

    // The laid-out text, rebuilt only after a change. Outlines are made for
    // the lines from the first shown to the bottom of the box only; every
    // line is measured.
    const EditTextLayout& layout() const;

    // Unique for the life of the process, so input never mistakes a new
    // instance at a reused address for the one it was tracking.
    quint64 serial() const { return m_serial; }

    EditTextPeer* peer() const { return m_peer; }
    void setPeer(EditTextPeer* peer) { m_peer = peer; }

private:
    TextStyle baseStyle() const;
    void reparseText();
    void changed();

    quint64 m_serial;
    std::shared_ptr<const EditTextDef> m_owned;
    EditTextDef m_def;
    QString m_text;
    std::vector<StyledSpan> m_spans;
    TextStyle m_newStyle;
    quint64 m_revision = 0;
    quint64 m_typedRevision = 0;
    bool m_focus = false;
    bool m_border = false;
    bool m_background = false;
    QRgb m_borderColor = 0xff000000;
    QRgb m_backgroundColor = 0xffffffff;
    AutoSize m_autoSize = AutoSize::None;
    int m_scroll = 1;
    double m_hscroll = 0;
    EditTextPeer* m_peer = nullptr;
    mutable std::optional<EditTextLayout> m_layout;
    mutable int m_layoutFrom = 0; // the first line m_layout made outlines for
};

} // namespace swf
