// SharedObject: saved games. getLocal reads the save from disk (the .sol
// layout other players use) and hands the same object back for the same
// name for the rest of the run; flush writes it, and so does the end of the
// movie. Saves live under <save folder>/localhost/, in a folder named after
// the movie's file, or after the path the movie gives.

#include "swf/avm1/builtins/Builtins.h"
#include "swf/avm1/builtins/LoadRequests.h"
#include "swf/avm1/builtins/XmlNode.h"
#include "swf/archive/SaveStore.h"
#include "swf/avm1/vm/Interpreter.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <optional>

namespace swf::avm1 {

namespace {

// Names the player refuses: these characters have meanings in paths and addresses.
bool validSaveName(const QString& name)
{
    if (name.isEmpty())
        return false;
    for (QChar c : name) {
        if (QStringLiteral("~%&\\;:\"',<>?# ").contains(c))
            return false;
    }
    return true;
}

// Script values to a save and back.
class ToSol {
public:
    ToSol(Interpreter& vm, archive::SolFile& file) : m_vm(vm), m_file(file) { }

    archive::SolValue value(const Value& v, int depth)
    {
        switch (v.type()) {
        case ValueType::Undefined: return {};
        case ValueType::Null: { archive::SolValue n; n.type = archive::SolValue::Type::Null; return n; }
        case ValueType::Boolean: return archive::SolValue::ofBoolean(v.asBoolean());
        case ValueType::Number: return archive::SolValue::ofNumber(v.asNumber());
        case ValueType::String: return archive::SolValue::ofString(v.asString());
        case ValueType::Object: break;
        }
        Object* o = v.asObject();
        if (o->kind() == Object::Kind::Date) {
            archive::SolValue d;
            d.type = archive::SolValue::Type::Date;
            d.number = o->primitive.isNumber() ? o->primitive.asNumber() : 0;
            return d;
        }
        if (auto* node = dynamic_cast<XmlNodeObject*>(o)) {
            archive::SolValue x;
            x.type = archive::SolValue::Type::Xml;
            x.string = xmlNodeToString(m_vm, node);
            return x;
        }
        if (o->kind() == Object::Kind::Boolean || o->kind() == Object::Kind::Number || o->kind() == Object::Kind::String)
            return value(o->primitive, depth);
        // Functions and clips belong to this run only.
        if (o->kind() == Object::Kind::Function || o->kind() == Object::Kind::Clip || depth > archive::SolMaxDepth
            || int(m_file.objects.size()) >= archive::SolMaxObjects) {
            archive::SolValue n;
            n.type = archive::SolValue::Type::Null;
            return n;
        }
        if (auto it = m_seen.find(o); it != m_seen.end())
            return archive::SolValue::ofObject(*it);
        const int index = int(m_file.objects.size());
        m_seen.insert(o, index);
        m_file.objects.push_back({});
        std::vector<std::pair<QString, archive::SolValue>> members = this->members(o, depth);
        m_file.objects[size_t(index)].isArray = o->kind() == Object::Kind::Array;
        m_file.objects[size_t(index)].members = std::move(members);
        return archive::SolValue::ofObject(index);
    }

    std::vector<std::pair<QString, archive::SolValue>> members(Object* o, int depth)
    {
        std::vector<std::pair<QString, archive::SolValue>> out;
        if (auto* array = dynamic_cast<ArrayObject*>(o)) {
            for (size_t i = 0; i < array->elements.size(); ++i) {
                if (!array->elements[i].isUndefined())
                    out.emplace_back(QString::number(i), value(array->elements[i], depth + 1));
            }
        }
        // Own members in the order they were set (enumeration lists the newest first).
        const QStringList names = o->ownNames(false);
        for (auto it = names.crbegin(); it != names.crend(); ++it) {
            const Property* p = o->findOwn(*it);
            if (!p || p->getter)
                continue;
            if (p->value.isObject() && p->value.asObject()->kind() == Object::Kind::Function)
                continue;
            out.emplace_back(p->name, value(p->value, depth + 1));
        }
        return out;
    }

private:
    Interpreter& m_vm;
    archive::SolFile& m_file;
    QHash<Object*, int> m_seen;
};

class FromSol {
public:
    FromSol(Interpreter& vm, const archive::SolFile& file) : m_vm(vm), m_file(file) { }

