#pragma once

// One entry of a display list: a placed character with its depth, matrix,
// colour transform and the rest of what PlaceObject sets. Sprites are
// SpriteInstance, which owns a display list of its own.

#include "swf/format/Control.h"
#include "swf/movie/Character.h"

#include <QRectF>
#include <QString>

#include <optional>

#include <vector>

namespace swf {

class Movie;
class SpriteInstance;
class Stage;

class DisplayObject {
public:
    DisplayObject(Stage& stage, SpriteInstance* parent, const Character* character, std::uint16_t characterId, int depth);
    virtual ~DisplayObject();
    DisplayObject(const DisplayObject&) = delete;
    DisplayObject& operator=(const DisplayObject&) = delete;

    virtual SpriteInstance* asSprite() { return nullptr; }
    virtual const SpriteInstance* asSprite() const { return nullptr; }

    Stage& stage() const { return m_stage; }
    SpriteInstance* parent() const { return m_parent; }
    // Only SpriteInstance::adoptChild and detachChild move an instance between lists.
    void setParent(SpriteInstance* parent) { m_parent = parent; }
    // The movie whose characters this instance is made of: the nearest movie
    // loaded into an enclosing sprite (or a level), else the stage's.
    const Movie& movie() const;
    const Character* character() const { return m_character; }
    std::uint16_t characterId() const { return m_characterId; }
    int depth() const { return m_depth; }
    // Only the parent's display list moves an instance (swapDepths).
    void setDepth(int depth) { m_depth = depth; }

    const QString& name() const { return m_name; }
    // Tells the parent's name index too.
    void setName(const QString& name);
    const Matrix& matrix() const { return m_matrix; }
    void setMatrix(const Matrix& m) { m_matrix = m; }
    const ColorTransform& colorTransform() const { return m_colorTransform; }
    void setColorTransform(const ColorTransform& cx) { m_colorTransform = cx; }
    int ratio() const { return m_ratio; }
    void setRatio(int ratio) { m_ratio = ratio; }
    int clipDepth() const { return m_clipDepth; }
    void setClipDepth(int clipDepth) { m_clipDepth = clipDepth; }
    bool isVisible() const { return m_visible; }
    void setVisible(bool visible) { m_visible = visible; }
    int blendMode() const { return m_blendMode; }
    void setBlendMode(int mode) { m_blendMode = mode; }
    // A colour filling the box of what the object draws, beneath it.
    const std::optional<Rgba>& opaqueBackground() const { return m_opaqueBackground; }
    const std::vector<Filter>& filters() const { return m_filters; }
    void setFilters(std::vector<Filter> filters) { m_filters = std::move(filters); }
    const std::vector<ClipAction>& clipActions() const { return m_clipActions; }
    void setClipActions(const std::vector<ClipAction>& actions) { m_clipActions = actions; }

    // The frame of the parent in which this instance was placed; a backward
    // goto keeps an instance only when the target frame places the same one.
    int placedFrame() const { return m_placedFrame; }
    void setPlacedFrame(int frame) { m_placedFrame = frame; }
    // The stage tick in which the instance was created; it does not advance in that tick.
    quint64 bornTick() const { return m_bornTick; }
    // Made, duplicated or moved by a script: the timeline's own tags leave it alone.
    bool isScriptOwned() const { return m_placedFrame == 0; }

    // A mask set by a script (setMask): `mask` hides every part of this
    // object outside its shape and is not drawn itself. Either side leaving
    // the stage ends the pairing. Both lose any clip-depth role they had.
    // A window on the content set by a script (scrollRect), in the object's own
    // twips: only that rectangle shows, with its corner at the object's origin.
    const std::optional<QRectF>& scrollRect() const { return m_scrollRect; }
    void setScrollRect(const std::optional<QRectF>& rect) { m_scrollRect = rect; }

    DisplayObject* scriptMask() const { return m_scriptMask; }
    DisplayObject* maskedObject() const { return m_maskedObject; }
    void setScriptMask(DisplayObject* mask);

    // Applies the fields a PlaceObject carries (not the character or depth).
    void applyPlacement(const PlaceObject& place);

    // The object a script runner keeps for this instance, tagged with that
    // runner's serial, so that the runner finds it on every event of every
    // clip without a table lookup. Only the runner of that serial reads it,
    // as its own type; it is the runner's bookkeeping, not the instance's.
    void* scriptPeer(std::uint64_t runner) const { return m_peerRunner == runner ? m_scriptPeer : nullptr; }
    // Whatever peer was set last, by any runner: only for fetching it into
    // the cache ahead of a walk over many clips, never to be read.
    const void* lastScriptPeer() const { return m_scriptPeer; }
    void setScriptPeer(std::uint64_t runner, void* peer) const
    {
        m_peerRunner = runner;
        m_scriptPeer = peer;
    }

private:
    Stage& m_stage;
    SpriteInstance* m_parent;
    const Character* m_character;
    std::uint16_t m_characterId;
    int m_depth;
    QString m_name;
    Matrix m_matrix;
    ColorTransform m_colorTransform;
    int m_ratio = 0;
    int m_clipDepth = 0;
    bool m_visible = true;
    int m_blendMode = 0;
    std::optional<Rgba> m_opaqueBackground;
    std::vector<Filter> m_filters;
    std::vector<ClipAction> m_clipActions;
    int m_placedFrame = 0;
    quint64 m_bornTick = 0;
    DisplayObject* m_scriptMask = nullptr;
    DisplayObject* m_maskedObject = nullptr;
    std::optional<QRectF> m_scrollRect;
    mutable std::uint64_t m_peerRunner = 0;
    mutable void* m_scriptPeer = nullptr;
};

} // namespace swf
