// SPDX-License-Identifier: MIT
// The window as the handlers see it: captions, visibility, marks, heights and the warning box.
#include "panel_qt/main_window.hpp"

#include "tables/controls.hpp"
#include "tables/layout_table.hpp"
#include "panel_qt/input_router.hpp"
#include "panel_qt/panel_widgets.hpp"
#include "panel_qt/widget_factory.hpp"

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
    setObjectName(qs(ctl::Window));
    setWindowTitle(qs(kWindowCaption));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor::fromRgb(kWindowBack));
    setPalette(pal);
    setAutoFillBackground(true);
    setFont(windowFont()); // the controls in it inherit it, unless theirs differs
    m_surface = new Surface(this);
    m_surface->setObjectName(QStringLiteral("surface"));
    m_surface->setGeometry(0, 0, px(kClientWidth), px(kClientHeight));
    buildControls(m_surface, m_controls, Stage::BeforeShow);
    for (const LayoutControl& c : layoutControls())
        m_captions.emplace(std::string(c.name), std::string(c.caption));
    setFixedSize(px(kClientWidth), px(kClientHeight));
}

MainWindow::~MainWindow() = default;

void MainWindow::setForm(Form1* form) { setInput(InputRouter::handlersOf(*form)); }

void MainWindow::setInput(InputRouter::Handlers handlers) {
    delete m_input;
    m_input = new InputRouter(this, m_controls, std::move(handlers));
}

void MainWindow::buildLater() const {
    if (std::exchange(m_builtLater, true)) return;
    const auto before = m_controls;
    buildControls(m_surface, m_controls, Stage::AfterFirstPaint);
    if (m_input)
        for (const auto& [name, w] : m_controls)
            if (!before.contains(name)) m_input->wire(name, w);
}

QWidget* MainWindow::control(std::string_view name) const {
    if (!m_builtLater && stageOf(name) == Stage::AfterFirstPaint) buildLater();
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

QMargins MainWindow::frame() const {
    if (!isVisible()) return {};
    const QRect outer = frameGeometry(), inner = geometry();
    return {inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
            outer.bottom() - inner.bottom()};
}

void MainWindow::setHeight(int twips) {
    m_outerHeight = twips;
    applyHeight();
}

void MainWindow::applyHeight() {
    // Outer height: what the platform's frame takes comes off the client area.
    const QMargins f = frame();
    const int client = std::max(1, px(m_outerHeight) - f.top() - f.bottom());
    setFixedSize(px(kClientWidth), client);
}

int MainWindow::width() const {
    const QMargins f = frame();
    return (QWidget::width() + f.left() + f.right()) * kTwipsPerPixel;
}

void MainWindow::move(double left, double top) {
    m_place = Place{left, top, double(width()), double(height())};
    applyPlace();
}

void MainWindow::applyPlace() {
    // The handlers centred the window for the outer size they knew; before the window manager
    // has framed it that is the client area alone. With the frame the laid-out window is larger,
    // and its centre stays where they put it.
    const QMargins f = frame();
    const double width = (px(kClientWidth) + f.left() + f.right()) * double(kTwipsPerPixel);
    const double height = (px(kClientHeight) + f.top() + f.bottom()) * double(kTwipsPerPixel);
    const double left = m_place->left - (width - m_place->width) / 2;
    const double top = m_place->top - (height - m_place->height) / 2;
    QWidget::move(qRound(left / kTwipsPerPixel), qRound(top / kTwipsPerPixel));
}

void MainWindow::followFrame() {
    const QMargins f = frame();
    if (f == m_frameFollowed) return;
    const bool firstFrame = m_frameFollowed.isNull();
    m_frameFollowed = f;
    applyHeight();
    if (m_place && firstFrame) applyPlace(); // later on the operator may have moved it
}

bool MainWindow::event(QEvent* e) {
    const bool done = QWidget::event(e);
    switch (e->type()) {
    case QEvent::Paint:
        // Once the window stands painted, the rest is built while the operator looks at it.
        if (!m_builtLater) QTimer::singleShot(0, this, [this] { buildLater(); });
        break;
    case QEvent::Show:
        // The frame is known once the window manager has framed the window, which may come
        // after the window is shown: look again while it settles.
        for (int ms : {0, 50, 200, 500, 1000, 2000})
            QTimer::singleShot(ms, this, [this] {
                if (m_frameFollowed.isNull()) followFrame(); // until a frame has come
            });
        break;
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::WindowStateChange:
        followFrame();
        break;
    default:
        break;
    }
    return done;
}

ScreenSize MainWindow::screenSize() const {
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!s) return {};
    return {double(s->geometry().width() * kTwipsPerPixel),
            double(s->geometry().height() * kTwipsPerPixel)};
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
