// SPDX-License-Identifier: MIT
#include "panel_qt/widget_factory.hpp"

#include "tables/controls.hpp"
#include "tables/layout_table.hpp"
#include "window/control_plan.hpp"
#include "tables/picture.hpp"
#include "panel_qt/panel_widgets.hpp"

#include <QButtonGroup>
#include <QFrame>
#include <QImage>
#include <QPixmap>

#include <limits>

namespace tova {
namespace {

// The picture at the top right, from the pixels compiled in.
QPixmap picture() {
    const PicturePixels& p = picturePixels();
    QImage image(p.width, p.height, QImage::Format_RGB32);
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) image.setPixel(x, y, p.rgb[std::size_t(y * p.width + x)]);
    return QPixmap::fromImage(image);
}

QFont fontFor(FontCode code) {
    const FontSpec s = fontSpec(code);
    // IPAGothic and IPAPGothic stand in for the fixed-pitch and proportional Japanese faces.
    QFont f(s.proportional ? QStringLiteral("IPAPGothic") : QStringLiteral("IPAGothic"));
    f.setPixelSize(qRound(s.points * 96.0 / 72.0)); // sized as at 96 dpi, like the geometry
    f.setBold(s.bold);
    f.setStyleHint(s.proportional ? QFont::SansSerif : QFont::Monospace);
    return f;
}

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

QWidget* make(const PlannedControl& planned, QWidget* parent, std::map<std::string_view, QButtonGroup*>& groups) {
    const LayoutControl& c = *planned.layout;
    switch (c.kind) {
    case Kind::Frame: {
        auto* f = new QFrame(parent);
        f->setFrameStyle(QFrame::Box | QFrame::Sunken); // etched, as a frame without caption
        return f;
    }
    case Kind::Label: {
        auto* l = new QLabel(qs(c.caption), parent);
        l->setTextFormat(Qt::PlainText);
        l->setAlignment(alignmentOf(c.align));
        if (c.border) l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        l->setAccessibleName(qs(c.caption));
        return l;
    }
    case Kind::Button: {
        auto* b = new PanelButton(buttonText(c.caption), parent);
        b->held = planned.held;
        b->setAutoDefault(false);
        b->setAccessibleName(qs(c.caption));
        return b;
    }
    case Kind::Option: {
        auto* o = new PanelOption(qs(c.caption), parent);
        o->setAccessibleName(qs(c.caption));
        auto& g = groups[c.container];
        if (!g) g = new QButtonGroup(parent);
        g->addButton(o);
        o->setChecked(c.marked);
        return o;
    }
    case Kind::TextBox: {
        auto* t = new CommandBox(parent);
        t->setMaxLength(std::numeric_limits<int>::max()); // no length limit
        t->setAccessibleName(QStringLiteral("CMD"));
        return t;
    }
    case Kind::Picture: {
        auto* p = new Picture(parent);
        p->setPixmap(picture());
        p->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        p->setAccessibleName(QStringLiteral("TOVA"));
        return p;
    }
    }
    return nullptr;
}

} // namespace

QString qs(std::string_view s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

QString buttonText(std::string_view caption) {
    return qs(caption).replace(QLatin1Char('&'), QStringLiteral("&&")); // no mnemonics
}

QFont windowFont() { return fontFor(FontCode::W); }

Stage stageOf(std::string_view name) {
    static const std::string_view box = findLayoutControl(ctl::CommandBox)->container;
    const LayoutControl* c = findLayoutControl(name);
    return c && (c->name == box || c->container == box) ? Stage::AfterFirstPaint : Stage::BeforeShow;
}

void buildControls(QWidget* surface, Controls& controls, Stage stage) {
    std::map<std::string_view, QButtonGroup*> groups;
    for (const PlannedControl& planned : planControls(96)) {
        const LayoutControl& c = *planned.layout;
        if (stageOf(c.name) != stage) continue;
        QWidget* parent = c.container.empty() ? surface : controls.find(c.container)->second;
        QWidget* w = make(planned, parent, groups);
        w->setObjectName(qs(c.name));
        w->setGeometry(planned.place.left, planned.place.top, planned.place.width, planned.place.height);
        // A control in its container's font inherits it: one font less to resolve at start.
        if (planned.ownFont) w->setFont(fontFor(c.font));
        paint(w, c);
        w->setVisible(c.visible);
        if (!planned.takesFocus) w->setFocusPolicy(Qt::NoFocus);
        controls.emplace(std::string(c.name), w);
    }
    // The layout's tab order, through every control built so far.
    QWidget* previous = nullptr;
    for (std::string_view name : tabOrder()) {
        const auto it = controls.find(name);
        if (it == controls.end()) continue;
        if (previous) QWidget::setTabOrder(previous, it->second);
        previous = it->second;
    }
}

} // namespace tova
