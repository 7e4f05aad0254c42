#include "forms/common/Twips.h"

#include <QGuiApplication>
#include <QScreen>

#include <cmath>

namespace quillmere::forms {

double screenDpi()
{
    if (auto* s = QGuiApplication::primaryScreen()) {
        const double dpi = s->logicalDotsPerInch();
        if (dpi > 0)
            return dpi;
    }
    return 96.0;
}

int tw(int twips)
{
    return static_cast<int>(std::lround(twips * screenDpi() / 1440.0));
}

QPoint twPoint(int left, int top) { return {tw(left), tw(top)}; }
QSize twSize(int width, int height) { return {tw(width), tw(height)}; }
QRect twRect(int left, int top, int width, int height)
{
    return {twPoint(left, top), twSize(width, height)};
}

}  // namespace quillmere::forms
