// Object, Class, Function and Namespace: the classes every other one stands on.

#include "swf/avm2/vm/Machine.h"

namespace swf::avm2 {

namespace {

Value arg(Args args, std::size_t i) { return i < args.size() ? args[i] : Value::undefined(); }

} // namespace

void installObjectClasses(Machine& m)
{
    auto& b = m.builtins();
    b.object = m.defineClass(QString(), QStringLiteral("Object"), nullptr, InstanceKind::Plain, [](Machine&, const Value&, Args) {
        return Value::undefined();
    });
    b.cls = m.defineClass(QString(), QStringLiteral("Class"), b.object, InstanceKind::Plain, {});
    b.function = m.defineClass(QString(), QStringLiteral("Function"), b.object, InstanceKind::Function, {});
    // The three were made before Class existed: give them their class now.
    for (ClassObject* c : { b.object, b.cls, b.function }) {
        c->setClassObject(b.cls);
        c->setPrototype(b.cls->instancePrototype);
        c->instancePrototype->setClassObject(b.object);
    }
    b.object->callAsFunction = [](Machine& m, const Value&, Args args) {
        Value v = arg(args, 0);
        return v.isNullish() ? Value::object(m.newObject()) : v;
    };

    m.addPrototypeMethod(b.object, QStringLiteral("hasOwnProperty"), [](Machine& m, const Value& self, Args args) {
        Name name = Name::publicName(m.toString(arg(args, 0)));
        Object* o = self.object();
        if (!o)
            return Value::boolean(m.hasProperty(self, name));
        if (o->traits().find(name))
            return Value::boolean(true);
        bool ok = false;
        std::uint32_t index = name.local.toUInt(&ok);
        if (ok && o->type() == Object::Type::Array && index < o->elements.size())
            return Value::boolean(!o->elements[index].isHole());
        return Value::boolean(o->dynamicHas(name.local));
    }, 1);
    m.addPrototypeMethod(b.object, QStringLiteral("propertyIsEnumerable"), [](Machine& m, const Value& self, Args args) {
        Object* o = self.object();
        QString name = m.toString(arg(args, 0));
        return Value::boolean(o && o->dynamicHas(name) && !o->dontEnum().value(name));
    }, 1);
    m.addPrototypeMethod(b.object, QStringLiteral("setPropertyIsEnumerable"), [](Machine& m, const Value& self, Args args) {
        if (Object* o = self.object())
            o->dontEnum().insert(m.toString(arg(args, 0)), !m.toBoolean(arg(args, 1)));
        return Value::undefined();
    }, 2);
    m.addPrototypeMethod(b.object, QStringLiteral("isPrototypeOf"), [](Machine&, const Value& self, Args args) {
        Object* v = arg(args, 0).object();
        for (Object* p = v ? v->prototype() : nullptr; p; p = p->prototype()) {
            if (p == self.object())
                return Value::boolean(true);
        }
        return Value::boolean(false);
    }, 1);
    auto objectToString = [](Machine& m, const Value& self, Args) {
        if (self.isObject() && self.o->type() == Object::Type::Class)
            return Value::string(QStringLiteral("[class %1]").arg(static_cast<ClassObject*>(self.o)->name));
        if (self.isObject() && self.o->type() == Object::Type::Function)
            return Value::string(QStringLiteral("function Function() {}"));
        ClassObject* cls = m.classOf(self);
        return Value::string(QStringLiteral("[object %1]").arg(cls ? cls->name : QStringLiteral("Object")));
    };
    m.addPrototypeMethod(b.object, QStringLiteral("toString"), objectToString);
    m.addPrototypeMethod(b.object, QStringLiteral("toLocaleString"), objectToString);
    m.addPrototypeMethod(b.object, QStringLiteral("valueOf"), [](Machine&, const Value& self, Args) { return self; });

    m.addPrototypeMethod(b.function, QStringLiteral("call"), [](Machine& m, const Value& self, Args args) {
        Value receiver = arg(args, 0);
        return m.call(self, receiver, args.size() > 1 ? args.subspan(1) : Args {});
    }, 1);
    m.addPrototypeMethod(b.function, QStringLiteral("apply"), [](Machine& m, const Value& self, Args args) {
        Value receiver = arg(args, 0);
        std::vector<Value> list;
        if (Object* a = arg(args, 1).object()) {
            if (a->type() != Object::Type::Array)
                m.throwError(ErrorClass::TypeError, 1116, QStringLiteral("second argument to Function.prototype.apply must be an array."));
            list = a->elements;
        }
        return m.call(self, receiver, list);
    }, 2);
    m.addGetter(b.function, QStringLiteral("length"), [](Machine&, const Value& self, Args) {
        Object* o = self.object();
        return Value::number(o && o->method ? o->method->paramCount : 0);
    });

    b.namespaceClass = m.defineClass(QString(), QStringLiteral("Namespace"), b.object, InstanceKind::Plain, {});
    m.addGetter(b.namespaceClass, QStringLiteral("uri"), [](Machine& m, const Value& self, Args) {
        return Value::string(self.isObject() ? m.toString(self.o->primitive) : QString());
    });
}

} // namespace swf::avm2
