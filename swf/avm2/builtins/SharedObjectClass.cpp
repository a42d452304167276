// flash.net.SharedObject: a movie's saved data, one object per name and
// path, handed out again by every getLocal that names it. What the movie
// keeps lives in `data`, for as long as the machine does.

#include "swf/avm2/builtins/ByteArrayClass.h"
#include "swf/avm2/vm/Machine.h"

namespace swf::avm2 {

namespace {

Value arg(Args args, std::size_t i) { return i < args.size() ? args[i] : Value::undefined(); }

struct SharedHost {
    QString name;
    Object* data = nullptr;
    std::uint32_t objectEncoding = 3;
};

// The shared objects handed out, by path and name; kept on the class.
using Store = QHash<QString, Object*>;

SharedHost& thisShared(Machine& m, const Value& self)
{
    Object* o = self.object();
    ClassObject* cls = o ? m.findClass(QStringLiteral("flash.net.SharedObject")) : nullptr;
    if (!o || !o->host || !cls || !o->classObject()->isSubclassOf(cls))
        m.throwError(ErrorClass::TypeError, 1009, QStringLiteral("Cannot access a property or method of a null object reference."));
    return *static_cast<SharedHost*>(o->host.get());
}

// Names and paths may not hold the characters a file name on some systems cannot.
bool validName(const QString& name)
{
    if (name.isEmpty())
        return false;
    for (QChar c : name) {
        if (c.unicode() < 0x20 || QStringLiteral("~%&\\;:\"',<>?# ").contains(c))
            return false;
    }
    return !name.contains(QLatin1String("//"));
}

[[noreturn]] void refuse(Machine& m)
{
    m.throwErrorThrough(QStringLiteral("flash.net::SharedObject$/getLocal"), ErrorClass::Error, 2134,
        QStringLiteral("Cannot create SharedObject."));
}

} // namespace

void installSharedObjectClass(Machine& m)
{
    ClassObject* cls = m.defineClass(QStringLiteral("flash.net"), QStringLiteral("SharedObject"), m.builtins().eventDispatcher,
        InstanceKind::Plain, [](Machine& m, const Value& self, Args) {
            if (Object* o = self.object(); o && !o->host) {
                auto host = std::make_shared<SharedHost>();
                host->data = m.newObject();
                o->host = host;
            }
            return Value::undefined();
        });
    cls->sealed = true;
    cls->host = std::make_shared<Store>();

    // getLocal(name, localPath): the same object each time for the same name and path.
    m.addStatic(cls, QStringLiteral("getLocal"), [cls](Machine& m, const Value&, Args args) {
        const QString name = m.toString(arg(args, 0));
        const Value pathArg = arg(args, 1);
        const QString path = pathArg.isNullish() ? QString() : m.toString(pathArg);
        if (arg(args, 0).isNullish() || !validName(name) || (!path.isEmpty() && !validName(path)))
            refuse(m);
        Store& store = *static_cast<Store*>(cls->host.get());
        const QString key = path + QLatin1Char('\n') + name;
        if (Object* known = store.value(key))
            return Value::object(known);
        Object* so = m.constructClass(cls, {}).object();
        static_cast<SharedHost*>(so->host.get())->name = name;
        store.insert(key, so);
        return Value::object(so);
    }, 3);
    m.addStatic(cls, QStringLiteral("getRemote"), [](Machine& m, const Value&, Args) -> Value {
        m.throwErrorThrough(QStringLiteral("flash.net::SharedObject$/getRemote"), ErrorClass::Error, 2134,
            QStringLiteral("Cannot create SharedObject."));
    }, 4);
    m.addStaticConst(cls, QStringLiteral("defaultObjectEncoding"), Value::number(3));

    m.addGetter(cls, QStringLiteral("data"), [](Machine& m, const Value& self, Args) { return Value::object(thisShared(m, self).data); });
    m.addGetter(cls, QStringLiteral("objectEncoding"),
        [](Machine& m, const Value& self, Args) { return Value::number(thisShared(m, self).objectEncoding); },
        [](Machine& m, const Value& self, Args args) {
            const std::uint32_t encoding = toUint32(m.toNumber(arg(args, 0)));
            if (encoding != 0 && encoding != 3)
                m.throwError(ErrorClass::ArgumentError, 2008, QStringLiteral("Parameter objectEncoding must be one of the accepted values."));
            thisShared(m, self).objectEncoding = encoding;
            return Value::undefined();
        });
    // The bytes the data takes once encoded; nothing saved is 0.
    m.addGetter(cls, QStringLiteral("size"), [](Machine& m, const Value& self, Args) {
        SharedHost& so = thisShared(m, self);
        if (so.data->dynamicProperties().empty())
            return Value::number(0);
        Object* bytes = newByteArray(m, {});
        byteArrayOf(bytes)->objectEncoding = so.objectEncoding;
        m.callProperty(Value::object(bytes), Name::publicName(QStringLiteral("writeObject")), std::vector<Value> { Value::object(so.data) });
        return Value::number(double(byteArrayOf(bytes)->data.size()));
    });
    m.addMethod(cls, QStringLiteral("flush"), [](Machine& m, const Value& self, Args) {
        thisShared(m, self);
        return Value::string(QStringLiteral("flushed"));
    }, 1);
    m.addMethod(cls, QStringLiteral("clear"), [](Machine& m, const Value& self, Args) {
        SharedHost& so = thisShared(m, self);
        std::vector<QString> names;
        for (const auto& [key, v] : so.data->dynamicProperties())
            names.push_back(key);
        for (const QString& key : names)
            so.data->dynamicDelete(key);
        return Value::undefined();
    });
    m.addMethod(cls, QStringLiteral("close"), [](Machine& m, const Value& self, Args) {
        thisShared(m, self);
        return Value::undefined();
    });
    m.addMethod(cls, QStringLiteral("setProperty"), [](Machine& m, const Value& self, Args args) {
        SharedHost& so = thisShared(m, self);
        const QString key = m.toString(arg(args, 0));
        if (arg(args, 1).isNullish())
            so.data->dynamicDelete(key);
        else
            so.data->dynamicSet(key, arg(args, 1));
        return Value::undefined();
    }, 2);
    m.addMethod(cls, QStringLiteral("setDirty"), [](Machine& m, const Value& self, Args) {
        thisShared(m, self);
        return Value::undefined();
    }, 1);
}

} // namespace swf::avm2
