// SPDX-License-Identifier: MIT
// tova-control: the operator panel.
#include "panel_qt/qt_platform.hpp"
#include "qt/program_names.hpp"
#include "qt/stop_signals.hpp"

int main(int argc, char** argv) {
    tova::ignoreWriteSignals(); // a trace that cannot be written is told about
    tova::setProgramNames("tova-control");
    tova::QtPlatform platform(argc, argv);
    return tova::runPanel(tova::cli::argumentsOf(argc, argv), platform);
}
