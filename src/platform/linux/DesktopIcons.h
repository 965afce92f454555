#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

namespace snipbrook {

// Renders an Icon= value of a desktop entry (a theme icon name or an absolute path) as an
// image that fits a square of `size` pixels; a null image when nothing is found. The icon theme is asked
// on the GUI thread of a GUI application; elsewhere the files are looked up directly (the
// hicolor theme and pixmaps/ under `dataDirs`).
QImage renderDesktopIcon(const QString &icon, const QStringList &dataDirs, int size);

// The stand-in when an application has no usable icon.
QImage genericApplicationIcon(int size);

} // namespace snipbrook