    void fill(Object* data)
    {
        // Every object first, so that members may refer to any of them.
        for (const archive::SolObject& o : m_file.objects)
            m_objects.push_back(o.isArray ? static_cast<Object*>(m_vm.newArray()) : m_vm.newObject());
        for (size_t i = 0; i < m_file.objects.size(); ++i) {
            for (const auto& [name, v] : m_file.objects[i].members)
                m_vm.setMember(Value(m_objects[i]), name, value(v));
        }
        for (const auto& [name, v] : m_file.data)
            m_vm.setMember(Value(data), name, value(v));
    }

private:
    Value value(const archive::SolValue& v)
    {
        using T = archive::SolValue::Type;
        switch (v.type) {
        case T::Undefined: return Value();
        case T::Null: return Value::null();
        case T::Boolean: return Value(v.boolean);
        case T::Number: return Value(v.number);
        case T::String: return Value(v.string);
        case T::Object: return v.object >= 0 && size_t(v.object) < m_objects.size() ? Value(m_objects[size_t(v.object)]) : Value::null();
        case T::Date: {
            Value ctor = m_vm.getMember(Value(m_vm.global()), QStringLiteral("Date"));
            return m_vm.construct(ctor, { Value(v.number) });
        }
        case T::Xml: {
            Value ctor = m_vm.getMember(Value(m_vm.global()), QStringLiteral("XML"));
            return m_vm.construct(ctor, { Value(v.string) });
        }
        }
        return Value();
    }

