#pragma once

// The painter's raster engine hands every fill of more than about a hundred
// spans to the global thread pool in pieces and waits for them to come back,
// unless it already runs on a thread of that pool. A movie frame is many
// small anti-aliased fills: the hand-overs (a wake-up and a wait for each)
// cost more than the fills, and on a busy machine far more. Drawing the whole
// frame on one thread of the pool makes every fill serial for the price of a
// single hand-over. Solid and image fills (all a shape's fills are one of
// the two) give the same pixels either way; the painter's own gradients,
// left only to gradient strokes, may differ by one level here and there.

#include <functional>

class QPaintDevice;

namespace swf {

// Runs `work` (drawing onto `device`) so that its fills are serial: on a
// thread of the global pool while this thread waits, when the device is an
// image and a pool thread is free; otherwise here. What `work` throws on
// the pool thread is thrown again here, once it has finished.
void runWithSerialFills(const QPaintDevice* device, const std::function<void()>& work);

} // namespace swf
