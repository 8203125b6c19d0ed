// SPDX-License-Identifier: MIT
#pragma once
// The one window: every widget built from the layout table, and the Panel the handlers drive.
#include "core/panel.hpp"
#include "panel_qt/input_router.hpp"

#include <QMargins>
#include <QWidget>

#include <functional>
#include <map>
#include <optional>
#include <string>

namespace tova {

class Form1;

class MainWindow : public QWidget, public Panel {
    Q_OBJECT
  public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // Connects the widgets' events to the handlers: all of them to the panel's, or each kind to
    // a handler of its own (a watcher of them, say).
    void setForm(Form1* form);
    void setInput(InputRouter::Handlers handlers);
    // The control of that name (one built after the first paint is built at once when asked
    // for before); an unknown name is a fault of the program and is logged.
    QWidget* control(std::string_view name) const;

    std::string caption(std::string_view control) const override;
    void setCaption(std::string_view control, const std::string& text) override;
    bool visible(std::string_view control) const override;
    void setVisible(std::string_view control, bool visible) override;
    void setMarked(std::string_view option, bool marked) override;
    bool marked(std::string_view option) const override;
    std::string text(std::string_view textBox) const override;
    void setText(std::string_view textBox, const std::string& text) override;
    void setToolTip(std::string_view control, const std::string& text) override;
    int height() const override { return m_outerHeight; }
    void setHeight(int twips) override;
    int width() const override;
    void move(double left, double top) override;
    ScreenSize screenSize() const override;
    void showWarning(const std::string& text, std::function<void()> onClosed) override;
    void end() override;

    using QWidget::setVisible;

  protected:
    bool event(QEvent* e) override;

  private:
    QMargins frame() const; // what the window manager's frame takes, in pixels
    void followFrame();     // the height and the start-up place, with the frame as it is now
    void applyHeight();
    void applyPlace();
    void buildLater() const; // the controls left for after the first paint

    // The place the handlers asked for, and the outer size they computed it from (twips).
    struct Place {
        double left, top, width, height;
    };
    std::optional<Place> m_place;
    QMargins m_frameFollowed; // the frame the height and place were last applied with

    InputRouter* m_input = nullptr;
    QWidget* m_surface = nullptr;
    mutable std::map<std::string, QWidget*, std::less<>> m_controls;
    mutable bool m_builtLater = false;
    std::map<std::string, std::string, std::less<>> m_captions;
    int m_outerHeight; // twips
};

} // namespace tova
