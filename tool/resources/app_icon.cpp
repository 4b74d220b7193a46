#include "resources/app_icon.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

namespace talvern {

QIcon applicationIcon() {
    QSvgRenderer renderer(QStringLiteral(":/talvern.svg"));
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        QPixmap image(size, size);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        renderer.render(&painter);
        painter.end();
        icon.addPixmap(image);
    }
    return icon;
}

}  // namespace talvern
