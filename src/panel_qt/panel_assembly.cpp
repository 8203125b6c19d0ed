// SPDX-License-Identifier: MIT
#include "panel_qt/panel_assembly.hpp"

#include <QTimer>

#include <cstdio>

namespace tova {

void PanelAssembly::screenshotLater(const QString& file, int heightTwips) {
    QTimer::singleShot(600, &window, [this, file, heightTwips] {
        if (heightTwips > 0) window.setHeight(heightTwips);
        QTimer::singleShot(300, &window, [this, file] {
            if (window.grab().save(file))
                std::fprintf(stderr, "tova-control: screenshot saved to %s\n", qPrintable(file));
            else
                std::fprintf(stderr, "tova-control: cannot save the screenshot to %s\n", qPrintable(file));
        });
    });
}

} // namespace tova
