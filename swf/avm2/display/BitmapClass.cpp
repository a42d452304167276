// flash.display.Bitmap: a display object showing a BitmapData. On the stage
// it is an empty timeline whose drawing is one rectangle filled with the
// shared pixels, so it renders and measures like any drawn clip. The size
// is taken when the bitmap data is set: disposing the data later leaves the
// rectangle as it was, as the player does.

#include "swf/avm2/display/BitmapScripts.h"

#include "swf/movie/Shapes.h"
#include "swf/runtime/SpriteInstance.h"

namespace swf::avm2 {

namespace {

Value arg(Args args, std::size_t i) { return i < args.size() ? args[i] : Value::undefined(); }

const QString DataKey = QStringLiteral(" bitmapDataObject");
const QString SmoothKey = QStringLiteral(" smoothing");
const QString SnapKey = QStringLiteral(" pixelSnapping");

// Redraws the rectangle of a Bitmap's display object from its data.
void redraw(Object* bitmap)
{
    SpriteInstance* sprite = bitmap && bitmap->display ? bitmap->display->asSprite() : nullptr;
    if (!sprite)
        return;
    auto drawing = std::make_shared<Drawing>();
    const Value data = hiddenGet(bitmap, DataKey, Value::null());
    auto pixels = pixelsOf(data.object());
    if (pixels && !pixels->disposed && !pixels->image.isNull()) {
        DrawingFill fill;
        fill.style.type = FillStyle::Type::Bitmap;
        fill.style.matrix = Matrix { 20, 0, 0, 20, 0, 0 }; // one bitmap pixel is 20 twips
        fill.style.repeat = false;
        fill.style.smooth = primitiveToBoolean(hiddenGet(bitmap, SmoothKey, Value::boolean(false)));
        fill.bitmap = pixels;
        const double w = pixels->image.width() * 20.0, h = pixels->image.height() * 20.0;
        drawing->beginFill(fill);
        drawing->moveTo(QPointF(0, 0));
        drawing->lineTo(QPointF(w, 0));
        drawing->lineTo(QPointF(w, h));
        drawing->lineTo(QPointF(0, h));
        drawing->lineTo(QPointF(0, 0));
        drawing->endFill();
    }
    sprite->setDrawing(std::move(drawing));
}

} // namespace

void StageScripts::installBitmapClass()
{
    Machine& m = *m_machine;
    auto setData = [this](Machine& m, Object* bitmap, const Value& data) {
        if (!data.isNullish() && !m.isType(data, m_bitmapDataClass))
            m.throwError(ErrorClass::TypeError, 1034,
                QStringLiteral("Type Coercion failed: cannot convert %1 to flash.display.BitmapData.").arg(m.toString(data)));
        hiddenSet(bitmap, DataKey, data.isNullish() ? Value::null() : data);
        redraw(bitmap);
    };
    m_bitmapClass = m.defineClass(QStringLiteral("flash.display"), QStringLiteral("Bitmap"), m.builtins().displayObject,
        InstanceKind::Display, [this, setData](Machine& m, const Value& self, Args args) {
            Object* o = self.object();
            if (!o)
                return Value::undefined();
            ensureDisplay(o);
            if (args.size() > 1 && !args[1].isNullish())
                hiddenSet(o, SnapKey, Value::string(m.toString(args[1])));
            if (args.size() > 2)
                hiddenSet(o, SmoothKey, Value::boolean(m.toBoolean(args[2])));
            Value data = arg(args, 0);
            // A class bound to a bitmap of the movie shows that bitmap.
            if (data.isNullish() && boundBitmap(o->classObject())) {
                data = m.constructClass(m_bitmapDataClass, std::array { Value::number(1), Value::number(1) });
                pixelsOf(data.object())->image = boundBitmap(o->classObject())->image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
            }
            setData(m, o, data);
            return Value::undefined();
        });
    m_bitmapClass->sealed = true;
    m_nativeDisplayClasses.insert(m_bitmapClass);
    m.addGetter(m_bitmapClass, QStringLiteral("bitmapData"),
        [](Machine&, const Value& self, Args) { return hiddenGet(self.object(), DataKey, Value::null()); },
        [setData](Machine& m, const Value& self, Args args) {
            if (Object* o = self.object())
                setData(m, o, arg(args, 0));
            return Value::undefined();
        });
    m.addGetter(m_bitmapClass, QStringLiteral("smoothing"),
        [](Machine&, const Value& self, Args) { return hiddenGet(self.object(), SmoothKey, Value::boolean(false)); },
        [](Machine& m, const Value& self, Args args) {
            if (Object* o = self.object()) {
                hiddenSet(o, SmoothKey, Value::boolean(m.toBoolean(arg(args, 0))));
                redraw(o);
            }
            return Value::undefined();
        });
    m.addGetter(m_bitmapClass, QStringLiteral("pixelSnapping"),
        [](Machine&, const Value& self, Args) { return hiddenGet(self.object(), SnapKey, Value::string(QStringLiteral("auto"))); },
        [](Machine& m, const Value& self, Args args) {
            if (Object* o = self.object())
                hiddenSet(o, SnapKey, Value::string(m.toString(arg(args, 0))));
            return Value::undefined();
        });
}

} // namespace swf::avm2
