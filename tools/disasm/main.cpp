// vantrel-disasm MOVIE: prints the control tags of the root timeline and of
// every sprite, frame by frame, with each action block (frame actions, init
// actions, clip actions, button actions) decoded into one instruction per line.
// A tool for reading what a movie's scripts do when the player disagrees with it.

#include "swf/format/TagCodes.h"
#include "swf/movie/Buttons.h"
#include "swf/movie/Movie.h"
#include "swf/avm1/vm/Action.h"
#include "tools/QtMessages.h"

#include <QFile>
#include <QTextStream>

#include <cstdio>

using namespace swf;
using namespace swf::avm1;

namespace {

QTextStream out(stdout);

QString quoted(const QString& s)
{
    QString r = s;
    r.replace('\\', "\\\\").replace('"', "\\\"").replace('\n', "\\n").replace('\r', "\\r");
    return '"' + r + '"';
}

QString valueText(const Value& v)
{
    switch (v.type()) {
    case ValueType::Undefined: return "undefined";
    case ValueType::Null: return "null";
    case ValueType::Boolean: return v.asBoolean() ? "true" : "false";
    case ValueType::Number: return numberToString(v.asNumber());
    case ValueType::String: return quoted(v.asString());
    case ValueType::Object: return "<object>";
    }
    return "?";
}

void printBlock(const Block& block, const QString& indent, const std::vector<QString>* pool = nullptr);

void printInstruction(const Block& block, size_t index, const QString& indent, std::shared_ptr<std::vector<QString>>& pool)
{
    const Instruction& in = block.code[index];
    const OpInfo& info = opInfo(in.rawCode);
    QString line = QStringLiteral("%1%2 %3").arg(indent).arg(index, 4).arg(info.name ? info.name : QStringLiteral("Unknown_0x%1").arg(in.rawCode, 2, 16, QChar('0')));
    switch (in.op) {
    case Op::Push: {
        QStringList items;
        for (const PushItem& item : in.push) {
            if (item.kind == PushItem::Kind::Register)
                items << QStringLiteral("r%1").arg(item.index);
            else if (item.kind == PushItem::Kind::Constant)
                items << QStringLiteral("c%1%2").arg(item.index).arg(pool && size_t(item.index) < pool->size() ? ":" + quoted((*pool)[size_t(item.index)]) : QString());
            else
                items << valueText(item.value);
        }
        line += ' ' + items.join(", ");
        break;
    }
    case Op::ConstantPool:
        pool = in.strings;
        if (in.strings) {
            QStringList items;
            for (size_t i = 0; i < in.strings->size(); ++i)
                items << QStringLiteral("c%1=%2").arg(i).arg(quoted((*in.strings)[i]));
            line += ' ' + items.join(", ");
        }
        break;
    case Op::Jump:
    case Op::If:
        line += QStringLiteral(" -> %1").arg(in.target);
        break;
    default:
        if (!in.s1.isEmpty() || !in.s2.isEmpty())
            line += ' ' + quoted(in.s1) + (in.s2.isEmpty() ? QString() : ' ' + quoted(in.s2));
        if (in.a || in.b)
            line += QStringLiteral(" a=%1 b=%2").arg(in.a).arg(in.b);
        if (in.target >= 0)
            line += QStringLiteral(" end=%1").arg(in.target);
        if (in.catchStart >= 0 || in.finallyStart >= 0)
            line += QStringLiteral(" catch=%1 finally=%2").arg(in.catchStart).arg(in.finallyStart);
        break;
    }
    out << line << '\n';
    if (in.function) {
        const FunctionCode& f = *in.function;
        QStringList params;
        for (const FunctionParam& p : f.params)
            params << (p.reg ? QStringLiteral("r%1:%2").arg(p.reg).arg(p.name) : p.name);
        out << indent << "      function " << (f.name.isEmpty() ? QStringLiteral("<anonymous>") : f.name) << '(' << params.join(", ") << ')';
        if (f.isV2)
            out << QStringLiteral(" registers=%1 flags=0x%2").arg(f.registerCount).arg(f.flags, 4, 16, QChar('0'));
        out << '\n';
        printBlock(f.body, indent + "        ", pool.get());
    }
}

void printBlock(const Block& block, const QString& indent, const std::vector<QString>* inheritedPool)
{
    std::shared_ptr<std::vector<QString>> pool;
    if (inheritedPool)
        pool = std::make_shared<std::vector<QString>>(*inheritedPool);
    for (size_t i = 0; i < block.code.size(); ++i)
        printInstruction(block, i, indent, pool);
}

void printActions(const QByteArray& bytes, int version, const QString& indent)
{
    auto block = decodeBlock(bytes, version);
    if (!block) {
        out << indent << "(cannot decode: " << block.error().detail << ")\n";
        return;
    }
    printBlock(*block.value(), indent);
}

// Clip-action records of PlaceObject 2/3: per record its events, the key of a
// key-press record, and its actions.
void printClipActions(const std::vector<ClipAction>& actions, int version, const QString& indent)
{
    const int flagDigits = version >= 6 ? 8 : 4;
    for (const ClipAction& action : actions) {
        QString key;
        if (version >= 6 && (action.events & ClipEventKeyPressBit))
            key = QStringLiteral(" key=%1").arg(action.keyCode);
        out << indent << QStringLiteral("on events 0x%1%2:\n").arg(action.events, flagDigits, 16, QChar('0')).arg(key);
        printActions(action.actions, version, indent + "  ");
    }
}

void printTimeline(const TimelineDef& timeline, int version, const QString& indent)
{
    for (size_t f = 0; f < timeline.frames.size(); ++f) {
        out << indent << "frame " << (f + 1);
        for (const auto& [label, frame] : timeline.labels) {
            if (frame == int(f + 1))
                out << " label " << quoted(label);
        }
        out << '\n';
        for (const ControlTag& tag : timeline.frames[f]) {
            const QString in = indent + "  ";
            switch (tag.code) {
            case TagDoAction:
                out << in << "DoAction\n";
                printActions(tag.body, version, in + "  ");
                break;
            case TagDoInitAction:
                out << in << "DoInitAction sprite " << tag.characterId << '\n';
                printActions(tag.body, version, in + "  ");
                break;
            case TagRemoveObject:
            case TagRemoveObject2:
                out << in << "RemoveObject depth " << tag.depth << '\n';
                break;
            default:
                if (tag.place) {
                    const PlaceObject& p = *tag.place;
                    out << in << "PlaceObject depth " << p.depth;
                    if (p.characterId)
                        out << " character " << *p.characterId;
                    if (p.move)
                        out << " move";
                    if (p.name)
                        out << " name " << quoted(*p.name);
                    if (p.clipDepth)
                        out << " clipDepth " << *p.clipDepth;
                    out << '\n';
                    if (!p.clipActions.empty())
                        printClipActions(p.clipActions, version, in + "  ");
                } else {
                    out << in << "tag " << tag.code << " (" << tag.body.size() << " bytes)\n";
                }
                break;
            }
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    vantrel::routeQtMessagesAway();
    if (argc != 2) {
        std::fprintf(stderr, "usage: vantrel-disasm MOVIE.swf\n");
        return 2;
    }
    QFile file(QString::fromLocal8Bit(argv[1]));
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "vantrel-disasm: cannot open %s\n", argv[1]);
        return 1;
    }
    auto movie = Movie::load(file.readAll());
    if (!movie) {
        std::fprintf(stderr, "vantrel-disasm: %s\n", qPrintable((movie.error().detail)));
        return 1;
    }
    const Movie& m = *movie.value();
    out << "version " << m.version() << ", " << m.frameRate() << " fps, " << m.root().frameCount() << " frames\n";
    for (const ExportedName& exported : m.exports().entries())
        out << "export character " << exported.characterId << " as " << quoted(exported.name) << '\n';
    out << "root\n";
    printTimeline(m.root(), m.version(), "  ");
    for (int id = 0; id <= 65535; ++id) {
        const Character* c = m.character(std::uint16_t(id));
        if (!c)
            continue;
        if (c->kind == CharacterKind::Sprite) {
            out << "sprite " << id << '\n';
            printTimeline(static_cast<const SpriteDef*>(c)->timeline, m.version(), "  ");
        } else if (c->kind == CharacterKind::Button) {
            const auto* button = static_cast<const ButtonDef*>(c);
            if (button->record.actions.empty())
                continue;
            out << "button " << id << '\n';
            for (const ButtonAction& a : button->record.actions) {
                out << QStringLiteral("  on conditions 0x%1 key %2\n").arg(a.conditions, 4, 16, QChar('0')).arg(a.keyCode);
                printActions(a.actions, m.version(), "    ");
            }
        }
    }
    return 0;
}
