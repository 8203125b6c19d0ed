// SPDX-License-Identifier: MIT
#include "panel_qt/qt_dialogs.hpp"

#include <QCursor>
#include <QInputDialog>
#include <QMenu>
#include <QMessageBox>

#include <memory>

namespace tova {

void openBox(QWidget* parent, const std::string& title, const std::string& text, bool question,
             std::function<void(bool yes)> closed) {
    auto* box = new QMessageBox(QMessageBox::Warning, QString::fromStdString(title), QString::fromStdString(text),
                                question ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, parent);
    box->setObjectName(QStringLiteral("warning"));
    if (question) box->setDefaultButton(QMessageBox::Yes);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::ApplicationModal);
    QObject::connect(box, &QMessageBox::finished, parent, [box, closed = std::move(closed)] {
        closed(box->clickedButton() && box->clickedButton() == box->button(QMessageBox::Yes));
    });
    box->open();
}

namespace {

void fill(QMenu* menu, const std::vector<MenuEntry>& entries, const std::shared_ptr<std::function<void(const MenuEntry&)>>& chosen) {
    for (const MenuEntry& e : entries) {
        const QString text = QString::fromStdString(e.text);
        if (!e.entries.empty()) {
            fill(menu->addMenu(text), e.entries, chosen);
            continue;
        }
        QAction* a = menu->addAction(text);
        a->setCheckable(e.checked);
        a->setChecked(e.checked);
        QObject::connect(a, &QAction::triggered, menu, [chosen, e] { (*chosen)(e); });
    }
}

} // namespace

void popUpMenu(QWidget* parent, const std::vector<MenuEntry>& menu, std::function<void(const MenuEntry&)> chosen) {
    auto* m = new QMenu(parent);
    m->setObjectName(QStringLiteral("portMenu"));
    m->setAttribute(Qt::WA_DeleteOnClose);
    fill(m, menu, std::make_shared<std::function<void(const MenuEntry&)>>(std::move(chosen)));
    m->popup(QCursor::pos());
}

void askLine(QWidget* parent, const std::string& title, const std::string& prompt, const std::string& initial,
             std::function<void(std::optional<std::string>)> answered) {
    auto* d = new QInputDialog(parent);
    d->setObjectName(QStringLiteral("askText"));
    d->setWindowTitle(QString::fromStdString(title));
    d->setLabelText(QString::fromStdString(prompt));
    d->setTextValue(QString::fromStdString(initial));
    d->setAttribute(Qt::WA_DeleteOnClose);
    d->setWindowModality(Qt::ApplicationModal);
    QObject::connect(d, &QInputDialog::finished, parent, [d, answered = std::move(answered)](int result) {
        if (result == QDialog::Accepted) answered(d->textValue().toStdString());
        else answered(std::nullopt);
    });
    d->open();
}

} // namespace tova
