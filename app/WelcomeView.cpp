#include "app/WelcomeView.h"

#include <QPainter>

namespace ambro::app {

WelcomeView::WelcomeView(QWidget* parent) : QWidget(parent) {
    setAutoFillBackground(true);
    setMinimumSize(240, 160);
}

void WelcomeView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawText(rect(), Qt::AlignCenter, QString::fromLatin1(kText));
}

}  // namespace ambro::app
