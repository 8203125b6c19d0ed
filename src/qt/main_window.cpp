#include "qt/main_window.hpp"

#include "core/form1.hpp"
#include "panel/hold_table.hpp"
#include "panel/layout_table.hpp"
#include "qt/panel_widgets.hpp"

#include <QApplication>
#include <QButtonGroup>
#include <QFrame>
#include <QKeyEvent>
#include <QMessageBox>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <limits>

namespace tova {

namespace {

int px(int twips) { return qRound(twips / double(kTwipsPerPixel)); }

QFont fontFor(FontCode code) {
    const FontSpec s = fontSpec(code);
    // IPAGothic and IPAPGothic stand in for the fixed-pitch and proportional Japanese faces.
    QFont f(s.proportional ? QStringLiteral("IPAPGothic") : QStringLiteral("IPAGothic"));
    f.setPixelSize(qRound(s.points * 96.0 / 72.0)); // sized as at 96 dpi, like the geometry
    f.setBold(s.bold);
    f.setStyleHint(s.proportional ? QFont::SansSerif : QFont::Monospace);
    return f;
}

QString qs(std::string_view s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

void paint(QWidget* w, const LayoutControl& c) {
    QPalette pal = w->palette();
    if (c.back != kPlatformColour) {
        pal.setColor(QPalette::Window, QColor::fromRgb(c.back));
        pal.setColor(QPalette::Button, QColor::fromRgb(c.back));
        w->setAutoFillBackground(c.kind != Kind::Button);
    }
    pal.setColor(QPalette::WindowText, QColor::fromRgb(c.fore));
    pal.setColor(QPalette::ButtonText, QColor::fromRgb(c.fore));
    w->setPalette(pal);
}

Qt::Alignment alignmentOf(Align a) {
    switch (a) {
    case Align::Center: return Qt::AlignCenter;
    case Align::Right: return Qt::AlignRight | Qt::AlignVCenter;
    case Align::Left: break;
    }
    return Qt::AlignLeft | Qt::AlignVCenter;
}

QString buttonText(std::string_view caption) {
    return qs(caption).replace(QLatin1Char('&'), QStringLiteral("&&")); // no mnemonics
}

} // namespace

std::string typedBytes(const QString& text) {
    std::string out;
    for (char32_t c : text.toUcs4()) out.push_back(c < 128 ? static_cast<char>(c) : '?');
    return out;
}

MainWindow::MainWindow(QWidget* parent) : QWidget(parent), m_outerHeight(kClientHeight) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(qs(kWindowCaption));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor::fromRgb(kWindowBack));
    setPalette(pal);
    setAutoFillBackground(true);
    build();
    setFixedSize(px(kClientWidth), px(kClientHeight));
    qApp->installEventFilter(this);
}

MainWindow::~MainWindow() {
    qApp->removeEventFilter(this);
}

