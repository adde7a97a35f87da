#ifndef TESTPICTURES_H
#define TESTPICTURES_H

#include <QByteArray>
#include <QColor>
#include <QImage>

// PNG bytes of a picture, as a server or the user's picture file would hold them.
QByteArray pngBytes(const QImage &image);

// PNG bytes of a plain picture of one colour.
QByteArray plainPng(int width, int height, const QColor &colour);

// GIF bytes of a picture of at most 256 colours (Qt reads GIF but does not write it). The
// LZW stream is made of single pixels, restarted before its codes grow past nine bits.
QByteArray gifBytes(const QImage &image);

// A PNG that claims width x height in its header, followed by the first rows of its
// picture only: enough for a reader to learn the size, which is what a check must refuse.
QByteArray pngHeader(int width, int height);

#endif
