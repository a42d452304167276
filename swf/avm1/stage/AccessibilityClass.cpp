// The stage-facing built-ins that need no input: Color (ColorClass.cpp)
// and Accessibility. Key, Mouse and Stage are in InputClasses.cpp.

#include "swf/avm1/builtins/Builtins.h"
#include "swf/avm1/stage/ColorClass.h"
#include "swf/avm1/stage/StageScripts.h"

namespace swf::avm1 {

// Accessibility: no screen reader is ever attached to the player.
const NativeMethod accessibilityStaticMethods[] = {
    { "isActive", Builtins::refuse },
    { "updateProperties", Builtins::nothing },
};

void StageScripts::installStageObjects()
{
    Interpreter& vm = *m_vm;
    Object* g = vm.global();

    installColor(vm);

    Object* access = vm.newObject();
    g->define(QStringLiteral("Accessibility"), Value(access), DontEnum);
    vm.defineMethods(access, accessibilityStaticMethods);
}

} // namespace swf::avm1