void MainWindow::build() {
    m_surface = new Surface(this);
    m_surface->setObjectName(QStringLiteral("surface"));
    m_surface->setGeometry(0, 0, px(kClientWidth), px(kClientHeight));

    std::map<std::string_view, QButtonGroup*> groups;
    std::vector<std::pair<int, QWidget*>> tabOrder;
    for (const LayoutControl& c : layoutControls()) {
        QWidget* parent = c.container.empty() ? m_surface : control(c.container);
        QWidget* w = nullptr;
        const QString name = qs(c.name);
        switch (c.kind) {
        case Kind::Frame: {
            auto* f = new QFrame(parent);
            f->setFrameStyle(QFrame::Box | QFrame::Sunken); // etched, as a frame without caption
            w = f;
            break;
        }
        case Kind::Label: {
            auto* l = new QLabel(qs(c.caption), parent);
            l->setTextFormat(Qt::PlainText);
            l->setAlignment(alignmentOf(c.align));
            if (c.border) l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            l->setAccessibleName(qs(c.caption));
            w = l;
            break;
        }
        case Kind::Button: {
            auto* b = new PanelButton(buttonText(c.caption), parent);
            b->held = findHoldButton(c.name) != nullptr;
            b->setAutoDefault(false);
            b->setAccessibleName(qs(c.caption));
            if (b->held) {
                b->installEventFilter(this);
            } else {
                connect(b, &QPushButton::clicked, this, [this, n = std::string(c.name)] {
                    if (m_form) m_form->click(n);
                });
            }
            w = b;
            break;
        }
        case Kind::Option: {
            auto* o = new QRadioButton(qs(c.caption), parent);
            o->setAccessibleName(qs(c.caption));
            auto& g = groups[c.container];
            if (!g) g = new QButtonGroup(parent);
            g->addButton(o);
            o->setChecked(c.marked);
            // Every click runs the handler, also on the option already marked.
            connect(o, &QRadioButton::clicked, this, [this, n = std::string(c.name)] {
                if (m_form) m_form->click(n);
            });
            w = o;
            break;
        }
        case Kind::TextBox: {
            auto* t = new CommandBox(parent);
            t->setMaxLength(std::numeric_limits<int>::max()); // no length limit
            t->setAccessibleName(QStringLiteral("CMD"));
            w = t;
            break;
        }
        case Kind::Picture: {
            auto* p = new Picture(parent);
            p->setPixmap(QPixmap(QStringLiteral(":/tova/image1.png")));
            p->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            p->setAccessibleName(QStringLiteral("TOVA"));
            connect(p, &Picture::doubleClicked, this, [this] {
                if (m_form) m_form->Image1_DblClick();
            });
            w = p;
            break;
        }
        }
        w->setObjectName(name);
        w->setGeometry(px(c.left), px(c.top), px(c.width), px(c.height));
        w->setFont(fontFor(c.font));
        paint(w, c);
        w->setVisible(c.visible);
        if (c.kind == Kind::Label || c.kind == Kind::Frame || c.kind == Kind::Picture)
            w->setFocusPolicy(Qt::NoFocus);
        else
            tabOrder.emplace_back(c.tab, w);
        m_controls.emplace(std::string(c.name), w);
        m_captions.emplace(std::string(c.name), std::string(c.caption));
    }
    std::sort(tabOrder.begin(), tabOrder.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 1; i < tabOrder.size(); ++i)
        QWidget::setTabOrder(tabOrder[i - 1].second, tabOrder[i].second);
}

QWidget* MainWindow::control(std::string_view name) const {
    auto it = m_controls.find(name);
    return it == m_controls.end() ? nullptr : it->second;
}

std::string MainWindow::caption(std::string_view c) const {
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
    return t ? typedBytes(t->text()) : std::string();
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

void MainWindow::releaseHeld() {
    if (m_held.empty()) return;
    const std::string name = std::exchange(m_held, {});
    if (auto* b = qobject_cast<QAbstractButton*>(control(name))) b->setDown(false);
    if (m_form) m_form->mouseUp(name);
}

void MainWindow::warn(const std::string& text, std::function<void()> afterDismiss) {
    if (afterDismiss) m_afterBox.push_back(std::move(afterDismiss));
    if (m_box) return; // at most one box; the operator has been told already
    m_box = new QMessageBox(QMessageBox::Warning, QString(), QString::fromStdString(text),
                            QMessageBox::Ok, this);
    m_box->setObjectName(QStringLiteral("warning"));
    m_box->setAttribute(Qt::WA_DeleteOnClose);
    m_box->setWindowModality(Qt::ApplicationModal);
    connect(m_box, &QMessageBox::finished, this, [this] {
        auto after = std::exchange(m_afterBox, {});
        for (auto& f : after) f();
    });
    // Opened after the running handler: a held button's release is never swallowed by it.
    QTimer::singleShot(0, this, [this, box = m_box] {
        releaseHeld();
        if (box) box->open();
    });
}

void MainWindow::end() {
    qApp->removeEventFilter(this);
    close();
    QCoreApplication::exit(0);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    const auto type = event->type();
    if (type == QEvent::KeyPress && m_form) {
        // The window sees every key before the focused control and passes it on.
        QWidget* focus = QApplication::focusWidget();
        if (watched == (focus ? focus : this) && (focus ? focus->window() == this : true)) {
            auto* k = static_cast<QKeyEvent*>(event);
            const auto m = k->modifiers();
            const int shift = (m & Qt::ShiftModifier ? Form1::kShiftMask : 0) |
                              (m & Qt::ControlModifier ? Form1::kCtrlMask : 0) |
                              (m & Qt::AltModifier ? Form1::kAltMask : 0);
            m_form->Form_KeyDown(k->key(), shift);
        }
        return false;
    }
    auto* button = qobject_cast<PanelButton*>(watched);
    if (!button || !button->held || !m_form) return false;
    const std::string name = button->objectName().toStdString();
    if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick) {
        if (m_held.empty()) {
            m_held = name;
            button->setDown(true);
            m_form->mouseDown(name);
        }
        return true;
    }
    if (type == QEvent::MouseButtonRelease) {
        if (m_held == name) releaseHeld();
        return true;
    }
    return false;
}

} // namespace tova
