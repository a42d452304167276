// flash.utils.Proxy: an object whose property access, calls and for-in walks
// are answered by methods its subclass overrides in the flash_proxy
// namespace. Proxy's own versions of those methods throw, telling the script
// which one it forgot to override.

#include "swf/avm2/vm/Machine.h"

namespace swf::avm2 {

namespace {

const QString ProxyUri = QStringLiteral("http://www.adobe.com/2006/actionscript/flash/proxy");

Name proxyName(const QString& local)
{
    Name name;
    name.local = local;
    name.namespaces.push_back(Namespace { Namespace::Family::Public, ProxyUri, nullptr });
    return name;
}

// The name a hook receives: a QName of the namespace the access asked in.
Value nameArgument(Machine& m, const Name& name)
{
    if (name.keyObject)
        return Value::object(name.keyObject);
    QString uri;
    if (!name.anyNamespace && !name.namespaces.empty() && !name.includesPublic())
        uri = name.namespaces.front().uri;
    Value parts[] = { Value::string(uri), Value::string(name.local) };
    return m.constructClass(m.builtins().qname, parts);
}

Value callHook(Machine& m, Object* proxy, const QString& hook, Args args)
{
    return m.callProperty(Value::object(proxy), proxyName(hook), args);
}

class ProxyHooks : public PropertyHooks {
public:
    bool get(Machine& m, Object* o, const Name& name, Value& out) override
    {
        Value args[] = { nameArgument(m, name) };
        out = callHook(m, o, QStringLiteral("getProperty"), args);
        return true;
    }
    bool set(Machine& m, Object* o, const Name& name, const Value& value) override
    {
        Value args[] = { nameArgument(m, name), value };
        callHook(m, o, QStringLiteral("setProperty"), args);
        return true;
    }
    std::optional<bool> has(Machine& m, Object* o, const Name& name) override
    {
        Value args[] = { nameArgument(m, name) };
        return m.toBoolean(callHook(m, o, QStringLiteral("hasProperty"), args));
    }
    std::optional<bool> remove(Machine& m, Object* o, const Name& name) override
    {
        Value args[] = { nameArgument(m, name) };
        return m.toBoolean(callHook(m, o, QStringLiteral("deleteProperty"), args));
    }
    bool call(Machine& m, Object* o, const Name& name, Args args, Value& out) override
    {
        std::vector<Value> all { nameArgument(m, name) };
        all.insert(all.end(), args.begin(), args.end());
        out = callHook(m, o, QStringLiteral("callProperty"), all);
        return true;
    }
    bool descendants(Machine& m, Object* o, const Name& name, Value& out) override
    {
        Value args[] = { nameArgument(m, name) };
        out = callHook(m, o, QStringLiteral("getDescendants"), args);
        return true;
    }
    std::optional<std::uint32_t> nextIndex(Machine& m, Object* o, std::uint32_t index) override
    {
        Value args[] = { Value::number(index) };
        return toUint32(m.toNumber(callHook(m, o, QStringLiteral("nextNameIndex"), args)));
    }
    std::optional<Value> nameAt(Machine& m, Object* o, std::uint32_t index) override
    {
        Value args[] = { Value::number(index) };
        return callHook(m, o, QStringLiteral("nextName"), args);
    }
    std::optional<Value> valueAt(Machine& m, Object* o, std::uint32_t index) override
    {
        Value args[] = { Value::number(index) };
        return callHook(m, o, QStringLiteral("nextValue"), args);
    }
};

ProxyHooks g_proxyHooks;

} // namespace

void installProxyClass(Machine& m)
{
    ClassObject* cls = m.defineClass(QStringLiteral("flash.utils"), QStringLiteral("Proxy"), m.builtins().object,
        InstanceKind::Plain, {});
    cls->instanceHooks = &g_proxyHooks;
    // Each hook Proxy leaves to its subclass, with the error that says so.
    const std::pair<const char*, int> hooks[] = { { "getProperty", 2088 }, { "setProperty", 2089 }, { "callProperty", 2090 },
        { "hasProperty", 2091 }, { "deleteProperty", 2092 }, { "getDescendants", 2093 }, { "nextNameIndex", 2105 },
        { "nextName", 2106 }, { "nextValue", 2107 } };
    for (const auto& [hook, id] : hooks) {
        const QString local = QLatin1String(hook);
        Method* method = m.newMethod();
        method->name = local;
        method->owner = cls;
        method->traceName = QStringLiteral("flash.utils::Proxy/%1::%2").arg(ProxyUri, local);
        method->native = [local, id = id](Machine& m, const Value&, Args) -> Value {
            m.throwErrorThrough(QStringLiteral("Error$/throwError"), ErrorClass::Error, id,
                QStringLiteral("The Proxy class does not implement %1. It must be overridden by a subclass.").arg(local));
        };
        Binding binding;
        binding.kind = Binding::Kind::Method;
        binding.ns = Namespace { Namespace::Family::Public, ProxyUri, nullptr };
        binding.local = local;
        binding.method = method;
        cls->instanceTraits->addBinding(std::move(binding));
    }
    // hasOwnProperty asks the subclass too, with the name as a string.
    m.addMethod(cls, QStringLiteral("hasOwnProperty"), [](Machine& m, const Value& self, Args args) {
        Value name[] = { Value::string(args.empty() ? QStringLiteral("undefined") : m.toString(args[0])) };
        return Value::boolean(m.toBoolean(callHook(m, self.object(), QStringLiteral("hasProperty"), name)));
    }, 1);
}

} // namespace swf::avm2
