#include "swf/runtime/EditTextInstance.h"
#include "swf/runtime/EditTextCount.h"

#include <atomic>

#include "swf/movie/Fonts.h"
#include "swf/movie/Movie.h"
#include "swf/runtime/Input.h"
#include "swf/runtime/SpriteInstance.h"
#include "swf/runtime/Stage.h"

#include <cmath>

namespace swf {

namespace {

// A field's box never shrinks below this, so an empty auto-sized field still has a caret line.
constexpr double MinBoxTwips = 2 * EditTextGutter;

// Cuts styled text to MaxEditTextChars characters in all.
void capSpans(std::vector<StyledSpan>& spans)
{
    qsizetype left = MaxEditTextChars;
    for (StyledSpan& span : spans) {
        if (span.text.size() > left)
            span.text.truncate(left);
        left -= span.text.size();
    }
}

std::atomic<int> g_liveEditTexts { 0 };

} // namespace

int liveEditTexts()
{
    return g_liveEditTexts.load(std::memory_order_relaxed);
}

EditTextInstance::EditTextInstance(Stage& stage, SpriteInstance* parent, const EditTextDef* definition, std::uint16_t characterId, int depth)
    : DisplayObject(stage, parent, definition, characterId, depth)
    , m_serial(nextInputSerial())
    , m_def(*definition)
{
    g_liveEditTexts.fetch_add(1, std::memory_order_relaxed);
    m_border = m_background = m_def.record.border;
    m_autoSize = m_def.record.autoSize ? AutoSize::Left : AutoSize::None;
    m_newStyle = baseStyle();
    setText(m_def.record.initialText);
    m_revision = 0;
}

EditTextInstance::EditTextInstance(Stage& stage, SpriteInstance* parent, std::shared_ptr<const EditTextDef> definition, int depth)
    : EditTextInstance(stage, parent, definition.get(), 0, depth)
{
    m_owned = std::move(definition);
}

EditTextInstance::~EditTextInstance()
{
    g_liveEditTexts.fetch_sub(1, std::memory_order_relaxed);
    if (m_peer)
        m_peer->editTextDestroyed();
}

TextStyle EditTextInstance::baseStyle() const
{
    const EditTextRecord& record = m_def.record;
    TextStyle base;
    base.size = record.height;
    base.color = record.color ? record.color->toQColor() : QColor(Qt::black);
    base.color.setAlpha(255);
    base.align = record.align;
    return base;
}

void EditTextInstance::setText(const QString& text)
{
    const EditTextRecord& record = m_def.record;
    QString value = text.left(record.html ? 4 * MaxEditTextChars : MaxEditTextChars);
    if (record.maxLength > 0 && !record.html && value.size() > record.maxLength)
        value.truncate(record.maxLength);
    if (value == m_text && !m_spans.empty())
        return;
    m_text = value;
    reparseText();
    changed();
}

void EditTextInstance::reparseText()
{
    const EditTextRecord& record = m_def.record;
    if (record.html) {
        m_spans = parseHtml(m_text, m_newStyle);
        capSpans(m_spans);
        return;
    }
    QString plain = m_text;
    plain.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    plain.replace(u'\r', u'\n');
    // Line breaks given by a movie or a script stand in a single-line field
    // too: `multiline` only decides whether typing Enter makes one.
    m_spans.clear();
    m_spans.push_back(StyledSpan { plain, m_newStyle });
}

void EditTextInstance::setPlainText(const QString& text)
{
    QString plain = text;
    plain.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    plain.replace(u'\r', u'\n');
    if (m_def.record.maxLength > 0 && plain.size() > m_def.record.maxLength)
        plain.truncate(m_def.record.maxLength);
    std::vector<StyledSpan> spans;
    spans.push_back(StyledSpan { plain, m_newStyle });
    setSpans(std::move(spans));
}

void EditTextInstance::setHtmlText(const QString& html)
{
    setSpans(parseHtml(html.left(4 * MaxEditTextChars), m_newStyle));
}

void EditTextInstance::setSpans(std::vector<StyledSpan> spans)
{
    capSpans(spans);
    std::erase_if(spans, [](const StyledSpan& s) { return s.text.isEmpty(); });
    if (spans.empty())
        spans.push_back(StyledSpan { QString(), m_newStyle });
    m_spans = std::move(spans);
    // The source text follows what is shown: markup for an HTML field, the plain text otherwise.
    m_text = isHtml() ? htmlText() : plainText();
    changed();
}

QString EditTextInstance::htmlText() const
{
    QString face = QStringLiteral("Times New Roman");
    if (m_def.record.fontId) {
        if (const auto* font = dynamic_cast<const FontDef*>(movie().character(*m_def.record.fontId)))
            face = font->name;
    }
    return htmlOf(m_spans, face);
}

void EditTextInstance::changed()
{
    ++m_revision;
    m_layout.reset();
    m_scroll = std::clamp(m_scroll, 1, std::max(1, maxScroll()));
    if (m_autoSize == AutoSize::None)
        return;
    EditTextRecord& record = m_def.record;
    const EditTextLayout& laidOut = layout();
    const double height = std::max(MinBoxTwips, laidOut.textHeight + 2 * EditTextGutter);
    record.bounds.yMax = record.bounds.yMin + std::int32_t(std::lround(height));
    if (!record.wordWrap) {
        // Without wrapping the box also takes the width of the longest line.
        const double width = std::max(MinBoxTwips, laidOut.textWidth + 2 * EditTextGutter + record.leftMargin + record.rightMargin);
        const double oldWidth = record.bounds.xMax - record.bounds.xMin;
        double left = record.bounds.xMin;
        if (m_autoSize == AutoSize::Center)
            left += (oldWidth - width) / 2;
        else if (m_autoSize == AutoSize::Right)
            left += oldWidth - width;
        record.bounds.xMin = std::int32_t(std::lround(left));
        record.bounds.xMax = record.bounds.xMin + std::int32_t(std::lround(width));
    }
    m_layout.reset();
}

void EditTextInstance::setAutoSize(AutoSize mode)
{
    m_autoSize = mode;
    changed();
}

int EditTextInstance::visibleLines() const
{
    const EditTextLayout& laidOut = layout();
    const double boxBottom = m_def.record.bounds.yMax - EditTextGutter;
    const std::size_t first = std::size_t(std::max(0, m_scroll - 1));
    if (first >= laidOut.lineTops.size())
        return 1;
    const double shift = laidOut.lineTops[first] - laidOut.lineTops.front();
    int count = 0;
    for (std::size_t i = first; i < laidOut.lineBottoms.size(); ++i) {
        if (laidOut.lineBottoms[i] - shift > boxBottom + 1 && count > 0)
            break;
        ++count;
    }
    return std::max(1, count);
}

int EditTextInstance::maxScroll() const
{
    const EditTextLayout& laidOut = layout();
    const double boxBottom = m_def.record.bounds.yMax - EditTextGutter;
    const int lines = int(laidOut.lineTops.size());
    if (lines == 0)
        return 1;
    // The last line stays at the bottom of the box: scroll past lines until it fits.
    for (int first = 0; first < lines; ++first) {
        const double shift = laidOut.lineTops[std::size_t(first)] - laidOut.lineTops.front();
        if (laidOut.lineBottoms.back() - shift <= boxBottom + 1)
            return first + 1;
    }
    return lines;
}

void EditTextInstance::setScroll(int line)
{
    m_scroll = std::clamp(line, 1, std::max(1, maxScroll()));
}

double EditTextInstance::maxHScroll() const
{
    const EditTextRecord& record = m_def.record;
    const double box = (record.bounds.xMax - record.bounds.xMin) - 2 * EditTextGutter - record.leftMargin - record.rightMargin;
    return std::max(0.0, layout().textWidth - box);
}

void EditTextInstance::setHScroll(double twips)
{
    if (!std::isfinite(twips))
        return;
    m_hscroll = std::clamp(twips, 0.0, maxHScroll());
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
    ++m_typedRevision;
    // Typing keeps the caret in view.
    m_scroll = std::max(1, maxScroll());
    return true;
}

const EditTextLayout& EditTextInstance::layout() const
{
    // Scrolling shows other lines: their outlines are made then.
    const int from = std::max(0, m_scroll - 1);
    if (!m_layout || m_layoutFrom != from) {
        m_layout = layoutEditText(m_def, m_spans, movie(), from);
        m_layoutFrom = from;
    }
    return *m_layout;
}

} // namespace swf

namespace swf {

EditTextInstance* SpriteInstance::createTextChild(std::shared_ptr<const EditTextDef> definition, const QString& name, int depth)
{
    if (!definition || !stage().canCreateInstance())
        return nullptr;
    removeChild(depth);
    auto child = std::make_unique<EditTextInstance>(stage(), this, std::move(definition), depth);
    child->setName(name);
    child->setPlacedFrame(0);
    EditTextInstance* field = child.get();
    insertChild(std::move(child), nullptr);
    return childAt(depth) == field ? field : nullptr;
}

} // namespace swf
