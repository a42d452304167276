#include "swf/avm1/builtins/LoadRequests.h"

#include "swf/avm1/builtins/Builtins.h"

#include "swf/avm1/vm/Interpreter.h"
#include "swf/io/TextCodec.h"

#include <QHash>
#include <QUrl>

namespace swf::avm1 {

namespace {

QHash<const Interpreter*, LoadQueue*>& queues()
{
    static QHash<const Interpreter*, LoadQueue*> map;
    return map;
}

QHash<const Interpreter*, LoadQueue*>& movieQueues()
{
    static QHash<const Interpreter*, LoadQueue*> map;
    return map;
}

} // namespace

void attachMovieQueue(Interpreter& vm, LoadQueue* queue)
{
    if (queue)
        movieQueues().insert(&vm, queue);
    else
        movieQueues().remove(&vm);
}

LoadQueue* movieQueueOf(Interpreter& vm)
{
    return movieQueues().value(&vm, nullptr);
}

void attachLoadQueue(Interpreter& vm, LoadQueue* queue)
{
    if (queue)
        queues().insert(&vm, queue);
    else
        queues().remove(&vm);
}

LoadQueue* loadQueueOf(Interpreter& vm)
{
    return queues().value(&vm, nullptr);
}

void addLoadRoots(Interpreter& vm, std::vector<Object*>& roots)
{
    if (LoadQueue* q = loadQueueOf(vm))
        q->addRoots(roots);
    if (LoadQueue* q = movieQueueOf(vm))
        q->addRoots(roots);
}

void LoadQueue::request(Object* target, const QString& url, Delivery delivery)
{
    if (target)
        m_pending.push_back({ target, url, delivery, {}, {}, {}, m_round, askingFolder() });
}

void LoadQueue::request(const QString& url, Done done, std::vector<Object*> keep)
{
    m_pending.push_back({ nullptr, url, Delivery::OnData, std::move(done), {}, std::move(keep), m_round, askingFolder() });
}

void LoadQueue::later(std::function<void(Interpreter&)> work, std::vector<Object*> keep)
{
    m_pending.push_back({ nullptr, QString(), Delivery::OnData, {}, std::move(work), std::move(keep), m_round });
}

void LoadQueue::pump(Interpreter& vm)
{
    std::vector<Pending> due;
    if (m_holdOne) {
        std::vector<Pending> waiting;
        for (Pending& p : m_pending)
            (p.round < m_round ? due : waiting).push_back(std::move(p));
        m_pending.swap(waiting);
    } else {
        due.swap(m_pending);
    }
    ++m_round;
    for (const Pending& p : due) {
        if (p.work) {
            p.work(vm);
            continue;
        }
        if (p.done) {
            p.done(vm, m_loader.read(p.url, p.folder));
            continue;
        }
        if (p.delivery == Delivery::FlushDeclined) {
            Object* info = vm.newObject();
            info->put(QStringLiteral("code"), Value(QStringLiteral("SharedObject.Flush.Failed")));
            info->put(QStringLiteral("level"), Value(QStringLiteral("error")));
            vm.callMethodSafely(p.target, QStringLiteral("onStatus"), { Value(info) });
            continue;
        }
        Result<QByteArray> bytes = m_loader.read(p.url, p.folder);
        const Value target(p.target);
        if (p.delivery == Delivery::Variables) {
            if (!bytes)
                continue;
            for (const auto& [name, value] : decodeVariables(decodeLoadedText(vm, bytes.value()), textInCodePage(vm)))
                vm.setMember(target, name, Value(value));
            vm.callMethodSafely(p.target, QStringLiteral("onData"), {});
            continue;
        }
        if (!bytes) {
            vm.callMethodSafely(p.target, QStringLiteral("onData"), { Value() });
            continue;
        }
        const double size = double(bytes.value().size());
        p.target->put(QStringLiteral("_bytesLoaded"), Value(size), DontEnum);
        p.target->put(QStringLiteral("_bytesTotal"), Value(size), DontEnum);
        vm.callMethodSafely(p.target, QStringLiteral("onData"), { Value(decodeLoadedText(vm, bytes.value())) });
    }
}

void LoadQueue::addRoots(std::vector<Object*>& roots) const
{
    for (const Pending& p : m_pending) {
        if (p.target)
            roots.push_back(p.target);
        roots.insert(roots.end(), p.keep.begin(), p.keep.end());
    }
    for (const Save& s : m_saves)
        roots.push_back(s.object);
}

bool requestText(Interpreter& vm, Object* target, const QString& url)
{
    LoadQueue* queue = loadQueueOf(vm);
    if (!queue || !target || url.isEmpty())
        return false;
    // An XML document keeps `loaded` itself; other targets get a hidden member.
    if (!target->setVirtual(vm, QStringLiteral("loaded"), Value(false)))
        target->put(QStringLiteral("loaded"), Value(false), DontEnum);
    target->put(QStringLiteral("_bytesLoaded"), Value(0), DontEnum);
    target->put(QStringLiteral("_bytesTotal"), Value(), DontEnum);
    queue->request(target, url);
    return true;
}

QString decodeLoadedText(Interpreter& vm, const QByteArray& bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.constData() + 3, bytes.size() - 3);
    if (bytes.size() >= 2 && uchar(bytes[0]) == 0xFF && uchar(bytes[1]) == 0xFE) {
        QString s;
        for (qsizetype i = 2; i + 1 < bytes.size(); i += 2)
            s += QChar(char16_t(uchar(bytes[i]) | uchar(bytes[i + 1]) << 8));
        return s;
    }
    if (bytes.size() >= 2 && uchar(bytes[0]) == 0xFE && uchar(bytes[1]) == 0xFF) {
        QString s;
        for (qsizetype i = 2; i + 1 < bytes.size(); i += 2)
            s += QChar(char16_t(uchar(bytes[i]) << 8 | uchar(bytes[i + 1])));
        return s;
    }
    if (textInCodePage(vm))
        return decodeLegacy(bytes);
    return QString::fromUtf8(bytes);
}

