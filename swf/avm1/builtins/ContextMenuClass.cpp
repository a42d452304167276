// ContextMenu and ContextMenuItem: the menu a movie asks for behind the right
// button. The player shows no such menu in a render run, but scripts build
// and copy these objects, so each carries the members scripts read.

#include "swf/avm1/builtins/Builtins.h"
#include "swf/avm1/vm/Interpreter.h"

namespace swf::avm1 {

namespace {

// The player's own menu items, in the order scripts see them.
const char* const builtInItemNames[] = { "save", "zoom", "quality", "play", "loop", "rewind", "forward_back", "print" };

// A method that also carries a prototype object, like the functions the
// player defines in script for these classes.
void defineScriptLikeMethod(Interpreter& vm, Object* on, const char* name, NativeFunction fn)
{
    Object* proto = vm.newObject();
    FunctionObject* f = vm.newConstructor(QString::fromLatin1(name), std::move(fn), proto);
    if (Property* c = proto->findOwn(QStringLiteral("constructor")))
        c->flags = DontEnum | DontDelete;
    on->define(QString::fromLatin1(name), Value(static_cast<Object*>(f)), DontEnum | DontDelete);
}

Value member(Interpreter& vm, const Value& object, const char* name)
{
    return vm.getMember(object, QString::fromLatin1(name));
}

} // namespace

void installContextMenu(Interpreter& vm)
{
    Object* global = vm.global();

    // Every menu starts with the one table of the player's items: a copy
    // shares it, and hiding the items on one menu hides them on all.
    Object* builtInItems = vm.newObject();
    builtInItems->define(QStringLiteral("constructor"), vm.getMember(Value(global), QStringLiteral("Object")), DontEnum | DontDelete);
    for (const char* name : builtInItemNames)
        builtInItems->put(QString::fromLatin1(name), Value(true));

    Object* menuProto = vm.newObject();
    FunctionObject* menu = vm.newConstructor(QStringLiteral("ContextMenu"), [builtInItems](Interpreter& vm, CallArgs& a) -> Value {
        Object* self = a.thisObject();
        if (!a.constructing || !self)
            return Value();
        self->put(QStringLiteral("onSelect"), a.arg(0));
        // The item list is made as `new Array()` is.
        Value items = vm.construct(vm.getMember(Value(vm.global()), QStringLiteral("Array")), {});
        self->put(QStringLiteral("customItems"), items.isObject() ? items : Value(static_cast<Object*>(vm.newArray())));
        self->put(QStringLiteral("builtInItems"), Value(builtInItems));
        return Value();
    }, menuProto);
    if (Property* c = menuProto->findOwn(QStringLiteral("constructor")))
        c->flags = DontEnum | DontDelete;
    global->define(QStringLiteral("ContextMenu"), Value(static_cast<Object*>(menu)), DontEnum);

    // copy: a new menu with the same handler and items, each custom item copied.
    defineScriptLikeMethod(vm, menuProto, "copy", [menu](Interpreter& vm, CallArgs& a) -> Value {
        const Value self = a.thisValue;
        Object* copy = vm.construct(Value(static_cast<Object*>(menu)), { member(vm, self, "onSelect") }).asObject();
        if (!copy)
            return Value();
        copy->put(QStringLiteral("builtInItems"), member(vm, self, "builtInItems"));
        // The copy's item list is made as `new Array()` is, like a new menu's.
        Value made = vm.construct(vm.getMember(Value(vm.global()), QStringLiteral("Array")), {});
        ArrayObject* items = made.isObject() && made.asObject()->kind() == Object::Kind::Array
            ? static_cast<ArrayObject*>(made.asObject()) : vm.newArray();
        if (Object* source = member(vm, self, "customItems").asObject(); source && source->kind() == Object::Kind::Array) {
            for (const Value& item : static_cast<ArrayObject*>(source)->elements) {
                Value itemCopy = vm.getMember(item, QStringLiteral("copy"));
                items->elements.push_back(vm.call(itemCopy, item, {}));
            }
        }
        copy->put(QStringLiteral("customItems"), Value(static_cast<Object*>(items)));
        return Value(copy);
    });
    defineScriptLikeMethod(vm, menuProto, "hideBuiltInItems", [](Interpreter& vm, CallArgs& a) -> Value {
        const Value items = member(vm, a.thisValue, "builtInItems");
        for (const char* name : builtInItemNames)
            vm.setMember(items, QString::fromLatin1(name), Value(false));
        return Value();
    });

    // ContextMenuItem(caption, onSelect, separatorBefore, enabled, visible).
    Object* itemProto = vm.newObject();
    FunctionObject* item = vm.newConstructor(QStringLiteral("ContextMenuItem"), [](Interpreter& vm, CallArgs& a) -> Value {
        Object* self = a.thisObject();
        if (!a.constructing || !self)
            return Value();
        self->put(QStringLiteral("caption"), a.arg(0));
        self->put(QStringLiteral("onSelect"), a.arg(1));
        self->put(QStringLiteral("separatorBefore"), Value(vm.toBoolean(a.arg(2))));
        self->put(QStringLiteral("enabled"), a.args.size() > 3 ? Value(vm.toBoolean(a.arg(3))) : Value(true));
        self->put(QStringLiteral("visible"), a.args.size() > 4 ? Value(vm.toBoolean(a.arg(4))) : Value(true));
        return Value();
    }, itemProto);
    if (Property* c = itemProto->findOwn(QStringLiteral("constructor")))
        c->flags = DontEnum | DontDelete;
    global->define(QStringLiteral("ContextMenuItem"), Value(static_cast<Object*>(item)), DontEnum);
    defineScriptLikeMethod(vm, itemProto, "copy", [item](Interpreter& vm, CallArgs& a) -> Value {
        const Value self = a.thisValue;
        return vm.construct(Value(static_cast<Object*>(item)),
            { member(vm, self, "caption"), member(vm, self, "onSelect"), member(vm, self, "separatorBefore"),
                member(vm, self, "enabled"), member(vm, self, "visible") });
    });
}

} // namespace swf::avm1
