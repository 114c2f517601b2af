#include "grid/IndicatorGlyphs.h"

#include <QColor>
#include <QString>

#include <stdexcept>

// The resources live in the static ui library, so they are registered by hand before use; the
// macro must stand outside any namespace.
static void registerGridResources() {
    Q_INIT_RESOURCE(grid);
}

namespace quorvel::ui {

namespace {

QImage loadGlyph(const QString& name) {
    QImage stored(QStringLiteral(":/grid/") + name);
    if (stored.isNull() ||
        stored.size() != QSize(IndicatorGlyphs::Width, IndicatorGlyphs::Height)) {
        throw std::logic_error("indicator glyph missing from the resources: " + name.toStdString());
    }
    QImage glyph = stored.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < glyph.height(); ++y) {
        for (int x = 0; x < glyph.width(); ++x) {
            if (glyph.pixelColor(x, y) == QColor(Qt::white)) {
                glyph.setPixelColor(x, y, Qt::transparent);
            }
        }
    }
    return glyph;
}

std::array<QImage, 4> loadGlyphs() {
    registerGridResources();
    std::array<QImage, 4> images;
    images[static_cast<std::size_t>(IndicatorGlyph::CurrentRow)] =
        loadGlyph(QStringLiteral("current.xbm"));
    images[static_cast<std::size_t>(IndicatorGlyph::Edit)] = loadGlyph(QStringLiteral("edit.xbm"));
    images[static_cast<std::size_t>(IndicatorGlyph::Insert)] =
        loadGlyph(QStringLiteral("insert.xbm"));
    return images;
}

}  // namespace

// Decoded once for the program: the resources never change, and each grid (the main window
// makes one as it opens) shares the images.
IndicatorGlyphs::IndicatorGlyphs() {
    static const std::array<QImage, 4> decoded = loadGlyphs();
    images_ = decoded;
}

const QImage& IndicatorGlyphs::image(IndicatorGlyph glyph) const {
    return images_[static_cast<std::size_t>(glyph)];
}

}  // namespace quorvel::ui
