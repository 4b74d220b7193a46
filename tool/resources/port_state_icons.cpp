#include "resources/port_state_icons.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>
#include <algorithm>
#include <iterator>
#include <string_view>

namespace talvern {
namespace {

using vostrel::program::PortState;

// In the order of PortState; a failed device and one not configured look alike.
const char* const kStateImages[] = {":/port_working.svg", ":/port_empty.svg", ":/port_not_working.svg",
                                    ":/port_not_working.svg", ":/port_powered_off.svg"};
static_assert(int(PortState::Working) == 0 && int(PortState::Empty) == 1 && int(PortState::Failed) == 2 &&
              int(PortState::NotConfigured) == 3 && int(PortState::SwitchedOff) == 4);

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
        // States that share an image share its icons.
        const auto same = std::find(std::begin(kStateImages), std::begin(kStateImages) + state,
                                    std::string_view(kStateImages[state]));
        if (same != std::begin(kStateImages) + state) {
            const auto first = static_cast<PortState>(same - std::begin(kStateImages));
            icons_[slot(PortState(state), false)] = icons_[slot(first, false)];
            icons_[slot(PortState(state), true)] = icons_[slot(first, true)];
            continue;
        }
        QSvgRenderer image(QString::fromLatin1(kStateImages[state]));
        icons_[slot(PortState(state), false)] = drawIcon(image, nullptr);
        icons_[slot(PortState(state), true)] = drawIcon(image, &badge);
    }
}

const QIcon& PortStateIcons::icon(PortState state, bool watched) const { return icons_[slot(state, watched)]; }

}  // namespace talvern
