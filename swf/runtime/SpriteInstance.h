#pragma once

// A timeline at play: the root movie or a placed sprite. It owns its display
// list (ordered by depth) and moves through its frames, applying each frame's
// control tags and handing scripts and sounds on.

#include "swf/runtime/ChildNameIndex.h"
#include "swf/runtime/DisplayObject.h"

#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace swf {

class Drawing;

class SpriteInstance : public DisplayObject {
public:
    SpriteInstance(Stage& stage, SpriteInstance* parent, const Character* character, std::uint16_t characterId, int depth,
        const TimelineDef& timeline, int nesting);
    ~SpriteInstance() override;

    SpriteInstance* asSprite() override { return this; }
    const SpriteInstance* asSprite() const override { return this; }

    const TimelineDef& timeline() const { return *m_timeline; }
    // A text field made by a script (defined with the edit texts), replacing
    // whatever sat at `depth`; null when the stage is full.
    class EditTextInstance* createTextChild(std::shared_ptr<const struct EditTextDef> definition, const QString& name, int depth);
    // A script bitmap shown at `depth` (attachBitmap), replacing whatever sat
    // there; null when the stage is full.
    class ScriptBitmapInstance* attachBitmapChild(std::shared_ptr<const struct BitmapPixels> pixels, bool smoothing, int depth);
    int frameCount() const { return m_timeline->frameCount(); }
    int currentFrame() const { return m_currentFrame; }
    int nesting() const { return m_nesting; }
    bool isPlaying() const { return m_playing; }
    void play() { m_playing = true; }
    void stop() { m_playing = false; }

    // Shows `frame` (clamped to 1..frameCount): forward by stepping through the
    // frames between, backward by rebuilding the list the target frame describes.
    // The target frame's scripts and sounds run; those of the frames passed over do not.
    void gotoFrame(int frame, bool andPlay);
    bool gotoLabel(const QString& label, bool andPlay);
    void nextFrame(); // one step forward, looping from the last frame to the first
    void prevFrame(); // one step back, stopping (as scripts expect)

    using DisplayList = std::map<int, std::unique_ptr<DisplayObject>>;
    const DisplayList& displayList() const { return m_displayList; }
    DisplayObject* childAt(int depth) const;
    // The child of lowest depth with that name, through an index (ChildNameIndex).
    DisplayObject* childByName(const QString& name, Qt::CaseSensitivity cs = Qt::CaseInsensitive) const;
    // A child was inserted, renamed or moved: the name index learns of it.
    void childNamed(const DisplayObject& child) { m_names.note(child, m_displayList); }
    void removeChild(int depth);
    // Up to version 5 a placement on an occupied depth keeps both objects:
    // the new one stays at that depth under the one already there (the
    // newest lowest). Those beneath are drawn only; they leave with the
    // depth's occupant and when the timeline goes back.
    const std::vector<std::unique_ptr<DisplayObject>>& coveredChildren() const { return m_covered; }

    // Depth 0 of scripts is this depth of the display list; the timeline's
    // own depths lie below it.
    static constexpr int ScriptDepthOffset = 16384;

    // Instances made by scripts (SpriteInstanceDynamic.cpp), at display-list
    // depths. Each replaces whatever sat at `depth` and returns null when
    // nothing could be made (not a sprite, too deep, too many instances).
    SpriteInstance* attachSprite(std::uint16_t characterId, const QString& name, int depth);
    SpriteInstance* createEmptyChild(const QString& name, int depth);
    // A copy of `source`, a child of this sprite: same character, matrix,
    // colour transform and clip actions; its timeline starts at frame 1.
    DisplayObject* duplicateChild(const DisplayObject& source, const QString& name, int depth);
    // Moves the child at `from` to `to`, trading places with any child there.
    // Both then belong to scripts: the timeline no longer moves or removes them.
    bool swapChildDepths(int from, int to);

