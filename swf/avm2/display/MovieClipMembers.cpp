// MovieClip: timeline control, frame scripts, labels and scenes. The root's
// scenes come from its scene table; any other timeline is one scene. Frames
// and labels are numbered from the start of their scene, as scripts see them.

#include "swf/avm2/display/StageScripts.h"

#include "swf/format/TagCodes.h"
#include "swf/runtime/SpriteInstance.h"
#include "swf/runtime/Stage.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace swf::avm2 {

namespace {

// The frame a numeric goto argument reaches from the scene starting at
// `first`: the number is cut to a 32-bit integer (saturating), made 0-based
// with 32-bit wrap-around, then kept inside the clip.
int clipFrameNumber(int first, double number, int frameCount)
{
    std::int32_t n = 0;
    if (std::isnan(number))
        n = 0;
    else if (number >= 2147483647.0)
        n = std::numeric_limits<std::int32_t>::max();
    else if (number <= -2147483648.0)
        n = std::numeric_limits<std::int32_t>::min();
    else
        n = std::int32_t(number);
    const std::int32_t zeroBased = std::int32_t(std::uint32_t(n) - 1u);
    const std::int64_t frame = std::int64_t(first) + std::max<std::int32_t>(zeroBased, 0);
    return int(std::clamp<std::int64_t>(frame, 1, std::max(frameCount, 1)));
}

Value arg(Args args, std::size_t i) { return i < args.size() ? args[i] : Value::undefined(); }

struct SceneInfo {
    QString name;
    int first = 1; // absolute frame, from 1
    int frames = 1;
};

std::uint32_t readEncodedU32(const QByteArray& bytes, int& at, bool& ok)
{
    std::uint32_t value = 0;
    for (int shift = 0; shift < 35; shift += 7) {
        if (at >= bytes.size()) {
            ok = false;
            return 0;
        }
        const auto byte = std::uint8_t(bytes[at++]);
        value |= std::uint32_t(byte & 0x7f) << shift;
        if (!(byte & 0x80))
            return value;
    }
    return value;
}

QString readCString(const QByteArray& bytes, int& at, bool& ok)
{
    const int end = bytes.indexOf('\0', at);
    if (end < 0) {
        ok = false;
        return {};
    }
    QString s = QString::fromUtf8(bytes.constData() + at, end - at);
    at = end + 1;
    return s;
}

// What the root's scene table says: its scenes and its frame labels (which
// then stand instead of the label tags).
struct SceneTable {
    std::vector<SceneInfo> scenes;
    std::vector<std::pair<QString, int>> labels; // label -> absolute frame, from 1
    bool present = false;
};

SceneTable readSceneTable(const SpriteInstance& sprite, bool isRoot)
{
    SceneTable table;
    const TimelineDef& timeline = sprite.timeline();
    if (!isRoot || timeline.frames.empty())
        return table;
    for (const ControlTag& tag : timeline.frames.front()) {
        if (tag.code != TagDefineSceneAndFrameLabelData)
            continue;
        bool ok = true;
        int at = 0;
        const std::uint32_t count = readEncodedU32(tag.body, at, ok);
        for (std::uint32_t i = 0; ok && i < count && i < 65536; ++i) {
            const int offset = int(readEncodedU32(tag.body, at, ok));
            const QString name = readCString(tag.body, at, ok);
            if (ok)
                table.scenes.push_back({ name, offset + 1, 0 });
        }
        const std::uint32_t labels = ok ? readEncodedU32(tag.body, at, ok) : 0;
        for (std::uint32_t i = 0; ok && i < labels && i < 65536; ++i) {
            const int frame = int(readEncodedU32(tag.body, at, ok));
            const QString name = readCString(tag.body, at, ok);
            if (ok)
                table.labels.emplace_back(name, frame + 1);
        }
        table.present = true;
        break;
    }
    return table;
}

// The scenes of a timeline: the root's scene table when it has one, else one scene.
std::vector<SceneInfo> scenesOf(const SpriteInstance& sprite, bool isRoot)
{
    const TimelineDef& timeline = sprite.timeline();
    std::vector<SceneInfo> scenes = readSceneTable(sprite, isRoot).scenes;
    if (scenes.empty())
        scenes.push_back({ QStringLiteral("Scene 1"), 1, 0 });
    for (std::size_t i = 0; i < scenes.size(); ++i) {
        const int end = i + 1 < scenes.size() ? scenes[i + 1].first : timeline.frameCount() + 1;
        scenes[i].frames = std::max(0, end - scenes[i].first);
    }
    return scenes;
}

std::size_t sceneIndexAt(const std::vector<SceneInfo>& scenes, int frame)
{
    std::size_t index = 0;
    for (std::size_t i = 0; i < scenes.size(); ++i) {
        if (scenes[i].first <= frame)
            index = i;
    }
    return index;
}

// Labels in frame order (the file's order among labels of one frame).
std::vector<std::pair<QString, int>> sortedLabels(const SpriteInstance& sprite, bool isRoot)
{
    SceneTable table = readSceneTable(sprite, isRoot);
    auto labels = table.present ? table.labels : sprite.timeline().labels;
    std::stable_sort(labels.begin(), labels.end(), [](const auto& a, const auto& b) { return a.second < b.second; });
    return labels;
}

} // namespace

