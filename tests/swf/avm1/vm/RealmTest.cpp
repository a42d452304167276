// The realm: the shared objects the interpreter owns, filled in once by the
// installers and kept alive by the collector.

#include "swf/avm1/vm/Interpreter.h"

#include <gtest/gtest.h>

using namespace swf::avm1;

TEST(Realm, EachSlotIsSetOnce)
{
    Interpreter vm(8, nullptr);
    Object* array = vm.arrayPrototype();
    ASSERT_NE(array, nullptr);
    // The installers filled the built-in filled: a second setting is refused.
    Object* other = vm.newObject();
    EXPECT_FALSE(vm.setRealmSlot(&Realm::arrayPrototype, other));
    EXPECT_EQ(vm.arrayPrototype(), array);
    EXPECT_EQ(vm.newArray()->proto(), array);
    // The clip prototype belongs to the stage room: empty until it is given.
    EXPECT_EQ(vm.clipPrototype(), nullptr);
    EXPECT_TRUE(vm.setRealmSlot(&Realm::clipPrototype, other));
    EXPECT_FALSE(vm.setRealmSlot(&Realm::clipPrototype, vm.newObject()));
    EXPECT_EQ(vm.realm().clipPrototype, other);
}

TEST(Realm, CollectorKeepsEverySlot)
{
    Interpreter vm(8, nullptr);
    Object* clipProto = vm.newObject();
    vm.setRealmSlot(&Realm::clipPrototype, clipProto);
    clipProto->put(QStringLiteral("marker"), Value(1.0));
    size_t filled = 0;
    vm.realm().forEach([&](Object* o) { filled += o != nullptr; });
    EXPECT_EQ(filled, size_t(13));
    vm.collectGarbage();
    // No slot was swept: each still holds what its installer put there (under
    // the sanitizer build a swept one would be a use after free).
    EXPECT_NE(vm.objectPrototype()->findOwn(QStringLiteral("hasOwnProperty")), nullptr);
    EXPECT_NE(vm.realm().errorPrototype->findOwn(QStringLiteral("message")), nullptr);
    EXPECT_NE(vm.realm().datePrototype->findOwn(QStringLiteral("getTime")), nullptr);
    EXPECT_NE(vm.global()->findOwn(QStringLiteral("Math")), nullptr);
    EXPECT_EQ(vm.toNumber(vm.getMember(Value(vm.clipPrototype()), QStringLiteral("marker"))), 1.0);
    // The built-ins still work on the prototypes that survived.
    Value push = vm.getMember(Value(static_cast<Object*>(vm.newArray())), QStringLiteral("push"));
    EXPECT_EQ(vm.typeOf(push), QStringLiteral("function"));
    EXPECT_LT(vm.heapSize(), size_t(10000));
}
