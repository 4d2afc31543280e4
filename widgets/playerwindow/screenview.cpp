#include "screenview.hpp"

#include <QPainter>

#include "screenimage.hpp"

namespace player {

ScreenView::ScreenView(const PictureGeometry& geometry, QWidget* parent)
    : QWidget(parent), m_geometry(geometry) {
    setFixedSize(geometry.width(), geometry.height());
    setScreen(TIFunctions::BitString::filled(geometry.screen.pixels(), false));
}

void ScreenView::setScreen(const TIFunctions::BitString& screen) {
    m_image = screenImage(screen, m_geometry);
    update();
}

void ScreenView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(0, 0, m_image);
}

}  // namespace player
