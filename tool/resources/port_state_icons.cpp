#include "resources/port_state_icons.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

namespace talvern {
namespace {

// In the order of PortState.
const char* const kStateImages[] = {":/port_powered_off.svg", ":/port_empty.svg", ":/port_working.svg",
                                    ":/port_not_working.svg"};
static_assert(int(PortState::PoweredOff) == 0 && int(PortState::Empty) == 1 && int(PortState::Working) == 2 &&
              int(PortState::NotWorking) == 3);

int slot(PortState state, bool watched) { return static_cast<int>(state) * 2 + (watched ? 1 : 0); }

QIcon drawIcon(QSvgRenderer& state, QSvgRenderer* badge) {
    QIcon icon;
    // The tree's icon size, and its double for screens with two pixels per point.
    for (const int size : {16, 32}) {
        QPixmap image(size, size);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        state.render(&painter);
        if (badge != nullptr) {
            const int badgeSize = size * 5 / 8;
            badge->render(&painter, QRectF(size - badgeSize, size - badgeSize, badgeSize, badgeSize));
        }
        painter.end();
        icon.addPixmap(image);
    }
    return icon;
}

}  // namespace

PortStateIcons::PortStateIcons() {
    QSvgRenderer badge(QStringLiteral(":/watch_badge.svg"));
    for (int state = 0; state < kStates; ++state) {
        QSvgRenderer image(QString::fromLatin1(kStateImages[state]));
        icons_[slot(PortState(state), false)] = drawIcon(image, nullptr);
        icons_[slot(PortState(state), true)] = drawIcon(image, &badge);
    }
}

const QIcon& PortStateIcons::icon(PortState state, bool watched) const { return icons_[slot(state, watched)]; }

}  // namespace talvern
