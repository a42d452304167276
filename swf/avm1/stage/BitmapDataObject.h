#pragma once

// flash.display.BitmapData as scripts see it: an object over shared pixels
// (swf::BitmapPixels) that fills drawn with beginBitmapFill keep reading.

#include "swf/runtime/Drawing.h"
#include "swf/avm1/vm/Object.h"

namespace swf::avm1 {

class BitmapDataObject : public Object {
public:
    // The largest side a script bitmap may have, as in movies of version 8.
    static constexpr int MaxSide = 2880;

    BitmapDataObject(Object* proto, bool caseSensitive, std::shared_ptr<BitmapPixels> pixels)
        : Object(Kind::Plain, proto, caseSensitive), m_pixels(std::move(pixels)) { }

    const std::shared_ptr<BitmapPixels>& pixels() const { return m_pixels; }
    bool usable() const { return m_pixels && !m_pixels->disposed && !m_pixels->image.isNull(); }

    bool getVirtual(Interpreter&, const QString& name, Value& out) override;
    bool hasVirtual(Interpreter&, const QString& name) override;
    // The pixels count against the scripts' memory budget.
    size_t heldBytes(const std::function<void(const Value&)>& value) const override;

    // Pixels of a new bitmap of `width` x `height` filled with `argb`
    // (unpremultiplied; alpha forced opaque unless `transparent`); null when
    // a side is outside 1..MaxSide.
    static std::shared_ptr<BitmapPixels> makePixels(int width, int height, bool transparent, uint32_t argb);
    // The unpremultiplied ARGB at (x, y), 0 outside the bitmap.
    static uint32_t pixel32(const BitmapPixels& pixels, int x, int y);
    static void setPixel32(BitmapPixels& pixels, int x, int y, uint32_t argb);

private:
    std::shared_ptr<BitmapPixels> m_pixels;
};

} // namespace swf::avm1
