// flash.net.SharedObject: a movie's saved data, one object per name and
// path, handed out again by every getLocal that names it. getLocal reads the
// save from disk (the .sol layout other players use, kept where the first
// machine keeps its saves), flush writes it in the object's encoding (AMF3
// unless the movie asks for AMF0), and so does the end of the movie.

#include "swf/archive/SaveStore.h"
#include "swf/avm2/builtins/AmfCodec.h"
#include "swf/avm2/builtins/ByteArrayClass.h"
#include "swf/avm2/vm/Machine.h"

#include <QFile>
#include <QFileInfo>

#include <exception>
#include <optional>

namespace swf::avm2 {

namespace {

Value arg(Args args, std::size_t i) { return i < args.size() ? args[i] : Value::undefined(); }

struct SharedHost {
    QString name;
    Object* data = nullptr;
    std::uint32_t objectEncoding = 3;
    QString file; // where it is saved; empty: for this run only
};

// The shared objects handed out, by file (or by name when they have none),
// and where saves live; kept on the class.
struct Store {
    QHash<QString, Object*> objects;
    std::vector<Object*> order; // as handed out, for writing at the end
    bool onDisk = false;        // a machine with no host keeps its saves for the run only
    QString folder;             // empty: the user's data folder
    QString movieName;          // the folder a save without a path is kept in
};

Store* storeOf(Machine& m)
{
    ClassObject* cls = m.findClass(QStringLiteral("flash.net.SharedObject"));
    return cls && cls->host ? static_cast<Store*>(cls->host.get()) : nullptr;
}

SharedHost& thisShared(Machine& m, const Value& self)
{
    Object* o = self.object();
    ClassObject* cls = o ? m.findClass(QStringLiteral("flash.net.SharedObject")) : nullptr;
    if (!o || !o->host || !cls || !o->classObject()->isSubclassOf(cls))
        m.throwError(ErrorClass::TypeError, 1009, QStringLiteral("Cannot access a property or method of a null object reference."));
    return *static_cast<SharedHost*>(o->host.get());
}

// Names and paths may not hold the characters a file name on some systems cannot.
bool validName(const QString& name)
{
    if (name.isEmpty())
        return false;
    for (QChar c : name) {
        if (c.unicode() < 0x20 || QStringLiteral("~%&\\;:\"',<>?# ").contains(c))
            return false;
    }
    return !name.contains(QLatin1String("//"));
}

[[noreturn]] void refuse(Machine& m)
{
    m.throwErrorThrough(QStringLiteral("flash.net::SharedObject$/getLocal"), ErrorClass::Error, 2134,
        QStringLiteral("Cannot create SharedObject."));
}

void clearData(SharedHost& so)
{
    std::vector<QString> names;
    for (const auto& [key, v] : so.data->dynamicProperties())
        names.push_back(key);
    for (const QString& key : names)
        so.data->dynamicDelete(key);
}

// The save as the bytes of a whole file; its name is the last part of the object's name.
QByteArray encodeSave(Machine& m, const SharedHost& so)
{
    const QByteArray members = writeSaveMembers(m, so.data, so.objectEncoding);
    return archive::SolFile::frame(so.name.section(QLatin1Char('/'), -1), so.objectEncoding != 0, members);
}

// Reads the save at `so.file` into its data. A file that does not read is
// set aside (renamed, never deleted) and the movie starts with nothing.
void readSave(Machine& m, SharedHost& so)
{
    archive::SaveRead save = archive::readSaveFile(so.file);
    if (save.state == archive::SaveRead::State::SetAside) {
        m.reportFault(QStringLiteral("save %1 does not read (%2); kept as %3").arg(so.file, save.why, save.aside));
        return;
    }
    if (save.state != archive::SaveRead::State::Read)
        return;
    // The file read whole already; what is read back keeps its encoding. A
    // value this machine cannot make again (a class constructor that throws)
    // sets the file aside too, before a flush could write the part read over it.
    so.objectEncoding = save.file.amf3 ? 3 : 0;
    try {
        readSaveMembers(m, save.bytes.mid(save.file.membersOffset), save.file.amf3, so.data);
    } catch (const Thrown&) {
        const QString aside = archive::setSaveAside(so.file);
        m.reportFault(QStringLiteral("save %1 does not read here; kept as %2").arg(so.file, aside));
        clearData(so);
    }
}

} // namespace

void installSharedObjectClass(Machine& m)
{
    ClassObject* cls = m.defineClass(QStringLiteral("flash.net"), QStringLiteral("SharedObject"), m.builtins().eventDispatcher,
        InstanceKind::Plain, [](Machine& m, const Value& self, Args) {
            if (Object* o = self.object(); o && !o->host) {
                auto host = std::make_shared<SharedHost>();
                host->data = m.newObject();
                o->host = host;
            }
            return Value::undefined();
        });
    cls->sealed = true;
    cls->host = std::make_shared<Store>();

    // getLocal(name, localPath): the same object each time for the same name and path.
    m.addStatic(cls, QStringLiteral("getLocal"), [cls](Machine& m, const Value&, Args args) {
        const QString name = m.toString(arg(args, 0));
        const Value pathArg = arg(args, 1);
        const QString path = pathArg.isNullish() ? QString() : m.toString(pathArg);
        if (arg(args, 0).isNullish() || !validName(name) || (!path.isEmpty() && !validName(path)))
            refuse(m);
        Store& store = *static_cast<Store*>(cls->host.get());
        std::optional<QString> file = archive::saveFilePath(store.folder, store.movieName, name,
            pathArg.isNullish() ? std::nullopt : std::optional<QString>(path));
        if (!file)
            refuse(m);
        if (!store.onDisk)
            file->clear();
        // One object per file; without a file, one per path and name.
        const QString key = file->isEmpty() ? path + QLatin1Char('\n') + name : *file;
        if (Object* known = store.objects.value(key))
            return Value::object(known);
        Object* so = m.constructClass(cls, {}).object();
        SharedHost& host = *static_cast<SharedHost*>(so->host.get());
        host.name = name;
        host.file = *file;
        store.objects.insert(key, so);
        store.order.push_back(so);
        readSave(m, host);
        return Value::object(so);
    }, 3);
    m.addStatic(cls, QStringLiteral("getRemote"), [](Machine& m, const Value&, Args) -> Value {
        m.throwErrorThrough(QStringLiteral("flash.net::SharedObject$/getRemote"), ErrorClass::Error, 2134,
            QStringLiteral("Cannot create SharedObject."));
    }, 4);
    m.addStaticConst(cls, QStringLiteral("defaultObjectEncoding"), Value::number(3));

    m.addGetter(cls, QStringLiteral("data"), [](Machine& m, const Value& self, Args) { return Value::object(thisShared(m, self).data); });
    m.addGetter(cls, QStringLiteral("objectEncoding"),
        [](Machine& m, const Value& self, Args) { return Value::number(thisShared(m, self).objectEncoding); },
        [](Machine& m, const Value& self, Args args) {
            const std::uint32_t encoding = toUint32(m.toNumber(arg(args, 0)));
            if (encoding != 0 && encoding != 3)
                m.throwError(ErrorClass::ArgumentError, 2008, QStringLiteral("Parameter objectEncoding must be one of the accepted values."));
            thisShared(m, self).objectEncoding = encoding;
            return Value::undefined();
        });
    // The bytes the data takes once encoded; nothing saved is 0.
    m.addGetter(cls, QStringLiteral("size"), [](Machine& m, const Value& self, Args) {
        SharedHost& so = thisShared(m, self);
        if (so.data->dynamicProperties().empty())
            return Value::number(0);
        Object* bytes = newByteArray(m, {});
        byteArrayOf(bytes)->objectEncoding = so.objectEncoding;
        m.callProperty(Value::object(bytes), Name::publicName(QStringLiteral("writeObject")), std::vector<Value> { Value::object(so.data) });
        return Value::number(double(byteArrayOf(bytes)->data.size()));
    });
    // flush(minDiskSpace): "flushed" once written. A save, or the room the
    // movie asks for, beyond what a movie may keep without asking is
    // "pending": nobody is there to allow more, the data stays in the
    // object and the file keeps its last good contents. A write that fails
    // throws, as the player does when the disk refuses.
    m.addMethod(cls, QStringLiteral("flush"), [](Machine& m, const Value& self, Args args) {
        SharedHost& so = thisShared(m, self);
        const double wanted = m.toNumber(arg(args, 0));
        const QByteArray bytes = encodeSave(m, so);
        if (bytes.size() > archive::MaxSaveBytes || wanted > double(archive::MaxSaveBytes))
            return Value::string(QStringLiteral("pending"));
        if (!archive::writeSaveFile(so.file, bytes))
            m.throwErrorThrough(QStringLiteral("flash.net::SharedObject/flush"), ErrorClass::Error, 2130,
                QStringLiteral("Unable to flush SharedObject."));
        return Value::string(QStringLiteral("flushed"));
    }, 1);
    // clear(): the data goes, and the save on disk with it.
    m.addMethod(cls, QStringLiteral("clear"), [](Machine& m, const Value& self, Args) {
        SharedHost& so = thisShared(m, self);
        clearData(so);
        if (!so.file.isEmpty())
            QFile::remove(so.file);
        return Value::undefined();
    });
    m.addMethod(cls, QStringLiteral("close"), [](Machine& m, const Value& self, Args) {
        thisShared(m, self);
        return Value::undefined();
    });
    m.addMethod(cls, QStringLiteral("setProperty"), [](Machine& m, const Value& self, Args args) {
        SharedHost& so = thisShared(m, self);
        const QString key = m.toString(arg(args, 0));
        if (arg(args, 1).isNullish())
            so.data->dynamicDelete(key);
        else
            so.data->dynamicSet(key, arg(args, 1));
        return Value::undefined();
    }, 2);
    m.addMethod(cls, QStringLiteral("setDirty"), [](Machine& m, const Value& self, Args) {
        thisShared(m, self);
        return Value::undefined();
    }, 1);
}

void setSaveFolder(Machine& m, const QString& folder, const QString& movieName)
{
    if (Store* store = storeOf(m)) {
        store->onDisk = true;
        store->folder = folder;
        store->movieName = movieName;
    }
}

void flushSharedObjects(Machine& m)
{
    Store* store = storeOf(m);
    if (!store)
        return;
    for (Object* o : store->order) {
        auto* so = static_cast<SharedHost*>(o->host.get());
        if (!so || so->file.isEmpty())
            continue;
        // A save that was never written and holds nothing needs no file.
        if (so->data->dynamicProperties().empty() && !QFileInfo::exists(so->file))
            continue;
        // Encoding may run a script (a getter, an XML value); a fault there
        // loses that save only and never escapes the movie's end.
        // Running out of memory there loses that save too: this runs as the
        // movie is closed, where nothing may be thrown.
        try {
            m.guard([&] {
                const QByteArray bytes = encodeSave(m, *so);
                if (bytes.size() <= archive::MaxSaveBytes)
                    archive::writeSaveFile(so->file, bytes);
            });
        } catch (const std::exception&) {
        }
    }
}

} // namespace swf::avm2
