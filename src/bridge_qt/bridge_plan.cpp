// SPDX-License-Identifier: MIT
#include "bridge_qt/bridge_plan.hpp"

#include "bridge_qt/password_file.hpp"

#include <QFile>
#include <QHostInfo>
#include <QNetworkInterface>
#include <QSslCertificate>
#include <QSslCipher>
#include <QSslKey>
#include <QSslSocket>

#include "bridge/settings_text.hpp"

#include <set>

namespace tova {
namespace {

constexpr int kUsage = 64, kNotNow = 2;

// The password file of a PJLink listener: its own, else the one every listener shares.
std::optional<std::string> passwordFileOf(const bridge::ListenerSpec& l, const bridge::BridgeSettings& s) {
    if (l.kind != bridge::ClientKind::Pjlink) return std::nullopt;
    return l.passwordFile ? l.passwordFile : s.passwordFile;
}

// An address, or a name looked up now, once (an IPv4 address first). One that does not resolve
// may resolve later.
std::variant<QHostAddress, PlanFailure> lookUp(const HostPort& where, const std::string& what) {
    const QString host = QString::fromStdString(where.host);
    QHostAddress address(host);
    if (!address.isNull()) return address;
    const QHostInfo found = QHostInfo::fromName(host);
    for (const QHostAddress& a : found.addresses())
        if (address.isNull() ||
            (a.protocol() == QAbstractSocket::IPv4Protocol && address.protocol() != QAbstractSocket::IPv4Protocol))
            address = a;
    if (address.isNull())
        return PlanFailure{kNotNow, QStringLiteral("%1: %2 does not resolve (%3)")
                                        .arg(QString::fromStdString(what), host, found.errorString())};
    return address;
}

// A PEM file of the TLS settings, read whole.
std::variant<QByteArray, PlanFailure> readPem(const std::string& file, const char* option) {
    const QString path = QString::fromStdString(file);
    if (const QString why = notARegularFile(path, 1 << 20); !why.isEmpty())
        return PlanFailure{kUsage, QStringLiteral("--%1 %2: %3").arg(QLatin1String(option), path, why)};
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return PlanFailure{kUsage, QStringLiteral("--%1 %2: %3").arg(QLatin1String(option), path, f.errorString())};
    return f.readAll();
}

// Mozilla's server-side TLS guidelines, "intermediate": TLS 1.3, and TLS 1.2 with forward-secret
// AEAD suites only.
constexpr const char* kIntermediateCiphers[] = {
    "TLS_AES_128_GCM_SHA256",        "TLS_AES_256_GCM_SHA384",        "TLS_CHACHA20_POLY1305_SHA256",
    "ECDHE-ECDSA-AES128-GCM-SHA256", "ECDHE-RSA-AES128-GCM-SHA256",   "ECDHE-ECDSA-AES256-GCM-SHA384",
    "ECDHE-RSA-AES256-GCM-SHA384",   "ECDHE-ECDSA-CHACHA20-POLY1305", "ECDHE-RSA-CHACHA20-POLY1305",
    "DHE-RSA-AES128-GCM-SHA256",     "DHE-RSA-AES256-GCM-SHA384",     "DHE-RSA-CHACHA20-POLY1305",
};

std::variant<QSslConfiguration, PlanFailure> tlsOf(const bridge::WebSettings& w) {
    if (!QSslSocket::supportsSsl())
        return PlanFailure{kUsage, QStringLiteral("--http-cert: this system's Qt has no TLS backend")};
    auto cert = readPem(*w.cert, "http-cert");
    if (auto* f = std::get_if<PlanFailure>(&cert)) return *f;
    auto key = readPem(*w.key, "http-key");
    if (auto* f = std::get_if<PlanFailure>(&key)) return *f;
    const QList<QSslCertificate> chain = QSslCertificate::fromData(std::get<QByteArray>(cert), QSsl::Pem);
    if (chain.isEmpty())
        return PlanFailure{kUsage, QStringLiteral("--http-cert %1: no PEM certificate in it").arg(QString::fromStdString(*w.cert))};
    QSslKey privateKey;
    for (QSsl::KeyAlgorithm a : {QSsl::Rsa, QSsl::Ec, QSsl::Dsa})
        if (privateKey.isNull()) privateKey = QSslKey(std::get<QByteArray>(key), a, QSsl::Pem);
    if (privateKey.isNull())
        return PlanFailure{kUsage, QStringLiteral("--http-key %1: no unencrypted PEM private key in it").arg(QString::fromStdString(*w.key))};
    QSslConfiguration c = QSslConfiguration::defaultConfiguration();
    c.setLocalCertificateChain(chain);
    c.setPrivateKey(privateKey);
    c.setPeerVerifyMode(QSslSocket::VerifyNone); // browsers bring no certificate
    c.setProtocol(QSsl::TlsV1_2OrLater);
    QList<QSslCipher> ciphers;
    const QList<QSslCipher> supported = QSslConfiguration::supportedCiphers();
    for (const char* name : kIntermediateCiphers)
        for (const QSslCipher& s : supported)
            if (s.name() == QLatin1String(name) && !ciphers.contains(s)) ciphers.push_back(s);
    if (ciphers.isEmpty()) return PlanFailure{kUsage, QStringLiteral("--http-cert: this system's TLS offers none of the ciphers allowed")};
    c.setCiphers(ciphers);
    return c;
}

// The web listener: its address, the names it answers to, its secrets. Off the loopback it
// needs a password.
std::optional<PlanFailure> planWeb(const bridge::BridgeSettings& s, WebPlan& plan, bridge::CoreWeb& core) {
    const bridge::WebSettings& w = s.web;
    auto address = lookUp(*w.listen, "--http");
    if (auto* failed = std::get_if<PlanFailure>(&address)) return *failed;
    plan.address = std::get<QHostAddress>(address);
    plan.port = static_cast<quint16>(w.listen->port);
    core.places = bridge::webSlotRules(s);
    bridge::WebAccessConfig& a = core.access;
    a.port = w.listen->port;
    a.metricsOpen = w.metricsOpen.value_or(false);
    a.tls = w.cert.has_value();
    // The names a browser may use for it: as given, its address, every address of the machine
    // when it listens on all of them, and the names given.
    a.hosts.push_back(w.listen->host);
    a.hosts.push_back(plan.address.toString().toStdString());
    if (plan.address == QHostAddress::AnyIPv4 || plan.address == QHostAddress::AnyIPv6 || plan.address == QHostAddress::Any)
        for (const QHostAddress& each : QNetworkInterface::allAddresses()) {
            QHostAddress bare = each;
            bare.setScopeId({});
            a.hosts.push_back(bare.toString().toStdString());
        }
    a.hosts.insert(a.hosts.end(), w.names.begin(), w.names.end());
    // A secret's file, read as a password file is; nullopt when none is given.
    auto secret = [](const std::optional<std::string>& file, bridge::SecretLength length, const char* option,
                     std::optional<std::string>& to) -> std::optional<PlanFailure> {
        if (!file) return std::nullopt;
        const QString path = QString::fromStdString(*file);
        auto read = readPasswordFile(path, length);
        if (auto* why = std::get_if<QString>(&read))
            return PlanFailure{kUsage, QStringLiteral("--%1 %2: %3").arg(QLatin1String(option), path, *why)};
        to = std::get<std::string>(read);
        return std::nullopt;
    };
    if (auto failed = secret(w.passwordFile, bridge::kWebPassword, "http-password-file", a.password)) return *failed;
    if (!w.passwordFile && !plan.address.isLoopback())
        return PlanFailure{kUsage, QStringLiteral("--http %1 is not a loopback address: give --http-password-file")
                                       .arg(QString::fromStdString(formatHostPort(*w.listen)))};
    if (auto failed = secret(w.metricsTokenFile, bridge::kMetricsToken, "metrics-token-file", a.metricsToken)) return *failed;
    if (a.tls) {
        auto tls = tlsOf(w);
        if (auto* failed = std::get_if<PlanFailure>(&tls)) return *failed;
        plan.tls = std::get<QSslConfiguration>(tls);
    }
    return std::nullopt;
}

} // namespace

std::variant<bridge::BridgeSettings, PlanFailure> readSettingsFile(const QString& path) {
    if (const QString why = notARegularFile(path, 1 << 20); !why.isEmpty())
        return PlanFailure{kUsage, QStringLiteral("--config %1: %2").arg(path, why)};
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return PlanFailure{kUsage, QStringLiteral("--config %1: %2").arg(path, f.errorString())};
    const QByteArray text = f.readAll();
    auto read = bridge::readSettingsText(std::string_view(text.constData(), std::size_t(text.size())), path.toStdString());
    if (auto* why = std::get_if<std::string>(&read)) return PlanFailure{kUsage, QString::fromStdString(*why)};
    return std::get<bridge::BridgeSettings>(read);
}

std::variant<BridgePlan, PlanFailure> planBridge(const bridge::BridgeSettings& s, const std::string& info) {
    BridgePlan o;
    bridge::CorePlan& core = o.core;
    core.settings = LineSettings{s.speed.value_or(19200)};
    core.verbose = s.verbose.value_or(false);
    core.pollSeconds = s.pollSeconds.value_or(bridge::kDefaultPollSeconds);
    core.version = TOVA_VERSION;
    if (s.search) {
        auto a = lookUp(*s.search, "--search");
        if (auto* failed = std::get_if<PlanFailure>(&a)) return *failed;
        o.search = {std::get<QHostAddress>(a), static_cast<quint16>(s.search->port)};
        core.controllerPort = s.search->port;
    }
    for (const auto& n : s.notify) {
        auto a = lookUp(n, "--notify");
        if (auto* failed = std::get_if<PlanFailure>(&a)) return *failed;
        core.notify.push_back({std::get<QHostAddress>(a).toString().toStdString(), n.port});
    }
    for (const auto& spec : s.listeners) {
        auto address = lookUp(spec.where, spec.label);
        if (auto* failed = std::get_if<PlanFailure>(&address)) return *failed;
        bridge::CoreListener l{spec.kind, bridge::projectorConfig(s, spec), bridge::slotRulesOf(spec, s)};
        l.config.info = info;
        if (const auto file = passwordFileOf(spec, s)) {
            const QString path = QString::fromStdString(*file);
            auto password = readPasswordFile(path);
            if (auto* why = std::get_if<QString>(&password))
                return PlanFailure{kUsage, QStringLiteral("password file %1: %2").arg(path, *why)};
            l.config.password = std::get<std::string>(password);
        }
        core.listeners.push_back(std::move(l));
        o.listeners.push_back({spec, std::get<QHostAddress>(address)});
    }
    if (s.web.listen) {
        o.web.emplace();
        core.web.emplace();
        if (auto failed = planWeb(s, *o.web, *core.web)) return *failed;
    }
    return o;
}

std::optional<std::string> rereadWebPassword(const bridge::BridgeSettings& s, std::vector<QString>& problems) {
    if (!s.web.passwordFile) return std::nullopt;
    const QString path = QString::fromStdString(*s.web.passwordFile);
    auto read = readPasswordFile(path, bridge::kWebPassword);
    if (auto* why = std::get_if<QString>(&read)) {
        problems.push_back(QStringLiteral("password file %1: %2; the password in force stays").arg(path, *why));
        return std::nullopt;
    }
    return std::get<std::string>(read);
}

std::vector<std::optional<std::string>> rereadPasswords(const bridge::BridgeSettings& s, std::vector<QString>& problems) {
    std::vector<std::optional<std::string>> out;
    for (const auto& l : s.listeners) {
        std::optional<std::string> password;
        if (const auto file = passwordFileOf(l, s)) {
            const QString path = QString::fromStdString(*file);
            auto read = readPasswordFile(path);
            if (auto* why = std::get_if<QString>(&read))
                problems.push_back(QStringLiteral("password file %1: %2; the password in force stays").arg(path, *why));
            else
                password = std::get<std::string>(read);
        }
        out.push_back(password);
    }
    return out;
}

long long memoryLimit() {
    QFile groups(QStringLiteral("/proc/self/cgroup"));
    if (!groups.open(QIODevice::ReadOnly)) return -1;
    long long limit = -1;
    // "0::/system.slice/x.service" (v2), "4:memory:/x" (v1): the tightest limit either sets.
    for (const QByteArray& line : groups.readAll().split('\n')) {
        const QList<QByteArray> parts = line.split(':');
        if (parts.size() < 3) continue;
        const QString path = QString::fromUtf8(line.mid(parts[0].size() + parts[1].size() + 2));
        QString file;
        if (parts[0] == "0" && parts[1].isEmpty()) file = QStringLiteral("/sys/fs/cgroup%1/memory.max").arg(path);
        else if (parts[1].split(',').contains("memory")) file = QStringLiteral("/sys/fs/cgroup/memory%1/memory.limit_in_bytes").arg(path);
        QFile f(file);
        if (file.isEmpty() || !f.open(QIODevice::ReadOnly)) continue;
        bool number = false;
        const long long bytes = f.readAll().trimmed().toLongLong(&number);
        // v1 says "no limit" with a number near the largest it has.
        if (number && bytes > 0 && bytes < (1LL << 60) && (limit < 0 || bytes < limit)) limit = bytes;
    }
    return limit;
}

std::vector<QString> startUpWarnings(const bridge::BridgeSettings& s, const BridgePlan& plan, SystemLimits limits) {
    const long fileLimit = limits.files;
    std::vector<QString> out;
    std::set<std::string> told;
    std::vector<std::string> secrets;
    for (const auto& l : s.listeners)
        if (const auto file = passwordFileOf(l, s)) secrets.push_back(*file);
    for (const auto& file : {s.web.passwordFile, s.web.metricsTokenFile, s.web.key})
        if (file) secrets.push_back(*file);
    for (const auto& file : secrets)
        if (told.insert(file).second && readableByAll(QString::fromStdString(file)))
            out.push_back(QStringLiteral("warning: %1 is readable by every user of this computer (chmod o-r %1)")
                              .arg(QString::fromStdString(file)));
    long clients = plan.core.web ? plan.core.web->places.size : 0;
    for (const auto& l : plan.core.listeners) clients += l.places.size;
    // Each client takes a descriptor; the line, the listeners, the trace and the libraries some.
    const long reserved = 64 + static_cast<long>(plan.listeners.size());
    if (fileLimit >= 0 && clients + reserved > fileLimit)
        out.push_back(QStringLiteral("warning: the listeners admit %1 clients, but only %2 files may be open: "
                                     "past that, connections wait until others close")
                          .arg(clients)
                          .arg(fileLimit));
    const std::uint64_t most = bridge::mostMemory(plan.core);
    if (limits.memoryBytes > 0 && most > std::uint64_t(limits.memoryBytes))
        out.push_back(QStringLiteral("warning: with every place taken the bridge may hold up to %1 MiB, more than its "
                                     "memory limit of %2 MiB: past that the service restarts and every client is dropped; "
                                     "raise MemoryMax= with a drop-in (systemctl edit), or give fewer places "
                                     "(max-clients, http-max-clients)")
                          .arg(most >> 20)
                          .arg(limits.memoryBytes >> 20));
    return out;
}

} // namespace tova
