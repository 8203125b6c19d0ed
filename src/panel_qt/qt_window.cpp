// SPDX-License-Identifier: MIT
// The window with Qt: its widgets built from the layout table, what only it can do for the
// handlers (show a caption, hide a control, mark an option, its frame, the box), its outer
// height on the window manager's frame.
#include "panel_qt/qt_window.hpp"

#include "tables/controls.hpp"
#include "tables/layout_table.hpp"
#include "panel_qt/input_router.hpp"
#include "panel_qt/qt_dialogs.hpp"
#include "panel_qt/panel_widgets.hpp"
#include "panel_qt/startup_probe.hpp"
#include "panel_qt/widget_factory.hpp"
#include "window/control_plan.hpp"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace tova {
namespace {
int px(int twips) { return pixelsOf(twips, 96); }
} // namespace

QtWindow::QtWindow(QWidget* parent) : QWidget(parent), m_rules(kClientHeight, hooks()) {
    setObjectName(qs(ctl::Window));
    setWindowTitle(qs(kWindowCaption));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor::fromRgb(kWindowBack));
    setPalette(pal);
    setAutoFillBackground(true);
    setFont(windowFont()); // the controls in it inherit it, unless theirs differs
    m_canvas = new Surface(this);
    m_canvas->setObjectName(QStringLiteral("surface"));
    m_canvas->setGeometry(0, 0, px(kClientWidth), px(kClientHeight));
    buildControls(m_canvas, m_controls, Stage::BeforeShow);
    setFixedSize(px(kClientWidth), px(kClientHeight));
    m_router = new InputRouter(this, m_controls, m_rules.input());
}

QtWindow::~QtWindow() {
    // The widgets outlive the window's own members as Qt destroys them: no key of theirs may
    // reach the input rules then.
    for (const auto& [name, w] : m_controls)
        if (auto* b = qobject_cast<PanelButton*>(w)) b->input = nullptr;
    delete m_router;
}

WindowHooks QtWindow::hooks() {
    WindowHooks h;
    h.showCaption = [this](std::string_view c, const std::string& text) {
        QWidget* w = control(c);
        if (!w) return;
        const QString t = QString::fromStdString(text);
        if (auto* l = qobject_cast<QLabel*>(w)) l->setText(t);
        else if (auto* b = qobject_cast<QAbstractButton*>(w)) b->setText(buttonText(text));
        w->setAccessibleName(t);
    };
    h.setVisible = [this](std::string_view c, bool on) {
        if (QWidget* w = control(c)) w->setVisible(on);
    };
    h.isVisible = [this](std::string_view c) {
        const QWidget* w = control(c);
        return w && !w->isHidden();
    };
    h.setMarked = [this](std::string_view c, bool on) {
        if (auto* o = qobject_cast<QRadioButton*>(control(c))) o->setChecked(on);
    };
    h.isMarked = [this](std::string_view c) {
        const auto* o = qobject_cast<QRadioButton*>(control(c));
        return o && o->isChecked();
    };
    h.text = [this](std::string_view c) {
        const auto* t = qobject_cast<QLineEdit*>(control(c));
        return t ? t->text().toStdString() : std::string();
    };
    h.setText = [this](std::string_view c, const std::string& text) {
        if (auto* t = qobject_cast<QLineEdit*>(control(c))) t->setText(QString::fromStdString(text));
    };
    h.setToolTip = [this](std::string_view c, const std::string& tip) {
        if (QWidget* w = control(c)) w->setToolTip(QString::fromStdString(tip));
    };
    h.applyHeight = [this](int) { applyHeight(); };
    h.outerWidth = [this] { return outerWidth(); };
    h.moveTo = [this](double left, double top) { moveTo(left, top); };
    h.screen = [this] { return screenTwips(); };
    h.box = {[this](std::function<void()> f) { QTimer::singleShot(0, this, std::move(f)); },
             [this](const std::string& held) {
                 if (auto* b = qobject_cast<QAbstractButton*>(control(held))) b->setDown(false);
             },
             [this](const std::string& title, const std::string& text, bool question, std::function<void(bool)> closed) {
                 openBox(this, title, text, question, std::move(closed));
             }};
    h.showMenu = [this](const std::vector<MenuEntry>& menu, std::function<void(const MenuEntry&)> chosen) {
        popUpMenu(this, menu, std::move(chosen));
    };
    h.askText = [this](const std::string& title, const std::string& prompt, const std::string& initial,
                       std::function<void(std::optional<std::string>)> answered) {
        askLine(this, title, prompt, initial, std::move(answered));
    };
    h.close = [this] {
        close();
        QCoreApplication::exit(0);
    };
    return h;
}

void QtWindow::buildLater() const {
    if (std::exchange(m_builtLater, true)) return;
    const auto before = m_controls;
    buildControls(m_canvas, m_controls, Stage::AfterFirstPaint);
    if (m_router)
        for (const auto& [name, w] : m_controls)
            if (!before.contains(name)) m_router->wire(name, w);
}

QWidget* QtWindow::control(std::string_view name) const {
    if (!m_builtLater && stageOf(name) == Stage::AfterFirstPaint) buildLater();
    auto it = m_controls.find(name);
    if (it != m_controls.end()) return it->second;
    qCritical("tova-control: unknown control name \"%.*s\"", int(name.size()), name.data());
    return nullptr;
}

QMargins QtWindow::frame() const {
    if (!isVisible()) return {};
    const QRect outer = frameGeometry(), inner = geometry();
    return {inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
            outer.bottom() - inner.bottom()};
}

void QtWindow::applyHeight() {
    // Outer height: what the platform's frame takes comes off the client area.
    const QMargins f = frame();
    const int client = std::max(1, px(m_rules.height()) - f.top() - f.bottom());
    setFixedSize(px(kClientWidth), client);
}

int QtWindow::outerWidth() const {
    const QMargins f = frame();
    return (QWidget::width() + f.left() + f.right()) * kTwipsPerPixel;
}

void QtWindow::moveTo(double left, double top) {
    m_place = Place{left, top, double(outerWidth()), double(m_rules.height())};
    applyPlace();
}

void QtWindow::applyPlace() {
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

void QtWindow::followFrame() {
    const QMargins f = frame();
    if (f == m_frameFollowed) return;
    const bool firstFrame = m_frameFollowed.isNull();
    m_frameFollowed = f;
    applyHeight();
    if (m_place && firstFrame) applyPlace(); // later on the operator may have moved it
}

bool QtWindow::event(QEvent* e) {
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

ScreenSize QtWindow::screenTwips() const {
    const QScreen* s = QWidget::screen() ? QWidget::screen() : QGuiApplication::primaryScreen();
    if (!s) return {};
    return {double(s->geometry().width() * kTwipsPerPixel),
            double(s->geometry().height() * kTwipsPerPixel)};
}

void QtWindow::showAtStart() {
    probeStartUp(this);
    show();
    if (QWidget* first = control(ctl::PowerOn)) first->setFocus();
}

void QtWindow::screenshotLater(const QString& file, int heightTwips) {
    QTimer::singleShot(600, this, [this, file, heightTwips] {
        if (heightTwips > 0) m_rules.setHeight(heightTwips);
        QTimer::singleShot(300, this, [this, file] {
            if (grab().save(file)) std::fprintf(stderr, "tova-control: screenshot saved to %s\n", qPrintable(file));
            else std::fprintf(stderr, "tova-control: cannot save the screenshot to %s\n", qPrintable(file));
        });
    });
}

} // namespace tova
