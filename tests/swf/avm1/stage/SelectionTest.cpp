// Selection: what takes the focus, the indices of a focused field, and the
// events a move of the focus onto or away from a clip sends at once.

#include "support/BuiltinsRows.h"

using namespace swf::avm1;
using namespace swf::avm1::test;

namespace {

// trace(Selection.getFocus() + " " + begin + " " + end + " " + caret)
S report()
{
    S s;
    s.method("Selection", "getFocus").value(" ").add();
    s.method("Selection", "getBeginIndex").add().value(" ").add();
    s.method("Selection", "getEndIndex").add().value(" ").add();
    s.method("Selection", "getCaretIndex").add().trace();
    return s;
}

// createTextField("t", 1, 0, 0, 100, 20); t.text = "Hello"
S field()
{
    S s;
    s.method("this", "createTextField", { "t", 1, 0, 0, 100, 20 }).pop();
    s.setMember("t", "text", S().value("Hello"));
    return s;
}

// trace(Selection.setFocus(name))
S focus(const char* name)
{
    return std::move(S().var(name).methodWith("Selection", "setFocus", 1).trace());
}

// name.handler = function (arg) { trace(tag + arg); }
S logs(const char* name, const char* handler, const char* tag)
{
    return std::move(S().setMember(name, handler, S().function("", { "arg" }, S().value(tag).var("arg").add().trace())));
}

} // namespace

TEST(Selection, AFocusedFieldHasItsWholeTextSelected)
{
    runRows({
        { "nothing focused", 7, report(), { "null -1 -1 -1" } },
        { "a field", 7, S().then(field()).then(focus("t")).then(report()), { "true", "_level0.t 0 5 5" } },
        // Version 5 takes a path, not the field itself.
        { "a field, version 5", 5, S().then(field()).then(focus("t")).then(report()), { "false", "null -1 -1 -1" } },
        // A version 5 movie's `text` is a plain member: the field stays empty.
        { "a path, version 5", 5, S().then(field()).method("Selection", "setFocus", { "t" }).trace().then(report()),
            { "true", "_level0.t 0 0 0" } },
    });
}

TEST(Selection, AClipTakesTheFocusOnlyWhenItCanBeFocused)
{
    S plain = S().call("createEmptyMovieClip", { "a", 1 }).pop().then(focus("a")).then(report());
    S enabled = S().call("createEmptyMovieClip", { "a", 1 }).pop();
    enabled.setMember("a", "focusEnabled", S().value(true)).then(focus("a")).then(report());
    S pressable = S().call("createEmptyMovieClip", { "a", 1 }).pop();
    pressable.setMember("a", "onPress", S().function("", {}, S())).then(focus("a")).then(report());
    runRows({
        { "plain clip", 7, plain, { "false", "null -1 -1 -1" } },
        { "focusEnabled", 7, enabled, { "true", "_level0.a -1 -1 -1" } },
        { "with onPress", 7, pressable, { "true", "_level0.a -1 -1 -1" } },
    });
}

TEST(Selection, MovingTheFocusBetweenClipsTellsAtOnce)
{
    // Clips a and b take the focus; each logs its focus handlers, and a
    // Selection listener logs onSetFocus(from, to).
    S s;
    for (const char* name : { "a", "b" }) {
        s.call("createEmptyMovieClip", { name, name[0] == 'a' ? 1 : 2 }).pop();
        s.setMember(name, "focusEnabled", S().value(true));
    }
    s.then(logs("a", "onSetFocus", "a set ")).then(logs("a", "onKillFocus", "a kill "));
    s.then(logs("b", "onSetFocus", "b set ")).then(logs("b", "onKillFocus", "b kill "));
    s.assign("o", S().object({}));
    s.setMember("o", "onSetFocus", S().function("", { "from", "to" }, S().value("heard ").var("from").add().value(" ").add().var("to").add().trace()));
    s.var("o").methodWith("Selection", "addListener", 1).pop();
    s.then(focus("a")).then(focus("b"));
    s.value(Null {}).value(1).var("Selection").value("setFocus").op(0x52).trace();
    runRows({ { "a, then b, then nobody", 7, s,
        { "a set null", "heard null _level0.a", "true",
            "a kill _level0.b", "b set _level0.a", "heard _level0.a _level0.b", "true",
            "b kill null", "heard _level0.b null", "true" } } });
}