    // The display-list moves of ActionScript 3, where an instance outlives its
    // place in a list: detachChild takes the child at `depth` out whole (no
    // unload, nothing forgotten) and hands it over; adoptChild puts such an
    // instance in at `depth` (which must be free) as it stands.
    std::unique_ptr<DisplayObject> detachChild(int depth);
    void adoptChild(std::unique_ptr<DisplayObject> child, int depth);
    // Builds frame 1; called once, right after the instance is created.
    void enterFirstFrame();
    // One tick of the movie clock: advance if playing, then tick the children
    // that existed before this tick.
    void tick();

    // Tells the sound and script sides that `object` and everything inside
    // it (a sprite's children, a button's parts) is about to be destroyed.
    // Unload events for the object and everything in it, then forgets it.
    void notifyRemoved(DisplayObject& object);
    // Only the unload events (and the end of its sounds).
    void notifyUnload(DisplayObject& object);

    // A movie loaded into this sprite (SpriteInstanceLoading.cpp): its
    // children, drawing and frames give way to the movie's root timeline,
    // while the sprite keeps its name, depth, matrix and colour transform.
    // Everything inside then takes its characters from that movie. A null
    // movie unloads: the sprite is left with one empty frame.
    void replaceContent(std::shared_ptr<const Movie> movie);
    // The movie loaded into this sprite itself, or null.
    const std::shared_ptr<const Movie>& loadedMovie() const { return m_loadedMovie; }
    // How many movies loaded into sprites enclose this one, itself included.
    int loadedMovieNesting() const;

    // What scripts drew into this clip (below its children); null until a script draws.
    Drawing* drawing() const { return m_drawing.get(); }
    void setDrawing(std::shared_ptr<Drawing> drawing) { m_drawing = std::move(drawing); }

private:
    struct PlacementState {
        std::uint16_t characterId = 0;
        int placedFrame = 0;
        const PlaceObject* place = nullptr; // the tag that placed it
        // With what later tags moved, once one did; held apart so that a
        // rewind over thousands of depths handles small entries.
        std::unique_ptr<PlaceObject> merged;
        const PlaceObject& fields() const { return merged ? *merged : *place; }
    };

    void runFrame(int frame, bool withEffects);
    void runEffects(int frame);
    void applyPlace(const PlaceObject& place, int frame);
    void rewindTo(int frame);
    std::unique_ptr<DisplayObject> createInstance(std::uint16_t characterId, int depth, int frame);
    void insertChild(std::unique_ptr<DisplayObject> child, const PlaceObject* place);

    const TimelineDef* m_timeline;
    std::shared_ptr<const Movie> m_loadedMovie;
    int m_nesting;
    int m_currentFrame = 0;
    bool m_playing = true;
    DisplayList m_displayList;
    // Counts insertions into and removals from the list, so that a walk over
    // a copy of it can tell whether its entries may have gone.
    std::uint64_t m_listEdits = 0;
    // The child childAt found last, good while m_listEdits equals m_hintEdits.
    mutable DisplayList::const_iterator m_hint;
    mutable std::uint64_t m_hintEdits = ~std::uint64_t(0);
    mutable ChildNameIndex m_names;
    std::shared_ptr<Drawing> m_drawing;
    // For a long list, its children in ticking order (the newest first, then
    // from the top depth down), kept while m_listEdits equals `edits`: a
    // walk of the list's tree costs a cache miss per node, and a timeline
    // holding a hundred thousand clips is walked at every tick and rewind.
    struct TickEntry {
        int depth;
        quint64 born;
        DisplayObject* object;
    };
    struct TickOrder {
        std::vector<TickEntry> entries;
        std::uint64_t edits = ~std::uint64_t(0);
    };
    std::unique_ptr<TickOrder> m_tickOrder;
    // The ticking order of the current list (made again when it changed),
    // moved out of m_tickOrder: a walk hands it back with keepTickOrder.
    std::vector<TickEntry> takeTickOrder();
    void keepTickOrder(std::vector<TickEntry> entries, std::uint64_t edits);
    // A movie placing onto occupied depths over and over keeps at most this many beneath.
    static constexpr std::size_t MaxCovered = 256;
    std::vector<std::unique_ptr<DisplayObject>> m_covered; // in the order placed
};

} // namespace swf
