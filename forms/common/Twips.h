// Places and sizes are designed in twips (1440 to the inch); on screen they are
// pixels at the screen's logical DPI: 15 twips a pixel at 96 DPI.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

namespace quillmere::forms {

double screenDpi();                       // logical DPI of the primary screen (96 when unknown)
int tw(int twips);                        // twips -> pixels, rounded
QPoint twPoint(int left, int top);
QSize twSize(int width, int height);
QRect twRect(int left, int top, int width, int height);

}  // namespace quillmere::forms
