#pragma once

#include <QByteArray>
#include <QImage>

// Qt reads GIF but cannot write it, and the demo folder wants some GIF snapshots.

// Reduces an image to at most 256 colours, ready for encodeGif().
QImage quantiseForGif(const QImage& image);

// Encodes an indexed (Format_Indexed8) image as a single-frame GIF89a file.
QByteArray encodeGif(const QImage& indexed);
