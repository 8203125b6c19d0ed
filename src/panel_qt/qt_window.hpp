// SPDX-License-Identifier: MIT
#pragma once
// The one window: every widget built from the layout table, and the Window the handlers drive.
#include "core/window.hpp"
#include "panel_qt/input_router.hpp"
#include "window/window_surface.hpp"

#include <QMargins>
#include <QWidget>

#include <functional>
#include <map>
#include <optional>
#include <string>

namespace tova {

class QtWindow : public QWidget {
    Q_OBJECT
  public:
    explicit QtWindow(QWidget* parent = nullptr);
    ~QtWindow() override;

    // The window as the handlers see it.
    WindowSurface& surface() { return m_rules; }
    const WindowSurface& surface() const { return m_rules; }
    // Where the widgets' events go: the panel's handlers (handlersOf), or each kind a handler
    // of its own (a watcher of them, say).
    void setInput(InputHandlers handlers) { m_rules.input().setHandlers(std::move(handlers)); }
    // Shown as the program shows it at start, the focus on POWER "ON".
    void showAtStart();
    // Saves a picture of the window once it is shown, at that height (twips; 0: as it stands).
    void screenshotLater(const QString& file, int heightTwips);
    // The control of that name (one built after the first paint is built at once when asked
    // for before); an unknown name is a fault of the program and is logged.
    QWidget* control(std::string_view name) const;

  protected:
    bool event(QEvent* e) override;

  private:
    WindowHooks hooks();
    QMargins frame() const; // what the window manager's frame takes, in pixels
    void followFrame();     // the height and the start-up place, with the frame as it is now
    void applyHeight();
    void applyPlace();
    int outerWidth() const; // twips
    void moveTo(double left, double top);
    ScreenSize screenTwips() const;
    void buildLater() const; // the controls left for after the first paint

    // The place the handlers asked for, and the outer size they computed it from (twips).
    struct Place {
        double left, top, width, height;
    };
    std::optional<Place> m_place;
    QMargins m_frameFollowed; // the frame the height and place were last applied with

    QWidget* m_canvas = nullptr;
    mutable std::map<std::string, QWidget*, std::less<>> m_controls;
    mutable bool m_builtLater = false;
    WindowSurface m_rules;
    InputRouter* m_router = nullptr;
};

} // namespace tova
