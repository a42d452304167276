#pragma once

// The markup reader behind both machines' document-style XML objects (the
// first machine's XML/XMLNode, the second's flash.xml.XMLDocument): a
// forgiving one-pass scanner that hands out text, CDATA, comments,
// declarations and tags one at a time and stops at the first fault. What a
// token means (which node it makes, how a fault is reported, whether an end
// tag matches) is the caller's; E4X has a grammar of its own.

#include <QString>
#include <QStringView>

#include <utility>
#include <vector>

namespace swf::xml {

// Text as these objects write it: & < > " ' as entities.
QString escapeEntities(const QString& text);
// Entities back to text: the five named ones, and with `numeric` also
// &#N; and &#xN;. Anything else stays as written.
QString unescapeEntities(const QString& text, bool numeric);

bool isSpace(QChar c);            // space, tab, carriage return, line feed
bool isAllSpace(QStringView text); // true for the empty text too

enum class ScanFault {
    None,
    CommentUnterminated,     // <!-- without -->
    CdataUnterminated,       // <![CDATA[ without ]]>
    DocTypeUnterminated,     // <! without >
    DeclarationUnterminated, // <? without ?>
    EndTagUnterminated,      // </ without >
    MalformedElement,        // a start tag that breaks off or is badly formed
    AttributeUnterminated,   // a quoted value without its closing quote
};

struct XmlToken {
    enum class Kind {
        Text,        // `text` as written (entities not yet read)
        Cdata,       // `text` the section's contents
        Comment,
        DocType,     // `text` the whole <!...> declaration
        Declaration, // `text` the whole <?...?> declaration
        StartTag,    // `text` the name; `attributes` as written; `empty` for <a/>
        EndTag,      // `text` the name, trimmed
        End,         // the text is used up
        Fault,       // `fault` says why; nothing more is read
    };
    Kind kind = Kind::End;
    QString text;
    std::vector<std::pair<QString, QString>> attributes; // names and values as written, in order
    bool empty = false;
    ScanFault fault = ScanFault::None;
};

class XmlScanner {
public:
    explicit XmlScanner(const QString& text) : m_text(text) { }
    XmlToken next();

private:
    bool at(const char* s) const;
    // The text from the scanner's position through `close`; false when `close` never comes.
    bool skipPast(const char* close, QString* out);
    QString name();
    void skipSpace();
    XmlToken markup();
    XmlToken startTag();
    static XmlToken fault(ScanFault why);

    const QString& m_text;
    int m_pos = 0;
    bool m_stopped = false;
};

} // namespace swf::xml
