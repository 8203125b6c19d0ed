// SPDX-License-Identifier: MIT
#pragma once
// The web listener: Qt's HTTP server on a bounded listener of ours, answering as the routes
// decide, and the pages' WebSockets (ours: the listener reads their openings, they never reach
// the HTTP server), each checked (Host, Origin, session) as it opens and closed with 1008 before
// a message is read when it fails, and closed with 1008 as soon as its session ends (logged out,
// a new password, expired); each page one client of the line, bounded in message size and in
// what it leaves unread.
#include "bridge/bridge_core.hpp"
#include "bridge_qt/bridge_plan.hpp"
#include "bridge_qt/web/http_listener.hpp"

#include "bridge_qt/web/page_socket.hpp"

#include <QAbstractHttpServer>
#include <QHostAddress>
#include <QPointer>
#include <QTcpSocket>
#include <QSslConfiguration>
#include <QTimer>

#include <functional>
#include <map>
#include <memory>
#include <optional>

namespace tova {

// The page's files, compiled in: only those the resource holds, by their exact names.
std::optional<bridge::WebFile> webPageFile(std::string_view path);

class WebFront : public QAbstractHttpServer {
    Q_OBJECT
  public:
    // What a page's socket may carry and leave unread.
    static constexpr qint64 kMaxMessage = static_cast<qint64>(bridge::WebRemote::kMaxMessage);

    struct Callbacks {
        std::function<void(bridge::Priority, const QString&)> log{};
        // Summarised by kind; from: the address it concerns.
        std::function<void(const QString& kind, const QString& text, const QString& from)> logLimited{};
    };
    // web: its places and access; core: the rules of its requests and pages.
    WebFront(WebPlan plan, const bridge::CoreWeb& web, bridge::BridgeCore& core, Callbacks callbacks);
    ~WebFront() override;

    bool listen(QString& error);
    QString name() const { return m_name; }
    int connections() const { return m_listener ? m_listener->connections() : 0; }
    std::size_t pages() const { return m_pages.size(); }
    // Pages whose session has ended are closed.
    void closeEndedSessions();

  protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

  private:
    struct Page {
        QPointer<PageSocket> socket;
        QString who;
        std::string session;
    };
    void opening(QTcpSocket* socket, const bridge::WebSocketOpening& o);
    void admit(PageSocket* page, const QString& who, std::string session);
    // An upgrade that is no page's opening: 400, and the connection ends.
    void refuseUpgrade(QTcpSocket* socket);
    void dropPage(ClientId id);
    void log(const QString& text, bridge::Priority priority = bridge::Priority::Notice) const;
    void logLimited(const QString& kind, const QString& text, const QString& from = {}) const;

    WebPlan m_plan;
    bridge::SlotRules m_places;
    bool m_login; // a password is needed
    bridge::BridgeCore& m_core;
    Callbacks m_tell;
    HttpListener* m_listener; // the HTTP server's child
    std::map<ClientId, Page> m_pages;
    QTimer m_expiry; // while pages are open: sessions end with their life
    QString m_name;
};

} // namespace tova
