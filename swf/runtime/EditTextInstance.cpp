#include "swf/runtime/EditTextInstance.h"

#include "swf/runtime/Input.h"
#include "swf/runtime/Stage.h"

namespace swf {

EditTextInstance::EditTextInstance(Stage& stage, SpriteInstance* parent, const EditTextDef* definition, std::uint16_t characterId, int depth)
    : DisplayObject(stage, parent, definition, characterId, depth)
    , m_serial(nextInputSerial())
    , m_definition(definition)
{
    setText(definition->record.initialText);
    m_revision = 0;
}

void EditTextInstance::setText(const QString& text)
{
    const EditTextRecord& record = m_definition->record;
    QString value = text;
    if (record.maxLength > 0 && !record.html && value.size() > record.maxLength)
        value.truncate(record.maxLength);
    if (value == m_text && !m_spans.empty())
        return;
    m_text = value;
    TextStyle base;
    base.size = record.height;
    base.color = record.color ? record.color->toQColor() : QColor(Qt::black);
    base.align = record.align;
    if (record.html) {
        m_spans = parseHtml(m_text, base);
    } else {
        QString plain = m_text;
        plain.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        plain.replace(u'\r', u'\n');
        if (!record.multiline) {
            // A single-line field shows its text up to the first line break.
            qsizetype cut = plain.indexOf(u'\n');
            if (cut >= 0)
                plain.truncate(cut);
        }
        m_spans.clear();
        m_spans.push_back(StyledSpan { plain, base });
    }
    ++m_revision;
    m_layout.reset();
}

bool EditTextInstance::keyDown(int key, const QString& text)
{
    if (!m_focus || !isInput())
        return false;
    QString plain = plainText();
    switch (key) {
    case Qt::Key_Backspace:
        if (!plain.isEmpty())
            plain.chop(plain.size() >= 2 && plain.back().isLowSurrogate() ? 2 : 1);
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (!record().multiline)
            return false;
        plain += u'\n';
        break;
    default: {
        QString typed;
        for (QChar c : text) {
            if (c.isPrint() || c.isSurrogate())
                typed += c;
        }
        if (typed.isEmpty())
            return false;
        if (record().maxLength > 0)
            typed.truncate(std::max<qsizetype>(0, record().maxLength - plain.size()));
        plain += typed;
        break;
    }
    }
    if (isHtml())
        plain = plain.toHtmlEscaped().replace(u'\n', QLatin1String("<br>"));
    setText(plain);
    return true;
}

const EditTextLayout& EditTextInstance::layout() const
{
    if (!m_layout)
        m_layout = layoutEditText(*m_definition, m_spans, stage().movie());
    return *m_layout;
}

} // namespace swf
