#pragma once

#include <QByteArray>
#include <QImage>

namespace genresources {

// Windows resource data for one palette icon: the icon image itself (a
// device-independent bitmap of double height, colour part then transparency
// mask) and the icon group directory that points at it by resource id.
QByteArray encodeIconImage(const QImage& indexed);
QByteArray encodeIconGroup(const QImage& indexed, int iconBytes, quint16 iconId);

} // namespace genresources