    Interpreter& m_vm;
    const archive::SolFile& m_file;
    std::vector<Object*> m_objects;
};

// The save as bytes: its name is the last part of the shared object's name.
QByteArray encodeSave(Interpreter& vm, Object* so)
{
    archive::SolFile file;
    file.name = vm.toString(so->findOwn(QStringLiteral("_name")) ? so->findOwn(QStringLiteral("_name"))->value : Value());
    file.name = file.name.section(QLatin1Char('/'), -1);
    Object* data = vm.getMember(Value(so), QStringLiteral("data")).asObject();
    if (data) {
        ToSol convert(vm, file);
        file.data = convert.members(data, 0);
    }
    return file.write();
}

QString fileOf(Interpreter& vm, Object* so)
{
    if (LoadQueue* q = loadQueueOf(vm)) {
        for (const LoadQueue::Save& s : q->saves()) {
            if (s.object == so)
                return s.file;
        }
    }
    return QString();
}

// Reads a save into `data`. A file that does not read is set aside (renamed,
// never deleted) so that nothing of the player's is lost, and the game starts afresh.
void readSave(Interpreter& vm, const QString& path, Object* data)
{
    archive::SaveRead save = archive::readSaveFile(path);
    if (save.state == archive::SaveRead::State::SetAside) {
        if (vm.host())
            vm.host()->scriptFault(QStringLiteral("save %1 does not read (%2); kept as %3")
                                       .arg(path, save.why, save.aside));
        return;
    }
    if (save.state == archive::SaveRead::State::Read)
        FromSol(vm, save.file).fill(data);
}

} // namespace

// flush([minDiskSpace]): true once written, false when writing failed.
// When the save, or the room the movie asks for, is beyond what a movie may
// keep without asking, the answer is "pending": nobody is there to allow
// more, so onStatus hears "SharedObject.Flush.Failed" on a later frame, as
// when the room is declined. The data stays as it is in the object and the
// save on disk keeps its last good contents: nothing is lost.
static Value sharedObjectFlush(Interpreter& vm, CallArgs& a)
{
    Object* so = a.thisObject();
    if (!so || !so->findOwn(QStringLiteral("_name")))
        return Value(false);
    const QByteArray bytes = encodeSave(vm, so);
    double wanted = a.args.empty() ? 0 : vm.toNumber(a.arg(0));
    if (!(wanted > 0))
        wanted = 0;
    if (double(bytes.size()) > double(archive::MaxSaveBytes) || wanted > double(archive::MaxSaveBytes)) {
        if (LoadQueue* q = loadQueueOf(vm))
            q->request(so, QString(), LoadQueue::Delivery::FlushDeclined);
        return Value(QStringLiteral("pending"));
    }
    return Value(archive::writeSaveFile(fileOf(vm, so), bytes));
}

static Value sharedObjectGetSize(Interpreter& vm, CallArgs& a)
{
    Object* so = a.thisObject();
    if (!so || !so->findOwn(QStringLiteral("_name")))
        return Value();
    Object* data = vm.getMember(a.thisValue, QStringLiteral("data")).asObject();
    if (!data || data->ownNames(false).isEmpty())
        return Value(0);
    return Value(double(encodeSave(vm, so).size()));
}

static Value sharedObjectClear(Interpreter& vm, CallArgs& a)
{
    Object* so = a.thisObject();
    if (!so || !so->findOwn(QStringLiteral("_name")))
        return Value();
    so->put(QStringLiteral("data"), Value(vm.newObject()), DontDelete);
    const QString file = fileOf(vm, so);
    if (!file.isEmpty())
        QFile::remove(file);
    return Value();
}

static Value sharedObjectGetRemote(Interpreter&, CallArgs&)
{
    return Value::null();
}

const NativeMethod sharedObjectMethods[] = {
    { "connect", Builtins::refuse },
    { "send", Builtins::nothing },
    { "flush", sharedObjectFlush },
    { "close", Builtins::nothing },
    { "getSize", sharedObjectGetSize },
    { "setFps", Builtins::refuse },
    { "clear", sharedObjectClear },
};

const NativeMethod sharedObjectStaticMethods[] = {
    { "getRemote", sharedObjectGetRemote },
    { "deleteAll", Builtins::refuse },
    { "getDiskUsage", Builtins::nothing },
};

void installSharedObject(Interpreter& vm)
{
    Object* proto = vm.newObject();
    auto* ctor = vm.newConstructor(QStringLiteral("SharedObject"), Builtins::nothing, proto);
    vm.global()->define(QStringLiteral("SharedObject"), Value(static_cast<Object*>(ctor)), DontEnum);
    vm.defineMethods(proto, sharedObjectMethods);
    vm.defineMethods(ctor, sharedObjectStaticMethods);
    // The objects handed out this run, by name and path: getLocal gives the same one back.
    Object* store = vm.newObject(nullptr);
    ctor->define(QStringLiteral("_store"), Value(store), DontEnum | DontDelete | ReadOnly);
    vm.defineMethod(ctor, QStringLiteral("getLocal"), [store, proto](Interpreter& vm, CallArgs& a) -> Value {
        const QString name = vm.toString(a.arg(0));
        if (!validSaveName(name))
            return Value::null();
        const bool hasPath = !a.arg(1).isNullish();
        const std::optional<QString> localPath = hasPath ? std::optional<QString>(vm.toString(a.arg(1))) : std::nullopt;
        LoadQueue* queue = loadQueueOf(vm);
        const std::optional<QString> file = archive::saveFilePath(queue ? queue->saveFolder() : QString(),
            queue ? queue->movieName() : QString(), name, localPath);
        if (!file)
            return Value::null();
        // One object per file; without a file, one per name.
        const QString key = file->isEmpty() ? QLatin1Char('|') + name : *file;
        if (const Property* p = store->findOwn(key))
            return p->value;

        Object* so = vm.newObject(proto);
        Object* data = vm.newObject();
        so->define(QStringLiteral("data"), Value(data), DontDelete);
        so->define(QStringLiteral("_name"), Value(name), DontEnum | DontDelete | ReadOnly);
        store->put(key, Value(so));
        if (queue && !file->isEmpty()) {
            queue->saves().push_back({ so, *file });
            readSave(vm, *file, data);
        }
        return Value(so);
    });
}

void flushSharedObjects(Interpreter& vm)
{
    LoadQueue* queue = loadQueueOf(vm);
    if (!queue)
        return;
    for (const LoadQueue::Save& s : queue->saves()) {
        // A save that was never written and holds nothing needs no file.
        Object* data = vm.getMember(Value(s.object), QStringLiteral("data")).asObject();
        if ((!data || data->ownNames(false).isEmpty()) && !QFileInfo::exists(s.file))
            continue;
        // Writing a save may run a script (an XML value's toString); a fault
        // there loses that save only, and never escapes the movie's end.
        try {
            const QByteArray bytes = encodeSave(vm, s.object);
            if (bytes.size() <= archive::MaxSaveBytes)
                archive::writeSaveFile(s.file, bytes);
        } catch (const ScriptThrow&) {
        } catch (const ScriptTrap&) {
        }
    }
}

} // namespace swf::avm1
