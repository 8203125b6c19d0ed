#pragma once
// The one window: every widget built from the layout table, and the Panel the handlers drive.
#include "core/panel.hpp"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <map>
#include <string>
#include <vector>

class QMessageBox;

namespace tova {

class Form1;
class Surface;

class MainWindow : public QWidget, public Panel {
    Q_OBJECT
  public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    void setForm(Form1* form) { m_form = form; }
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
    void warn(const std::string& text, std::function<void()> afterDismiss) override;
    void end() override;

    using QWidget::setVisible;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* e) override;

  private:
    void build();
    void applyHeight();
    int frameHeightPixels() const;
    void releaseHeld();

    Form1* m_form = nullptr;
    Surface* m_surface = nullptr;
    std::map<std::string, QWidget*, std::less<>> m_controls;
    std::map<std::string, std::string, std::less<>> m_captions;
    int m_outerHeight; // twips
    std::string m_held; // the held button now pressed
    QPointer<QMessageBox> m_box;
    std::vector<std::function<void()>> m_afterBox;
};

// Bytes of the text typed into the box: one per character, "?" for every character beyond ASCII.
std::string typedBytes(const QString& text);

} // namespace tova
