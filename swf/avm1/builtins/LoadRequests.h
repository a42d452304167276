#pragma once

// Text that scripts load from files beside the movie (XML.load,
// LoadVars.load, loadVariables): each request is answered on a later frame,
// as a download would be, by calling the target's onData with the text (or
// with undefined when the file cannot be had). The host owns one LoadQueue
// and pumps it once a frame; it holds its targets as roots of the collector.

#include "swf/archive/Loader.h"
#include "swf/avm1/vm/Object.h"

#include <QString>

#include <functional>
#include <vector>

namespace swf::avm1 {

class Interpreter;

class LoadQueue {
public:
    archive::Loader& loader() { return m_loader; }
    // The folder of the movie the scripts belong to; relative addresses start there.
    void setBaseFolder(const QString& folder) { m_baseFolder = folder; }
    const QString& baseFolder() const { return m_baseFolder; }
    // The folder of the movie asking now (a movie loaded from a subfolder
    // asks from there); empty or unset: the base folder. Each request keeps
    // the folder it was made from.
    void setAskingFolder(std::function<QString()> folder) { m_askingFolder = std::move(folder); }
    QString askingFolder() const
    {
        const QString folder = m_askingFolder ? m_askingFolder() : QString();
        return folder.isEmpty() ? m_baseFolder : folder;
    }

    enum class Delivery {
        OnData,    // target.onData(text): XML, LoadVars
        Variables, // the decoded pairs set on the target clip (loadVariables)
        FlushDeclined, // target.onStatus({code: "SharedObject.Flush.Failed"}): more room was not given
    };
    void request(Object* target, const QString& url, Delivery delivery = Delivery::OnData);
    // Any other request: `done` hears the file's bytes, or why there are
    // none, when the request is answered. `keep` are held for the collector
    // until then.
    using Done = std::function<void(Interpreter&, const Result<QByteArray>&)>;
    void request(const QString& url, Done done, std::vector<Object*> keep = {});
    // Something to do on the next answering, with no file (a movie's unload,
    // MovieClipLoader's onLoadInit after the loaded movie's first frame).
    void later(std::function<void(Interpreter&)> work, std::vector<Object*> keep = {});
    // Answers the requests made before this call; those made while answering
    // wait for the next. With `holdOne` set, a request is answered by the
    // second pump after it was made (movies arrive a frame later than text).
    void pump(Interpreter& vm);
    void setHoldOne(bool hold) { m_holdOne = hold; }
    bool idle() const { return m_pending.empty(); }
    void addRoots(std::vector<Object*>& roots) const;

    // Saved games (SharedObjectClass.cpp): the folder they live under and the
    // movie's file name, which names the save's folder when the movie gives no path.
    void setSaveFolder(const QString& folder, const QString& movieName)
    {
        m_saveFolder = folder;
        m_movieName = movieName;
    }
    const QString& saveFolder() const { return m_saveFolder; }
    const QString& movieName() const { return m_movieName; }
    // The shared objects this movie opened, by file, written again at the end.
    struct Save {
        Object* object;
        QString file;
    };
    std::vector<Save>& saves() { return m_saves; }

private:
    struct Pending {
        Object* target;
        QString url;
        Delivery delivery;
        Done done;
        std::function<void(Interpreter&)> work;
        std::vector<Object*> keep;
        quint64 round = 0; // the pump count when it was made
        QString folder;    // the folder of the movie that asked
    };
    archive::Loader m_loader;
    QString m_baseFolder;
    std::function<QString()> m_askingFolder;
    bool m_holdOne = false;
    quint64 m_round = 0;
    std::vector<Pending> m_pending;
    QString m_saveFolder;
    QString m_movieName;
    std::vector<Save> m_saves;
};

// The queue the host attached to an interpreter (null: requests fail). The
// host keeps the queue alive while the interpreter lives and detaches it
// (null) before it goes.
void attachLoadQueue(Interpreter& vm, LoadQueue* queue);
LoadQueue* loadQueueOf(Interpreter& vm);
// The queue movie requests (loadMovie, MovieClipLoader) wait in; the host
// pumps it after each stage tick, before the frame's scripts.
void attachMovieQueue(Interpreter& vm, LoadQueue* queue);
LoadQueue* movieQueueOf(Interpreter& vm);
// The targets of pending requests of both queues, for the collector's roots.
void addLoadRoots(Interpreter& vm, std::vector<Object*>& roots);

// The installers of the loading classes (XmlClass.cpp, LoadVarsClass.cpp).
void installXml(Interpreter& vm);
void installLoadVars(Interpreter& vm);
void installSharedObject(Interpreter& vm);
// Writes every shared object the movie opened (the movie is ending).
void flushSharedObjects(Interpreter& vm);

// Queues a text load for `target` through the host's queue; false when there
// is no queue or no address. Sets the target's loaded/_bytesLoaded/_bytesTotal
// as a fresh download does.
bool requestText(Interpreter& vm, Object* target, const QString& url);
// Downloaded bytes as text: a byte-order mark picks UTF-8 or UTF-16, else
// UTF-8, or the movie's code page when System.useCodepage is true.
QString decodeLoadedText(Interpreter& vm, const QByteArray& bytes);
// Whether loaded text and its escapes are read in the movie's code page
// (System.useCodepage, always for version 5 and earlier) rather than UTF-8.
bool textInCodePage(Interpreter& vm);
// "a=1&b=two" pairs as the player reads them: + is a space, %XX escapes
// are bytes in UTF-8, or in the movie's code page with `codePage`.
std::vector<std::pair<QString, QString>> decodeVariables(const QString& text, bool codePage = false);
// Defines what XML and LoadVars share on their prototype: addRequestHeader,
// getBytesLoaded, getBytesTotal, the default onData and an empty onLoad.
// `flags` are those of the methods on the prototype: a class built by script
// left them enumerable, another hid and fixed them.
void installLoadingMethods(Interpreter& vm, Object* proto, NativeMethodFunction onData, uint8_t flags);
// A method that was a script function in the player: it has a prototype of
// its own.
void defineScriptLikeMethod(Interpreter& vm, Object* proto, const char* name, NativeMethodFunction fn, uint8_t flags);

} // namespace swf::avm1
