#include "swf/avm1/stage/MovieLoading.h"

#include "swf/archive/ImageMovie.h"
#include "swf/avm1/builtins/Builtins.h"
#include "swf/avm1/builtins/LoadRequests.h"
#include "swf/avm1/stage/SpriteClip.h"
#include "swf/avm1/stage/StageScripts.h"
#include "swf/avm1/vm/Execute.h"
#include "swf/avm1/vm/Interpreter.h"
#include "swf/movie/Movie.h"
#include "swf/runtime/SpriteInstance.h"
#include "swf/runtime/Stage.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QUrl>

namespace swf::avm1 {

namespace {

QHash<const Interpreter*, int>& loadCounts()
{
    static QHash<const Interpreter*, int> map;
    return map;
}

// The folder each loaded movie came from, so that its own requests start there.
QHash<const Interpreter*, QHash<const Movie*, QString>>& loadedFolders()
{
    static QHash<const Interpreter*, QHash<const Movie*, QString>> map;
    return map;
}

// The address each loaded movie came from (its _url).
QHash<const Interpreter*, QHash<const Movie*, QString>>& loadedUrls()
{
    static QHash<const Interpreter*, QHash<const Movie*, QString>> map;
    return map;
}

// The folder of the movie whose script runs now: the nearest loaded movie
// around the running timeline; empty for the first movie.
QString askingFolder(StageScripts& owner)
{
    auto* clip = dynamic_cast<SpriteClip*>(owner.interpreter().currentTarget());
    const auto folders = loadedFolders().constFind(&owner.interpreter());
    if (!clip || folders == loadedFolders().constEnd())
        return QString();
    for (const DisplayObject* o = clip->sprite(); o; o = o->parent()) {
        if (const SpriteInstance* sprite = o->asSprite(); sprite && sprite->loadedMovie())
            return folders->value(sprite->loadedMovie().get());
    }
    return QString();
}

// The sprite a request is for now: the clip's (null once it is gone), or
// the level's, made when the level does not exist yet.
SpriteInstance* targetSprite(StageScripts& owner, Object* target, int level, bool make)
{
    if (!target)
        return make ? owner.stage().makeLevel(level) : owner.stage().level(level);
    if (target->kind() != Object::Kind::Clip)
        return nullptr;
    return static_cast<SpriteClip*>(target)->sprite();
}

Value clipOf(StageScripts& owner, SpriteInstance* sprite)
{
    return sprite ? Value(static_cast<Object*>(owner.clipFor(*sprite))) : Value();
}

// Tells a MovieClipLoader's listeners (itself when none were added) of `event`.
void tell(Interpreter& vm, Object* loader, const QString& event, std::vector<Value> args)
{
    if (!loader)
        return;
    std::vector<Object*> listeners;
    if (auto* list = dynamic_cast<ArrayObject*>(loader->findOwn(QStringLiteral("_listeners"))
                                                    ? loader->findOwn(QStringLiteral("_listeners"))->value.asObject()
                                                    : nullptr)) {
        for (const Value& v : list->elements) {
            if (Object* o = v.asObject())
                listeners.push_back(o);
        }
    } else {
        listeners.push_back(loader);
    }
    for (Object* l : listeners)
        vm.callMethodSafely(l, event, args);
}

// Why a file could not be had, in the words MovieClipLoader reports.
QString errorWord(StageScripts& owner, const QString& url, const QString& folder)
{
    LoadQueue* queue = loadQueueOf(owner.interpreter());
    if (!queue)
        return QStringLiteral("URLNotFound");
    const archive::Loader::Target t = queue->loader().resolve(url, folder);
    // Web addresses and places outside the movie's folder are not for a local movie.
    return t.kind == archive::Loader::Kind::File ? QStringLiteral("URLNotFound") : QStringLiteral("IllegalRequest");
}

void arrive(StageScripts& owner, Object* target, int level, const QString& url, const QString& folder, Object* loader,
    int askingVersion, const Result<QByteArray>& bytes)
{
    Interpreter& vm = owner.interpreter();
    if (url.isEmpty()) {
        if (!target && level > 0) {
            owner.stage().removeLevel(level);
        } else if (SpriteInstance* sprite = targetSprite(owner, target, level, false)) {
            sprite->replaceContent(nullptr);
        }
        return;
    }
    SpriteInstance* sprite = targetSprite(owner, target, level, false);
    const auto fail = [&](const QString& word) {
        tell(vm, loader, QStringLiteral("onLoadError"), { clipOf(owner, sprite), Value(word), Value(0) });
    };
    if (!bytes) {
        // A local movie of version 6 or earlier may still ask the web (the
        // refusal came with version 7); the web is never reached from here,
        // so its answer never comes, as from a server that stays silent.
        LoadQueue* queue = loadQueueOf(vm);
        if (askingVersion <= 6 && queue && queue->loader().resolve(url, folder).kind == archive::Loader::Kind::Remote)
            return;
        fail(errorWord(owner, url, folder));
        return;
    }
    // A picture becomes a one-frame movie showing it.
    const QByteArray image = archive::movieFromImage(bytes.value());
    auto movie = Movie::load(image.isEmpty() ? bytes.value() : image);
    if (!movie) {
        owner.scriptFault(QStringLiteral("loaded file is no movie: %1 (%2)").arg(url, movie.error().detail));
        fail(QStringLiteral("LoadNeverCompleted"));
        return;
    }
    sprite = targetSprite(owner, target, level, true);
    if (!sprite) {
        fail(QStringLiteral("LoadNeverCompleted"));
        return;
    }
    if (sprite->loadedMovieNesting() + 1 > MaxLoadedMovieNesting) {
        owner.scriptFault(QStringLiteral("movie not loaded: more than %1 movies inside each other").arg(MaxLoadedMovieNesting));
        fail(QStringLiteral("LoadNeverCompleted"));
        return;
    }
    const double size = double(bytes.value().size());
    tell(vm, loader, QStringLiteral("onLoadStart"), { clipOf(owner, sprite) });
    tell(vm, loader, QStringLiteral("onLoadProgress"), { clipOf(owner, sprite), Value(size), Value(size) });
    sprite->replaceContent(std::move(movie.value()));
    if (LoadQueue* queue = movieQueueOf(vm)) {
        const archive::Loader::Target t = queue->loader().resolve(url, folder);
        if (t.kind == archive::Loader::Kind::File && sprite->loadedMovie()) {
            loadedFolders()[&vm].insert(sprite->loadedMovie().get(), QFileInfo(t.path).absolutePath());
            loadedUrls()[&vm].insert(sprite->loadedMovie().get(), QUrl::fromLocalFile(QFileInfo(t.path).absoluteFilePath()).toString());
        }
    }
    SpriteClip* clip = owner.clipFor(*sprite);
    clip->put(QStringLiteral("_bytesLoaded"), Value(size), DontEnum);
    clip->put(QStringLiteral("_bytesTotal"), Value(size), DontEnum);
    tell(vm, loader, QStringLiteral("onLoadComplete"), { Value(static_cast<Object*>(clip)), Value(0) });
    if (!loader)
        return;
    // onLoadInit once the new content's first frame ran: after this frame's actions.
    if (LoadQueue* text = loadQueueOf(vm)) {
        text->later([clip, loader](Interpreter& vm) {
            tell(vm, loader, QStringLiteral("onLoadInit"), { clip->sprite() ? Value(static_cast<Object*>(clip)) : Value() });
        }, { clip, loader });
    }
}

} // namespace

void forgetMovieLoads(Interpreter& vm)
{
    loadCounts().remove(&vm);
    loadedFolders().remove(&vm);
    loadedUrls().remove(&vm);
}

QString movieUrl(StageScripts& owner, const DisplayObject* object)
{
    Interpreter& vm = owner.interpreter();
    for (const DisplayObject* o = object; o; o = o->parent()) {
        if (const SpriteInstance* sprite = o->asSprite(); sprite && sprite->loadedMovie())
            return loadedUrls().value(&vm).value(sprite->loadedMovie().get());
    }
    const LoadQueue* queue = loadQueueOf(vm);
    if (!queue || queue->baseFolder().isEmpty() || queue->movieName().isEmpty())
        return QString();
    return QUrl::fromLocalFile(QDir(queue->baseFolder()).absoluteFilePath(queue->movieName())).toString();
}

bool requestMovie(StageScripts& owner, Object* target, int level, const QString& url, Object* loader)
{
    Interpreter& vm = owner.interpreter();
    LoadQueue* queue = movieQueueOf(vm);
    if (!queue || (!target && level < 0))
        return false;
    int& count = loadCounts()[&vm];
    if (!url.isEmpty() && ++count > MaxMovieLoads) {
        owner.scriptFault(QStringLiteral("movie not loaded: more than %1 loads in one run").arg(MaxMovieLoads));
        return false;
    }
    std::vector<Object*> keep;
    if (target)
        keep.push_back(target);
    if (loader)
        keep.push_back(loader);
    const QString folder = queue->askingFolder();
    const int version = vm.version();
    queue->request(url.isEmpty() ? QStringLiteral("-") : url,
        [&owner, target, level, url, folder, loader, version](Interpreter&, const Result<QByteArray>& bytes) {
            arrive(owner, target, level, url, folder, loader, version, bytes);
        },
        std::move(keep));
    return true;
}

bool requestVariables(StageScripts& owner, Object* target, int level, const QString& url)
{
    Interpreter& vm = owner.interpreter();
    LoadQueue* queue = loadQueueOf(vm);
    if (!queue || url.isEmpty())
        return false;
    if (!target) {
        SpriteInstance* sprite = owner.stage().level(level);
        if (!sprite)
            return false;
        target = owner.clipFor(*sprite);
    }
    queue->request(target, url, LoadQueue::Delivery::Variables);
    return true;
}

namespace {

Value loaderLoadClip(Interpreter& vm, CallArgs& a)
{
    StageScripts& owner = StageScripts::of(vm);
    const QString url = vm.toString(a.arg(0));
    Object* target = nullptr;
    int level = -1;
    const Value where = a.arg(1);
    if (where.isNumber()) {
        level = int(vm.toNumber(where));
    } else if (Object* o = where.asObject(); o && o->kind() == Object::Kind::Clip) {
        target = o;
    } else if (!where.isNullish()) {
        target = vm.resolveTarget(owner.level(0), vm.toString(where));
        if (!target || target->kind() != Object::Kind::Clip) {
            const int n = exec::levelNumber(vm.toString(where));
            target = nullptr;
            level = n;
        }
    }
    if (url.isEmpty() || (!target && level < 0))
        return Value(false);
    return Value(requestMovie(owner, target, level, url, a.thisObject()));
}

Value loaderUnloadClip(Interpreter& vm, CallArgs& a)
{
    StageScripts& owner = StageScripts::of(vm);
    const Value where = a.arg(0);
    if (where.isNumber())
        return Value(requestMovie(owner, nullptr, int(vm.toNumber(where)), QString(), nullptr));
    Object* o = where.asObject();
    if (!o || o->kind() != Object::Kind::Clip)
        return Value(false);
    return Value(requestMovie(owner, o, -1, QString(), nullptr));
}

Value loaderGetProgress(Interpreter& vm, CallArgs& a)
{
    Object* result = vm.newObject();
    Object* o = a.arg(0).asObject();
    if (!o || o->kind() != Object::Kind::Clip)
        return Value(result);
    const Value loaded = vm.getMember(Value(o), QStringLiteral("getBytesLoaded"));
    result->put(QStringLiteral("bytesLoaded"), vm.callSafely(loaded, Value(o), {}));
    const Value total = vm.getMember(Value(o), QStringLiteral("getBytesTotal"));
    result->put(QStringLiteral("bytesTotal"), vm.callSafely(total, Value(o), {}));
    return Value(result);
}

ArrayObject* listenersOf(Interpreter& vm, Object* self)
{
    if (const Property* p = self->findOwn(QStringLiteral("_listeners"))) {
        if (auto* list = dynamic_cast<ArrayObject*>(p->value.asObject()))
            return list;
    }
    ArrayObject* list = vm.newArray();
    list->elements.push_back(Value(self)); // the loader hears its own events first
    self->put(QStringLiteral("_listeners"), Value(static_cast<Object*>(list)), DontEnum);
    return list;
}

Value loaderAddListener(Interpreter& vm, CallArgs& a)
{
    Object* self = a.thisObject();
    Object* l = a.arg(0).asObject();
    if (!self || !l)
        return Value(false);
    ArrayObject* list = listenersOf(vm, self);
    for (const Value& v : list->elements) {
        if (v.asObject() == l)
            return Value(true);
    }
    if (list->elements.size() < ArrayObject::MaxLength)
        list->elements.push_back(Value(l));
    return Value(true);
}

Value loaderRemoveListener(Interpreter& vm, CallArgs& a)
{
    Object* self = a.thisObject();
    Object* l = a.arg(0).asObject();
    if (!self || !l)
        return Value(false);
    ArrayObject* list = listenersOf(vm, self);
    for (auto it = list->elements.begin(); it != list->elements.end(); ++it) {
        if (it->asObject() == l) {
            list->elements.erase(it);
            return Value(true);
        }
    }
    return Value(false);
}

// clip.loadMovie(url [, method]), clip.unloadMovie(), clip.loadVariables(url [, method])
Value clipLoadMovie(Interpreter& vm, CallArgs& a)
{
    Object* self = a.thisObject();
    if (!self || self->kind() != Object::Kind::Clip)
        return Value();
    requestMovie(StageScripts::of(vm), self, -1, vm.toString(a.arg(0)), nullptr);
    return Value();
}

Value clipUnloadMovie(Interpreter& vm, CallArgs& a)
{
    Object* self = a.thisObject();
    if (self && self->kind() == Object::Kind::Clip)
        requestMovie(StageScripts::of(vm), self, -1, QString(), nullptr);
    return Value();
}

Value clipLoadVariables(Interpreter& vm, CallArgs& a)
{
    Object* self = a.thisObject();
    if (self && self->kind() == Object::Kind::Clip)
        requestVariables(StageScripts::of(vm), self, -1, vm.toString(a.arg(0)));
    return Value();
}

// What a clip reads as its size in bytes. A movie's own root (the first
// movie, a level, a clip a file was loaded into) has the length of its file;
// any other clip (made by a script, placed from the library, emptied by
// unloadMovie) reads none, as the movie does not keep where each definition
// lay in its file. A local file arrives whole, so loaded and total agree;
// until a requested file arrives (a later frame) the clip reads what its old
// content had, and a failed load leaves it so.
Value clipBytes(Interpreter& vm, CallArgs& a)
{
    Object* self = a.thisObject();
    SpriteInstance* sprite = self && self->kind() == Object::Kind::Clip ? static_cast<SpriteClip*>(self)->sprite() : nullptr;
    if (!sprite)
        return Value();
    StageScripts& owner = StageScripts::of(vm);
    if (sprite == &owner.stage().root())
        return Value(double(owner.stage().movie().byteLength()));
    return Value(sprite->loadedMovie() ? double(sprite->loadedMovie()->byteLength()) : 0.0);
}

const NativeMethod loaderMethods[] = {
    { "loadClip", loaderLoadClip },
    { "unloadClip", loaderUnloadClip },
    { "getProgress", loaderGetProgress },
    { "addListener", loaderAddListener },
    { "removeListener", loaderRemoveListener },
};

const NativeMethod clipLoadingMethods[] = {
    { "loadMovie", clipLoadMovie },
    { "unloadMovie", clipUnloadMovie },
    { "loadVariables", clipLoadVariables },
    { "getBytesLoaded", clipBytes },
    { "getBytesTotal", clipBytes },
};

} // namespace

void installMovieLoading(Interpreter& vm)
{
    // Every request of a loaded movie starts from that movie's own folder.
    StageScripts& owner = StageScripts::of(vm);
    for (LoadQueue* queue : { loadQueueOf(vm), movieQueueOf(vm) }) {
        if (queue)
            queue->setAskingFolder([&owner] { return askingFolder(owner); });
    }
    const Value ctor = vm.getMember(Value(vm.global()), QStringLiteral("MovieClipLoader"));
    if (Object* proto = vm.getMember(ctor, QStringLiteral("prototype")).asObject())
        vm.defineMethods(proto, loaderMethods);
    if (Object* clipProto = vm.clipPrototype())
        vm.defineMethods(clipProto, clipLoadingMethods);
}

} // namespace swf::avm1
