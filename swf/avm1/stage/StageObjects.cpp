// The stage-facing built-ins that need no input: Color (BuiltinsColor.cpp)
// and Accessibility. Key, Mouse and Stage are in StageScriptsInput.cpp.

#include "swf/avm1/builtins/Builtins.h"
#include "swf/avm1/stage/StageScripts.h"

namespace swf::avm1 {

void StageScripts::installStageObjects()
{
    Interpreter& vm = *m_vm;
    Object* g = vm.global();

    Builtins::installColor(vm, *this);

    // Accessibility: no screen reader is ever attached to the player.
    Object* access = vm.newObject();
    g->define(QStringLiteral("Accessibility"), Value(access), DontEnum);
    vm.defineMethod(access, QStringLiteral("isActive"), [](Interpreter&, CallArgs&) -> Value { return Value(false); });
    vm.defineMethod(access, QStringLiteral("updateProperties"), [](Interpreter&, CallArgs&) -> Value { return Value(); });
}

} // namespace swf::avm1