bool textInCodePage(Interpreter& vm)
{
    if (vm.version() < 6)
        return true;
    const Value system = vm.getMember(Value(vm.global()), QStringLiteral("System"));
    return vm.toBoolean(vm.getMember(system, QStringLiteral("useCodepage")));
}

std::vector<std::pair<QString, QString>> decodeVariables(const QString& text, bool codePage)
{
    std::vector<std::pair<QString, QString>> out;
    // + is a space; each run of %XX escapes is one byte string, read as UTF-8
    // or in the movie's code page.
    const auto hex = [](QChar c) {
        return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('a') && c <= QLatin1Char('f'))
            || (c >= QLatin1Char('A') && c <= QLatin1Char('F'));
    };
    const auto unescape = [codePage, &hex](const QString& s) {
        QString result;
        QByteArray run;
        const auto flush = [&] {
            if (!run.isEmpty())
                result += codePage ? decodeLegacy(run) : QString::fromUtf8(run);
            run.clear();
        };
        for (qsizetype i = 0; i < s.size(); ++i) {
            const QChar c = s[i];
            if (c == QLatin1Char('%') && i + 2 < s.size() && hex(s[i + 1]) && hex(s[i + 2])) {
                run.append(char(QStringView(s).mid(i + 1, 2).toUShort(nullptr, 16)));
                i += 2;
                continue;
            }
            flush();
            result += c == QLatin1Char('+') ? QLatin1Char(' ') : c;
        }
        flush();
        return result;
    };
    for (const QString& pair : text.split(QLatin1Char('&'))) {
        const int eq = pair.indexOf(QLatin1Char('='));
        const QString name = unescape(eq < 0 ? pair : pair.left(eq));
        if (name.isEmpty())
            continue;
        out.emplace_back(name, eq < 0 ? QString() : unescape(pair.mid(eq + 1)));
    }
    return out;
}

static Value loadingAddRequestHeader(Interpreter& vm, CallArgs& a)
{
    Object* self = a.thisObject();
    if (!self)
        return Value();
    const QString key = QStringLiteral("_customHeaders");
    auto* list = dynamic_cast<ArrayObject*>(vm.getMember(a.thisValue, key).asObject());
    if (!list) {
        // The list is made as `new Array()` would make it, kept for movies of
        // version 6 and later, and read back: a version 5 movie does not see
        // it, so nothing is added there.
        const Value made = vm.construct(vm.getMember(Value(vm.global()), QStringLiteral("Array")), {});
        self->define(key, made, DontEnum | DontDelete);
        self->findOwn(key)->minVersion = 6;
        list = dynamic_cast<ArrayObject*>(vm.getMember(a.thisValue, key).asObject());
        if (!list)
            return Value();
    }
    // Either a name and a value, or one array of name, value, name, value ...
    if (auto* pairs = dynamic_cast<ArrayObject*>(a.arg(0).asObject()); pairs && a.args.size() == 1) {
        for (size_t i = 0; i + 1 < pairs->elements.size() && list->elements.size() < ArrayObject::MaxLength; i += 2) {
            list->elements.push_back(pairs->elements[i]);
            list->elements.push_back(pairs->elements[i + 1]);
        }
    } else if (a.args.size() >= 2 && list->elements.size() < ArrayObject::MaxLength) {
        list->elements.push_back(a.arg(0));
        list->elements.push_back(a.arg(1));
    }
    return Value();
}

static Value loadingGetBytesLoaded(Interpreter& vm, CallArgs& a)
{
    return vm.getMember(a.thisValue, QStringLiteral("_bytesLoaded"));
}

static Value loadingGetBytesTotal(Interpreter& vm, CallArgs& a)
{
    return vm.getMember(a.thisValue, QStringLiteral("_bytesTotal"));
}

void defineScriptLikeMethod(Interpreter& vm, Object* proto, const char* name, NativeMethodFunction fn, uint8_t flags)
{
    Object* own = vm.newObject();
    auto* f = vm.newConstructor(QString::fromLatin1(name), fn, own);
    proto->define(QString::fromLatin1(name), Value(static_cast<Object*>(f)), flags);
}

void installLoadingMethods(Interpreter& vm, Object* proto, NativeMethodFunction onData, uint8_t flags)
{
    // These were script functions in the player, so each has a prototype of its own.
    const auto withPrototype = [&vm, proto, flags](const char* name, NativeMethodFunction fn) {
        defineScriptLikeMethod(vm, proto, name, fn, flags);
    };
    withPrototype("addRequestHeader", loadingAddRequestHeader);
    withPrototype("getBytesLoaded", loadingGetBytesLoaded);
    withPrototype("getBytesTotal", loadingGetBytesTotal);
    withPrototype("onData", onData);
    withPrototype("onLoad", Builtins::nothing);
}

} // namespace swf::avm1
