#pragma once
#include <QString>
#include <QStringList>

namespace tova {

struct PanelOptions {
    QString com1, com2;   // device paths of ports 1 and 2
    bool demo = false;    // virtual projectors on both ports
    QString screenshot;   // save a picture of the window here once it is shown
    int screenshotHeight = 0; // twips; 0: as the window stands
};

// Parses the command line; prints help, version or errors and exits for those.
PanelOptions parsePanelOptions(const QStringList& arguments);

} // namespace tova
