#include "swf/avm1/builtins/NativeText.h"

namespace swf::avm1 {

QString nativeText(Interpreter& vm, const Value& v)
{
    Object* o = v.asObject();
    // Clips (their path) and String objects (their string) answer without a call.
    if (!o || o->kind() == Object::Kind::Clip || o->kind() == Object::Kind::String)
        return vm.toString(v);
    const QString typeName = o->kind() == Object::Kind::Function ? QStringLiteral("[type Function]") : QStringLiteral("[type Object]");
    Value method = vm.getMember(v, QStringLiteral("toString"));
    Object* m = method.asObject();
    if (!m || m->kind() != Object::Kind::Function)
        return typeName;
    Value r = vm.call(method, v, {});
    return r.isString() ? r.asString() : typeName;
}

} // namespace swf::avm1
