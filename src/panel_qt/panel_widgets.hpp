// SPDX-License-Identifier: MIT
#pragma once
// The few widgets whose platform behaviour the panel must change.
#include "window/window_input.hpp"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QWidget>

namespace tova {

// A command button: its keys and its caption as the window's rules say.
class PanelButton : public QPushButton {
    Q_OBJECT
  public:
    explicit PanelButton(const QString& text, QWidget* parent = nullptr);
    bool held = false; // acts on press and release; the keyboard does nothing with it
    WindowInput* input = nullptr; // where its keys go; none: nowhere
    // A release followed by a press within this time is the key's auto-repeat.
    static constexpr int kAutoRepeatGapMs = 40;

  protected:
    void keyPressEvent(QKeyEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void paintEvent(QPaintEvent* e) override; // the caption wraps, as on the classic panel

  private:
    ButtonFace face();
    void keyLetGo();
    QTimer m_keyRelease;
};

// An option button that takes a click anywhere in its place, not only on its mark and caption.
class PanelOption : public QRadioButton {
    Q_OBJECT
  public:
    using QRadioButton::QRadioButton;

  protected:
    bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }
};

// The free-text box: makes no edit of its own for Ctrl+K (it would delete to the end of the line).
class CommandBox : public QLineEdit {
    Q_OBJECT
  public:
    using QLineEdit::QLineEdit;

  protected:
    void keyPressEvent(QKeyEvent* e) override;
};

// The picture at the top right; reacts to a double-click only.
class Picture : public QLabel {
    Q_OBJECT
  public:
    using QLabel::QLabel;
  signals:
    void doubleClicked();

  protected:
    void mouseDoubleClickEvent(QMouseEvent* e) override;
};

// The window's surface: the outline of the arrow pad is drawn on it, beneath the controls.
class Surface : public QWidget {
    Q_OBJECT
  public:
    using QWidget::QWidget;

  protected:
    void paintEvent(QPaintEvent* e) override;
};

bool isServiceKeys(const QKeyEvent* e);

} // namespace tova
