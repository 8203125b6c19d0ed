// The window as the handlers see it: captions, visibility, marks, heights and the warning box.
#include "qt/main_window.hpp"

#include "core/controls.hpp"
#include "panel/layout_table.hpp"
#include "qt/input_router.hpp"
#include "qt/panel_widgets.hpp"
#include "qt/widget_factory.hpp"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>

#include <algorithm>

namespace tova {
namespace {
int px(int twips) { return qRound(twips / double(kTwipsPerPixel)); }
} // namespace

MainWindow::MainWindow(QWidget* parent) : QWidget(parent), m_outerHeight(kClientHeight) {
    setObjectName(qs(ctl::Form1));
    setWindowTitle(qs(kWindowCaption));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor::fromRgb(kWindowBack));
    setPalette(pal);
    setAutoFillBackground(true);
    auto* surface = new Surface(this);
    surface->setObjectName(QStringLiteral("surface"));
    surface->setGeometry(0, 0, px(kClientWidth), px(kClientHeight));
    m_controls = buildControls(surface);
    for (const LayoutControl& c : layoutControls())
        m_captions.emplace(std::string(c.name), std::string(c.caption));
    setFixedSize(px(kClientWidth), px(kClientHeight));
}

MainWindow::~MainWindow() = default;

void MainWindow::setForm(Form1* form) {
    m_form = form;
    m_input = new InputRouter(this, *form, m_controls);
}

QWidget* MainWindow::control(std::string_view name) const {
    auto it = m_controls.find(name);
    if (it != m_controls.end()) return it->second;
    qCritical("tova-control: unknown control name \"%.*s\"", int(name.size()), name.data());
    return nullptr;
}

std::string MainWindow::caption(std::string_view c) const {
    if (!control(c)) return {};
    auto it = m_captions.find(c);
    return it == m_captions.end() ? std::string() : it->second;
}

void MainWindow::setCaption(std::string_view c, const std::string& text) {
    QWidget* w = control(c);
    if (!w) return;
    m_captions.insert_or_assign(std::string(c), text);
    const QString t = QString::fromStdString(text);
    if (auto* l = qobject_cast<QLabel*>(w)) l->setText(t);
    else if (auto* b = qobject_cast<QAbstractButton*>(w)) b->setText(buttonText(text));
    w->setAccessibleName(t);
}

bool MainWindow::visible(std::string_view c) const {
    QWidget* w = control(c);
    return w && !w->isHidden();
}

void MainWindow::setVisible(std::string_view c, bool on) {
    if (QWidget* w = control(c)) w->setVisible(on);
}

void MainWindow::setMarked(std::string_view option, bool on) {
    if (auto* o = qobject_cast<QRadioButton*>(control(option))) o->setChecked(on);
}

bool MainWindow::marked(std::string_view option) const {
    auto* o = qobject_cast<QRadioButton*>(control(option));
    return o && o->isChecked();
}

std::string MainWindow::text(std::string_view box) const {
    auto* t = qobject_cast<QLineEdit*>(control(box));
    return t ? t->text().toStdString() : std::string();
}

void MainWindow::setText(std::string_view box, const std::string& text) {
    if (auto* t = qobject_cast<QLineEdit*>(control(box))) t->setText(QString::fromStdString(text));
}

void MainWindow::setToolTip(std::string_view c, const std::string& text) {
    if (QWidget* w = control(c)) w->setToolTip(QString::fromStdString(text));
}

int MainWindow::frameHeightPixels() const {
    return isVisible() ? frameGeometry().height() - geometry().height() : 0;
}

void MainWindow::setHeight(int twips) {
    m_outerHeight = twips;
    applyHeight();
}

void MainWindow::applyHeight() {
    // Outer height: what the platform's frame takes comes off the client area.
    const int client = std::max(1, px(m_outerHeight) - frameHeightPixels());
    setFixedSize(px(kClientWidth), client);
}

int MainWindow::width() const {
    return (QWidget::width() + (isVisible() ? frameGeometry().width() - geometry().width() : 0)) *
           kTwipsPerPixel;
}

void MainWindow::move(double left, double top) {
    QWidget::move(qRound(left / kTwipsPerPixel), qRound(top / kTwipsPerPixel));
}

ScreenSize MainWindow::screenSize() const {
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!s) return {};
    return {double(s->geometry().width() * kTwipsPerPixel),
            double(s->geometry().height() * kTwipsPerPixel)};
}

void MainWindow::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    // The frame's size is known once the window is shown.
    QTimer::singleShot(0, this, [this] { applyHeight(); });
}

void MainWindow::showWarning(const std::string& text, std::function<void()> onClosed) {
    auto* box = new QMessageBox(QMessageBox::Warning, QString(), QString::fromStdString(text),
                                QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("warning"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::ApplicationModal);
    connect(box, &QMessageBox::finished, this, [onClosed = std::move(onClosed)] { onClosed(); });
    // Opened after the running handler: a held button's release is never swallowed by it.
    QTimer::singleShot(0, this, [this, box = QPointer<QMessageBox>(box)] {
        if (m_input) m_input->releaseHeld();
        if (box) box->open();
    });
}

void MainWindow::end() {
    delete m_input; // no event reaches the handlers after END
    m_input = nullptr;
    close();
    QCoreApplication::exit(0);
}

} // namespace tova
