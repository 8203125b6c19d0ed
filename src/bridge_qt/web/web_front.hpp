// SPDX-License-Identifier: MIT
#pragma once
// The web listener: Qt's HTTP server on a bounded listener of ours, answering as the routes
// decide, and the pages' WebSockets, each checked (a well-formed upgrade, Host, Origin, session)
// as it opens and closed with 1008 before a message is read when it fails, and closed with 1008
// as soon as its session ends (logged out, a new password, expired); each page one client of
// the line, bounded in message size and in what it leaves unread.
#include "bridge/client_bounds.hpp"
#include "bridge/client_registry.hpp"
#include "bridge/web/web_access.hpp"
#include "bridge/web/web_remote.hpp"
#include "bridge/web/web_routes.hpp"
#include "bridge_qt/bridge_plan.hpp"
#include "bridge_qt/web/http_listener.hpp"
#include "core/clock.hpp"
#include "qt/qt_timer.hpp"

#include <QAbstractHttpServer>
#include <QHostAddress>
#include <QPointer>
#include <QTcpSocket>
#include <QSslConfiguration>
#include <QTimer>
#include <QWebSocketProtocol>

#include <functional>
#include <map>
#include <memory>
#include <optional>

class QWebSocket;

namespace tova {

class WebFront : public QAbstractHttpServer {
    Q_OBJECT
  public:
    // What a page's socket may carry and leave unread.
    static constexpr qint64 kMaxMessage = static_cast<qint64>(bridge::WebRemote::kMaxMessage);

    struct Line {
        ExchangeQueue& queue;
        bridge::ClientRegistry& clients;
        int registryListener;
        bridge::DigestBackoff& backoff;
        const Clock& clock;
    };
    struct Callbacks {
        std::function<void(const QString&)> log{};
        // Summarised by kind; from: the address it concerns.
        std::function<void(const QString& kind, const QString& text, const QString& from)> logLimited{};
        std::function<std::string()> metrics{};                                     // /metrics as it stands
    };
    WebFront(WebPlan plan, Line line, std::vector<bridge::ServedProjector> projectors, Callbacks callbacks);
    ~WebFront() override;

    bool listen(QString& error);
    QString name() const { return m_name; }
    int connections() const { return m_listener->connections(); }
    std::uint64_t failures() const { return m_access.failures(); }
    bridge::WebRemote& remote() { return m_remote; }
    void setPassword(std::optional<std::string> password);

  protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

  private:
    struct Page {
        QWebSocket* socket = nullptr;
        QString who;
        std::string session;
        QPointer<QTcpSocket> raw; // the connection it runs on, whose bounds it keeps
    };
    void acceptSockets();
    void admit(QWebSocket* ws, const QString& who, std::string session);
    // Pages whose session has ended are closed.
    void closeEndedSessions();
    void refuse(QWebSocket* ws, QWebSocketProtocol::CloseCode code, const QString& why);
    void dropPage(ClientId id);
    void log(const QString& text) const;
    void logLimited(const QString& kind, const QString& text, const QString& from = {}) const;

    WebPlan m_plan;
    Line m_line;
    Callbacks m_tell;
    HttpListener* m_listener; // the HTTP server's child
    bridge::WebAccess m_access;
    bridge::WebRoutes m_routes;
    bridge::WebRemote m_remote;
    std::map<ClientId, Page> m_pages;
    QTimer m_expiry; // while pages are open: sessions end with their life
    QString m_name;
};

} // namespace tova
