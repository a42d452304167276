#pragma once

// What other classes need of flash.utils.ByteArray: its bytes and cursor.

#include "swf/avm2/vm/Object.h"

#include <QByteArray>

namespace swf::avm2 {

class Machine;

struct ByteArrayHost {
    QByteArray data;
    std::uint32_t position = 0;
    bool littleEndian = false;
    std::uint32_t objectEncoding = 3;
};

ByteArrayHost* byteArrayOf(const Object* o); // null unless o is a ByteArray
Object* newByteArray(Machine& machine, QByteArray bytes);

} // namespace swf::avm2