void StageScripts::installMovieClipMembers(ClassObject* movieClip)
{
    Machine& m = *m_machine;
    const QString display = QStringLiteral("flash.display");
    auto isRoot = [this](SpriteInstance* sprite) { return sprite == &m_stage.root(); };

    ClassObject* frameLabel = m.defineClass(display, QStringLiteral("FrameLabel"), m.builtins().eventDispatcher, InstanceKind::Plain,
        [](Machine& m, const Value& self, Args args) {
            hiddenSet(self.o, QStringLiteral(" name"), Value::string(m.toString(arg(args, 0))));
            hiddenSet(self.o, QStringLiteral(" frame"), Value::number(toInt32(m.toNumber(arg(args, 1)))));
            return Value::undefined();
        });
    frameLabel->sealed = true;
    ClassObject* scene = m.defineClass(display, QStringLiteral("Scene"), m.builtins().object, InstanceKind::Plain,
        [](Machine& m, const Value& self, Args args) {
            hiddenSet(self.o, QStringLiteral(" name"), Value::string(m.toString(arg(args, 0))));
            hiddenSet(self.o, QStringLiteral(" labels"), arg(args, 1));
            hiddenSet(self.o, QStringLiteral(" numFrames"), Value::number(toInt32(m.toNumber(arg(args, 2)))));
            return Value::undefined();
        });
    scene->sealed = true;
    // Read-only fields kept under names no script can write (a leading space).
    auto hidden = [&](ClassObject* cls, const char* name) {
        const QString key = QLatin1Char(' ') + QLatin1String(name);
        m.addGetter(cls, QLatin1String(name), [key](Machine&, const Value& self, Args) {
            const Value* v = self.o ? self.o->dynamicGet(key) : nullptr;
            return v ? *v : Value::undefined();
        });
    };
    hidden(frameLabel, "name");
    hidden(frameLabel, "frame");
    hidden(scene, "name");
    hidden(scene, "labels");
    hidden(scene, "numFrames");

    auto labelsIn = [frameLabel](Machine& m, const SpriteInstance& sprite, const SceneInfo& info) {
        std::vector<Value> list;
        for (const auto& [name, frame] : sortedLabels(sprite, &sprite == &sprite.stage().root())) {
            if (frame < info.first || frame >= info.first + info.frames)
                continue;
            Value args[] = { Value::string(name), Value::number(frame - info.first + 1) };
            list.push_back(m.constructClass(frameLabel, args));
        }
        return Value::object(m.newArray(std::move(list)));
    };
    auto sceneObject = [scene, labelsIn](Machine& m, const SpriteInstance& sprite, const SceneInfo& info) {
        Value args[] = { Value::string(info.name), labelsIn(m, sprite, info), Value::number(info.frames) };
        return m.constructClass(scene, args);
    };

    m.addMethod(movieClip, QStringLiteral("addFrameScript"), [this](Machine& m, const Value& self, Args args) {
        Object* o = self.object();
        if (!o)
            return Value::undefined();
        for (std::size_t i = 0; i + 1 < args.size(); i += 2) {
            int frame = toInt32(m.toNumber(args[i])) + 1;
            if (args[i + 1].isObject())
                m_frameScripts[o][frame] = args[i + 1];
            else
                m_frameScripts[o].remove(frame);
        }
        return Value::undefined();
    });
    m.addMethod(movieClip, QStringLiteral("stop"), [this](Machine& m, const Value& self, Args) {
        if (SpriteInstance* sprite = spriteOf(m, self))
            sprite->stop();
        return Value::undefined();
    });
    m.addMethod(movieClip, QStringLiteral("play"), [this](Machine& m, const Value& self, Args) {
        if (SpriteInstance* sprite = spriteOf(m, self))
            sprite->play();
        return Value::undefined();
    });
    m.addGetter(movieClip, QStringLiteral("isPlaying"), [this](Machine& m, const Value& self, Args) {
        SpriteInstance* sprite = spriteOf(m, self);
        return Value::boolean(sprite && sprite->isPlaying());
    });
    // A frame given by number counts from the start of the scene named (or
    // the current one); a label is looked up in that scene first.
    auto go = [this, isRoot](bool andPlay) {
        return [this, andPlay, isRoot](Machine& m, const Value& self, Args args) {
            SpriteInstance* sprite = spriteOf(m, self);
            if (!sprite)
                return Value::undefined();
            const auto scenes = scenesOf(*sprite, isRoot(sprite));
            std::size_t sceneIndex = sceneIndexAt(scenes, sprite->currentFrame());
            Value sceneArg = arg(args, 1);
            if (!sceneArg.isNullish()) {
                const QString name = m.toString(sceneArg);
                auto found = std::find_if(scenes.begin(), scenes.end(), [&](const SceneInfo& s) { return s.name == name; });
                if (found == scenes.end())
                    m.throwError(ErrorClass::ArgumentError, 2108, QStringLiteral("Scene %1 was not found.").arg(name));
                sceneIndex = std::size_t(found - scenes.begin());
            }
            const SceneInfo& info = scenes[sceneIndex];
            Value target = arg(args, 0);
            // Anything not a number is read as text first: a label, or a number written out.
            QString label;
            double number = 0;
            if (target.isNumber()) {
                number = target.d;
            } else {
                label = m.toString(target);
                number = stringToNumber(label);
            }
            int frame = 0;
            if (!target.isNumber() && !std::isfinite(number)) {
                for (const auto& [name, at] : sortedLabels(*sprite, isRoot(sprite))) {
                    if (name == label && (sceneArg.isNullish() || (at >= info.first && at < info.first + info.frames))) {
                        frame = at;
                        break;
                    }
                }
                if (!frame)
                    m.throwError(ErrorClass::ArgumentError, 2109,
                        QStringLiteral("Frame label %1 not found in scene %2.").arg(label, info.name));
            } else {
                frame = clipFrameNumber(info.first, number, sprite->frameCount());
            }
            sprite->gotoFrame(std::max(frame, 1), andPlay);
            afterGoto(self.object());
            return Value::undefined();
        };
    };
    m.addMethod(movieClip, QStringLiteral("gotoAndStop"), go(false), 1);
    m.addMethod(movieClip, QStringLiteral("gotoAndPlay"), go(true), 1);
    m.addMethod(movieClip, QStringLiteral("nextFrame"), [this](Machine& m, const Value& self, Args) {
        if (SpriteInstance* sprite = spriteOf(m, self)) {
            sprite->gotoFrame(std::min(sprite->currentFrame() + 1, sprite->frameCount()), false);
            afterGoto(self.object());
        }
        return Value::undefined();
    });
    m.addMethod(movieClip, QStringLiteral("prevFrame"), [this](Machine& m, const Value& self, Args) {
        if (SpriteInstance* sprite = spriteOf(m, self)) {
            sprite->gotoFrame(std::max(sprite->currentFrame() - 1, 1), false);
            afterGoto(self.object());
        }
        return Value::undefined();
    });
    // nextScene and prevScene go to the first frame of the neighbouring scene
    // and play; at either end they stay where they are.
    auto sceneStep = [this, isRoot](int step) {
        return [this, step, isRoot](Machine& m, const Value& self, Args) {
            SpriteInstance* sprite = spriteOf(m, self);
            if (!sprite)
                return Value::undefined();
            const auto scenes = scenesOf(*sprite, isRoot(sprite));
            const int index = int(sceneIndexAt(scenes, sprite->currentFrame())) + step;
            if (index < 0 || index >= int(scenes.size()))
                return Value::undefined();
            sprite->gotoFrame(scenes[std::size_t(index)].first, true);
            afterGoto(self.object());
            return Value::undefined();
        };
    };
    m.addMethod(movieClip, QStringLiteral("nextScene"), sceneStep(1));
    m.addMethod(movieClip, QStringLiteral("prevScene"), sceneStep(-1));
    m.addGetter(movieClip, QStringLiteral("currentFrame"), [this, isRoot](Machine& m, const Value& self, Args) {
        SpriteInstance* sprite = spriteOf(m, self);
        if (!sprite)
            return Value::number(1);
        const auto scenes = scenesOf(*sprite, isRoot(sprite));
        return Value::number(sprite->currentFrame() - scenes[sceneIndexAt(scenes, sprite->currentFrame())].first + 1);
    });
    m.addGetter(movieClip, QStringLiteral("totalFrames"), [this](Machine& m, const Value& self, Args) {
        SpriteInstance* sprite = spriteOf(m, self);
        return Value::number(sprite ? sprite->frameCount() : 1);
    });
    m.addGetter(movieClip, QStringLiteral("framesLoaded"), [this](Machine& m, const Value& self, Args) {
        SpriteInstance* sprite = spriteOf(m, self);
        return Value::number(sprite ? sprite->frameCount() : 1);
    });
    // The label of the current frame or of the nearest labelled frame before
    // it in the scene; null when there is none.
    m.addGetter(movieClip, QStringLiteral("currentLabel"), [this, isRoot](Machine& m, const Value& self, Args) {
        SpriteInstance* sprite = spriteOf(m, self);
        if (!sprite)
            return Value::null();
        const auto scenes = scenesOf(*sprite, isRoot(sprite));
        const SceneInfo& info = scenes[sceneIndexAt(scenes, sprite->currentFrame())];
        Value result = Value::null();
        int best = 0;
        for (const auto& [label, at] : sortedLabels(*sprite, isRoot(sprite))) {
            if (at >= info.first && at <= sprite->currentFrame() && at > best) {
                best = at;
                result = Value::string(label);
            }
        }
        return result;
    });
    m.addGetter(movieClip, QStringLiteral("currentFrameLabel"), [this, isRoot](Machine& m, const Value& self, Args) {
        SpriteInstance* sprite = spriteOf(m, self);
        if (sprite) {
            for (const auto& [label, at] : sortedLabels(*sprite, isRoot(sprite))) {
                if (at == sprite->currentFrame())
                    return Value::string(label);
            }
        }
        return Value::null();
    });
    m.addGetter(movieClip, QStringLiteral("currentLabels"), [this, isRoot, labelsIn](Machine& m, const Value& self, Args) {
        SpriteInstance* sprite = spriteOf(m, self);
        if (!sprite)
            return Value::object(m.newArray());
        const auto scenes = scenesOf(*sprite, isRoot(sprite));
        return labelsIn(m, *sprite, scenes[sceneIndexAt(scenes, sprite->currentFrame())]);
    });
    m.addGetter(movieClip, QStringLiteral("currentScene"), [this, isRoot, sceneObject](Machine& m, const Value& self, Args) {
        SpriteInstance* sprite = spriteOf(m, self);
        if (!sprite)
            return Value::null();
        const auto scenes = scenesOf(*sprite, isRoot(sprite));
        return sceneObject(m, *sprite, scenes[sceneIndexAt(scenes, sprite->currentFrame())]);
    });
    m.addGetter(movieClip, QStringLiteral("scenes"), [this, isRoot, sceneObject](Machine& m, const Value& self, Args) {
        SpriteInstance* sprite = spriteOf(m, self);
        std::vector<Value> list;
        if (sprite) {
            for (const SceneInfo& info : scenesOf(*sprite, isRoot(sprite)))
                list.push_back(sceneObject(m, *sprite, info));
        }
        return Value::object(m.newArray(std::move(list)));
    });
    m.addGetter(movieClip, QStringLiteral("enabled"),
        [](Machine&, const Value& self, Args) {
            const Value* v = self.o ? self.o->dynamicGet(QStringLiteral(" enabled")) : nullptr;
            return v ? *v : Value::boolean(true);
        },
        [](Machine& m, const Value& self, Args args) {
            if (self.o)
                hiddenSet(self.o, QStringLiteral(" enabled"), Value::boolean(m.toBoolean(arg(args, 0))));
            return Value::undefined();
        });
}

} // namespace swf::avm2
