// Error and its kinds. An error made by the machine carries the player's
// number and message: "TypeError: Error #1009: Cannot access ...".

#include "swf/avm2/vm/Machine.h"

namespace swf::avm2 {

namespace {

Value arg(Args args, std::size_t i) { return i < args.size() ? args[i] : Value::undefined(); }

const char* const Names[] = { "Error", "TypeError", "ReferenceError", "ArgumentError", "RangeError", "VerifyError",
    "EvalError", "URIError", "SecurityError", "SyntaxError" };

// The errors of the flash.errors package, each on the one before it or on Error.
struct PackageError {
    const char* name;
    int base; // index into this table, -1 for Error
};
const PackageError PackageErrors[] = { { "IOError", -1 }, { "EOFError", 0 }, { "IllegalOperationError", -1 }, { "MemoryError", -1 },
    { "InvalidSWFError", -1 }, { "ScriptTimeoutError", -1 }, { "StackOverflowError", -1 } };

ClassObject* defineErrorClass(Machine& m, const QString& package, const QString& className, ClassObject* base)
{
        // The flash.errors classes keep the name "Error" their base gives them.
        const QString name = package.isEmpty() ? className : QStringLiteral("Error");
        ClassObject* cls = m.defineClass(package, className, base, InstanceKind::Error,
            [name](Machine& m, const Value& self, Args args) {
                Object* o = self.object();
                if (!o)
                    return Value::undefined();
                const Traits& traits = o->traits();
                auto set = [&](const QString& field, const Value& value) {
                    if (const Binding* binding = traits.find(Name::publicName(field)))
                        o->slotValues()[std::size_t(binding->slot)] = value;
                };
                set(QStringLiteral("message"), Value::string(arg(args, 0).isUndefined() ? QString() : m.toString(args[0])));
                set(QStringLiteral("name"), Value::string(name));
                set(QStringLiteral("errorID"), Value::number(args.size() > 1 ? toInt32(m.toNumber(args[1])) : 0));
                o->host = std::make_shared<QString>(m.stackTrace());
                return Value::undefined();
            });
        cls->sealed = false;
        // Each class's prototype is named after the class, even where its
        // instances keep their base's name.
        cls->instancePrototype->dynamicSet(QStringLiteral("name"), Value::string(className));
        cls->instancePrototype->dontEnum().insert(QStringLiteral("name"), true);
        cls->callAsFunction = [cls](Machine& m, const Value&, Args args) { return m.constructClass(cls, args); };
        return cls;
}

} // namespace

void throwPackageError(Machine& m, const QString& name, int id, const QString& message)
{
    ClassObject* cls = m.findClass(QStringLiteral("flash.errors.") + name);
    Value args[] = { Value::string(QStringLiteral("Error #%1: %2").arg(id).arg(message)), Value::number(id) };
    throw Thrown { m.constructClass(cls, args) };
}

void installErrorClasses(Machine& m)
{
    auto& b = m.builtins();
    for (int i = 0; i < 10; ++i) {
        const QString name = QLatin1String(Names[i]);
        ClassObject* cls = defineErrorClass(m, QString(), name, i == 0 ? b.object : b.error[0]);
        if (i == 0) {
            cls->instanceTraits->addSlot(Namespace {}, QStringLiteral("message"), false, Value::string(QString()), SlotType::Any, 0);
            cls->instanceTraits->addSlot(Namespace {}, QStringLiteral("name"), false, Value::string(name), SlotType::Any, 0);
            cls->instanceTraits->addSlot(Namespace {}, QStringLiteral("errorID"), true, Value::number(0), SlotType::Any, 0);
            m.addPrototypeMethod(cls, QStringLiteral("toString"), [](Machine& m, const Value& self, Args) {
                QString name = m.toString(m.getProperty(self, Name::publicName(QStringLiteral("name"))));
                QString message = m.toString(m.getProperty(self, Name::publicName(QStringLiteral("message"))));
                return Value::string(message.isEmpty() ? name : name + QStringLiteral(": ") + message);
            });
            // The error's text, then the methods that were running when it was made.
            m.addMethod(cls, QStringLiteral("getStackTrace"), [](Machine& m, const Value& self, Args) {
                Object* o = self.object();
                if (!o || o->type() != Object::Type::Error || !o->host)
                    return Value::null();
                QString name = m.toString(m.getProperty(self, Name::publicName(QStringLiteral("name"))));
                QString message = m.toString(m.getProperty(self, Name::publicName(QStringLiteral("message"))));
                return Value::string((message.isEmpty() ? name : name + QStringLiteral(": ") + message)
                    + *static_cast<const QString*>(o->host.get()));
            });
        }
        b.error[i] = cls;
    }
    std::vector<ClassObject*> made;
    for (const PackageError& e : PackageErrors)
        made.push_back(defineErrorClass(m, QStringLiteral("flash.errors"), QLatin1String(e.name), e.base < 0 ? b.error[0] : made[std::size_t(e.base)]));
}

} // namespace swf::avm2
