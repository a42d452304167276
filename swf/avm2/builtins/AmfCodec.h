#pragma once

// The members of a saved game (SharedObject) in AMF: each a name, a value
// and a zero byte, with one set of reference tables for them all, as the
// .sol layout has them. Encoding 0 is AMF0, anything else AMF3.

#include "swf/avm2/vm/Object.h"

#include <QByteArray>

#include <cstdint>

namespace swf::avm2 {

class Machine;

// The enumerable members of `data` (functions stay behind). May throw as
// ByteArray.writeObject does (nesting too deep, a getter that throws).
QByteArray writeSaveMembers(Machine& machine, Object* data, std::uint32_t encoding);
// Sets on `data` each member read; damaged bytes throw as readObject does.
void readSaveMembers(Machine& machine, const QByteArray& members, bool amf3, Object* data);

} // namespace swf::avm2
