// SPDX-License-Identifier: MIT
// Who may use the web listener, request by request: the Host and Origin lists, login and its
// back-off, sessions and their limits, the metrics' access, and what each route answers.
#include "bridge/web/request_framing.hpp"
#include "bridge/web/web_access.hpp"
#include "bridge/web/web_routes.hpp"
#include "fakes.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

using namespace tova;
using namespace tova::bridge;
using namespace tova::test;

namespace {

struct AccessRig {
    FakeClock clock;
    DigestBackoff backoff{clock};
    int ids = 0;
    WebAccess access;
    WebRoutes routes{access,
                     {[](std::string_view path) -> std::optional<WebFile> {
                          if (path == "/index.html") return WebFile{"text/html", "<!doctype html>"};
                          return std::nullopt;
                      },
                      [] { return std::string("{\"projectors\":[]}"); }, [] { return std::string("tova_line_up 1\n"); }}};
    explicit AccessRig(WebAccessConfig c)
        : access(std::move(c), clock, backoff, [this](std::size_t n) {
              std::string id = std::to_string(++ids);
              return std::string(n - id.size(), '0') + id;
          }) {}
    WebReply request(std::string method, std::string path, std::string body = {}, std::string cookie = {},
                     std::string origin = "http://bridge.example:8080", std::string host = "bridge.example:8080",
                     std::string authorization = {}) {
        return routes.handle({std::move(method), std::move(path), std::move(host), std::move(origin), std::move(cookie),
                              std::move(authorization), std::move(body), "192.0.2.7"});
    }
    WebReply loginFrom(const std::string& peer, const std::string& password) {
        return routes.handle({"POST", "/login", "bridge.example:8080", "http://bridge.example:8080", {}, {},
                              "password=" + password, peer});
    }
    // The session cookie of a good login, as the browser sends it back.
    std::string login() {
        const WebReply r = request("POST", "/login", "password=s3cret%20word");
        EXPECT_EQ(r.status, 204);
        const auto& set = r.headers.at(0).second;
        return set.substr(0, set.find(';'));
    }
};

WebAccessConfig lanConfig() {
    WebAccessConfig c;
    c.hosts = {"192.0.2.10", "Bridge.Example", "::1"};
    c.port = 8080;
    c.password = "s3cret word";
    c.metricsToken = "0123456789abcdef";
    return c;
}

std::string header(const WebReply& r, std::string_view name) {
    for (const auto& [k, v] : r.headers)
        if (k == name) return v;
    return {};
}

} // namespace

TEST(WebAccess, HostAndOriginMustNameTheListener) {
    AccessRig r(lanConfig());
    struct Case {
        const char* text;
        bool host, origin;
    };
    const Case cases[] = {
        {"192.0.2.10:8080", true, false},
        {"bridge.example:8080", true, false}, // names compare in any case
        {"BRIDGE.EXAMPLE:8080", true, false},
        {"[::1]:8080", true, false},
        {"bridge.example", false, false}, // port 80 is not the listener's
        {"bridge.example:8081", false, false},
        {"attacker.example:8080", false, false}, // a rebound name
        {"192.0.2.10:8080/x", false, false},
        {"", false, false},
        {"[::1:8080", false, false},
        {"bridge.example:99999", false, false},
        {"http://bridge.example:8080", false, true},
        {"http://192.0.2.10:8080", false, true},
        {"http://[::1]:8080", false, true},
        {"https://bridge.example:8080", false, false}, // not over TLS
        {"http://bridge.example:8080/", false, false},
        {"http://evil.example:8080", false, false},
        {"null", false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(r.access.hostAllowed(c.text), c.host) << c.text;
        EXPECT_EQ(r.access.originAllowed(c.text), c.origin) << c.text;
    }
    WebAccessConfig tls = lanConfig();
    tls.tls = true;
    tls.port = 443;
    AccessRig t(tls);
    EXPECT_TRUE(t.access.hostAllowed("bridge.example"));
    EXPECT_TRUE(t.access.originAllowed("https://bridge.example"));
    EXPECT_FALSE(t.access.originAllowed("http://bridge.example"));
}

TEST(WebAccess, CookiesAndFormsAreReadAsWritten) {
    EXPECT_EQ(cookieValue("a=1; tova_session=abc; b=2", "tova_session"), "abc");
    EXPECT_EQ(cookieValue("tova_session_x=1;tova_session = def ", "tova_session"), "def");
    EXPECT_EQ(cookieValue("a=1", "tova_session"), "");
    EXPECT_EQ(formField("a=1&password=x%26y+z", "password"), "x&y z");
    EXPECT_EQ(formField("password=%2", "password"), std::nullopt);
    EXPECT_EQ(formField("password=%41", "password"), "A"); // an escape that ends the body
    EXPECT_EQ(formField("password=a%4", "password"), std::nullopt);
    EXPECT_EQ(formField("password=%4G", "password"), std::nullopt);
    EXPECT_EQ(formField("password=%g1%af%AF%09", "password"), std::nullopt);
    EXPECT_EQ(formField("password=%af%AF%09%7e", "password"), "\xaf\xaf\t~");
    EXPECT_EQ(formField("pass=1", "password"), std::nullopt);
    EXPECT_TRUE(sameSecret("abc", "abc"));
    EXPECT_FALSE(sameSecret("abd", "abc"));
    EXPECT_FALSE(sameSecret("ab", "abc"));
    EXPECT_FALSE(sameSecret("", ""));
}

// Near misses of a secret: one character changed first, in the middle and last, one short, one
// long. A comparison that stops early or looks at fewer bytes than all passes one of them.
std::vector<std::string> nearMisses(const std::string& s) {
    auto changed = [&](std::size_t i) {
        std::string t = s;
        t[i] = t[i] == 'x' ? 'y' : 'x';
        return t;
    };
    return {changed(0), changed(s.size() / 2), changed(s.size() - 1), s.substr(0, s.size() - 1), s + "x", s + s};
}

TEST(WebAccess, EverySecretIsComparedInFull) {
    AccessRig r(lanConfig());
    const std::string session = r.login();
    const std::string id = std::string(WebAccess::sessionOf(session));
    const std::string password = "s3cret word", token = *lanConfig().metricsToken;
    struct Secret {
        const char* what;
        std::string right;
        std::function<int(const std::string&)> status; // of a request that carries it
    } secrets[] = {
        {"password", password, [&](const std::string& p) {
             static int peer = 0; // each guess from its own address: no back-off in the way
             return r.loginFrom("198.51.100." + std::to_string(++peer), p).status;
         }},
        {"metrics token", token,
         [&](const std::string& t) {
             return r.request("GET", "/metrics", {}, {}, {}, "bridge.example:8080", "Bearer " + t).status;
         }},
        {"session", id, [&](const std::string& s) { return r.request("GET", "/tables", {}, "tova_session=" + s).status; }},
    };
    for (const auto& s : secrets) {
        for (const std::string& miss : nearMisses(s.right)) EXPECT_EQ(s.status(miss), 401) << s.what << ": " << miss;
        EXPECT_EQ(s.status(s.right), s.right == password ? 204 : 200) << s.what;
    }
    EXPECT_FALSE(sameSecret("", ""));
}

TEST(WebAccess, LoginOpensAFreshSessionWithSafeCookieFlags) {
    AccessRig r(lanConfig());
    const WebReply ok = r.request("POST", "/login", "password=s3cret%20word");
    ASSERT_EQ(ok.status, 204);
    const std::string set = header(ok, "Set-Cookie");
    EXPECT_EQ(set, "tova_session=00000000000000000000000000000001; Path=/; Max-Age=43200; HttpOnly; SameSite=Strict");
    const std::string second = r.login();
    EXPECT_NE(set.substr(0, set.find(';')), second); // a fresh id at every login
    EXPECT_EQ(r.request("GET", "/tables", {}, second).status, 200);
    EXPECT_EQ(r.request("GET", "/tables", {}, "tova_session=00000000000000000000000000000099").status, 401);
    // Logged out, the cookie opens nothing and is removed.
    const WebReply out = r.request("POST", "/logout", {}, second);
    EXPECT_EQ(out.status, 204);
    EXPECT_NE(header(out, "Set-Cookie").find("Max-Age=0"), std::string::npos);
    EXPECT_EQ(r.request("GET", "/tables", {}, second).status, 401);
    // Over TLS the cookie is Secure.
    WebAccessConfig tls = lanConfig();
    tls.tls = true;
    AccessRig t(tls);
    const WebReply secure = t.request("POST", "/login", "password=s3cret%20word", {}, "https://bridge.example:8080");
    EXPECT_NE(header(secure, "Set-Cookie").find("; Secure"), std::string::npos);
}

TEST(WebAccess, SessionsLastTwelveHoursAndAtMostSixtyFourAreKept) {
    AccessRig r(lanConfig());
    const std::string first = r.login();
    r.clock.advance(1000);
    std::vector<std::string> later;
    for (std::size_t i = 1; i < WebAccess::kMaxSessions; ++i) later.push_back(r.login());
    EXPECT_EQ(r.access.sessions(), WebAccess::kMaxSessions);
    EXPECT_TRUE(r.access.loggedIn(first));
    r.login(); // the 65th: the oldest goes
    EXPECT_EQ(r.access.sessions(), WebAccess::kMaxSessions);
    EXPECT_FALSE(r.access.loggedIn(first));
    EXPECT_TRUE(r.access.loggedIn(later.front()));
    r.clock.advance(12LL * 3600 * 1000 - 1); // the later ones were opened a second in
    EXPECT_TRUE(r.access.loggedIn(later.front()));
    r.clock.advance(1);
    EXPECT_FALSE(r.access.loggedIn(later.front()));
}

TEST(WebAccess, WrongPasswordsEarnTheDigestsBackOff) {
    AccessRig r(lanConfig());
    for (int i = 0; i < DigestBackoff::kLimit; ++i) EXPECT_EQ(r.request("POST", "/login", "password=guess").status, 401) << i;
    // Banned: even the right password is not looked at for a minute.
    EXPECT_EQ(r.request("POST", "/login", "password=s3cret%20word").status, 429);
    EXPECT_EQ(r.access.failures(), std::uint64_t(DigestBackoff::kLimit));
    r.clock.advance(DigestBackoff::kBan.count());
    EXPECT_EQ(r.request("POST", "/login", "password=s3cret%20word").status, 204);
}

// Guesses from rotating addresses: past thirty wrong passwords a minute from all addresses
// together, each further one is refused at once; the right one still opens a session, and an
// address banned for its own guesses stays banned whatever the others do.
TEST(WebAccess, WrongPasswordsFromEverywhereAreRefusedAtOnce) {
    AccessRig r(lanConfig());
    for (int i = 0; i < DigestBackoff::kLimit; ++i) r.loginFrom("192.0.2.7", "guess");
    std::map<int, int> statuses;
    for (int i = 0; i < 1100; ++i) ++statuses[r.loginFrom("10.1." + std::to_string(i / 250) + "." + std::to_string(i % 250), "guess").status];
    EXPECT_EQ(statuses[401], int(WebAccess::kFailuresPerMinute) - DigestBackoff::kLimit);
    EXPECT_EQ(statuses[429], 1100 - statuses[401]);
    EXPECT_EQ(r.loginFrom("10.9.9.9", "s3cret%20word").status, 204);
    EXPECT_EQ(r.loginFrom("192.0.2.7", "s3cret%20word").status, 429); // still banned
    r.clock.advance(DigestBackoff::kBan.count());
    EXPECT_EQ(r.loginFrom("192.0.2.7", "s3cret%20word").status, 204);
    EXPECT_EQ(r.loginFrom("10.9.9.8", "guess").status, 401); // a quiet minute later: counted afresh
}

// A page lives as long as its session: a logout, a new password or its twelve hours end it; a
// password read again unchanged ends nothing.
TEST(WebAccess, ANewPasswordEndsEverySessionTheSameEndsNone) {
    AccessRig r(lanConfig());
    const std::string a = WebAccess::sessionOf(r.login()), b = WebAccess::sessionOf(r.login());
    EXPECT_TRUE(r.access.live(a));
    EXPECT_FALSE(r.access.live(""));
    EXPECT_FALSE(r.access.setPassword("s3cret word"));
    EXPECT_TRUE(r.access.live(a));
    r.access.logout("tova_session=" + a);
    EXPECT_FALSE(r.access.live(a));
    EXPECT_TRUE(r.access.live(b));
    EXPECT_TRUE(r.access.setPassword("another s3cret"));
    EXPECT_FALSE(r.access.live(b));
    EXPECT_EQ(r.loginFrom("192.0.2.8", "another%20s3cret").status, 204);
    const std::string c = WebAccess::sessionOf(header(r.loginFrom("192.0.2.8", "another%20s3cret"), "Set-Cookie"));
    r.clock.advance(std::chrono::duration_cast<std::chrono::milliseconds>(WebAccess::kSessionLife).count());
    EXPECT_FALSE(r.access.live(c));
    WebAccessConfig open = lanConfig();
    open.password.reset();
    AccessRig loopback(open);
    EXPECT_TRUE(loopback.access.live("")); // no password: every page is in
}

// Whether a request's length can be read only one way, on its bytes in any pieces.
TEST(RequestFraming, ALengthReadTwoWaysIsRefused) {
    struct Case {
        std::string bytes;
        const char* refused; // a word of why; empty: fine
    } cases[] = {
        {"GET / HTTP/1.1\r\nHost: a\r\n\r\n", ""},
        {"POST /login HTTP/1.1\r\nContent-Length: 5\r\n\r\nabcdeGET / HTTP/1.1\r\n\r\n", ""},
        {"\r\nGET / HTTP/1.1\nHost: a\n\n", ""}, // bare line feeds, a blank line before
        {"POST / HTTP/1.1\r\nContent-Length: 4\r\nTransfer-Encoding: chunked\r\n\r\n", "together"},
        {"POST / HTTP/1.1\r\ntransfer-encoding: chunked\r\ncontent-LENGTH: 4\r\n\r\n", "together"},
        {"POST / HTTP/1.1\r\nContent-Length: 4\r\nContent-Length: 4\r\n\r\n", "two Content-Lengths"},
        {"POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n", "Transfer-Encoding"},
        {"POST / HTTP/1.1\r\nContent-Length: 4x\r\n\r\n", "no number"},
        {"POST / HTTP/1.1\r\nContent-Length: -1\r\n\r\n", "no number"},
        {"POST / HTTP/1.1\r\nContent-Length: 000000000002\r\n\r\nab", ""}, // twelve digits, the most
        {"POST / HTTP/1.1\r\nContent-Length: 9\r\n\r\n123456789", ""},
        {"POST / HTTP/1.1\r\nContent-Length: 0000000000002\r\n\r\nab", "no number"},
        {"POST / HTTP/1.1\r\nContent-Length: \r\n\r\n", "no number"},
        // A body that holds what looks like a head is a body; the next request's head is checked.
        {"POST / HTTP/1.1\r\nContent-Length: 44\r\n\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\n"
         "GET / HTTP/1.1\r\nContent-Length: 1\r\nTransfer-Encoding: x\r\n\r\n",
         "together"},
    };
    RequestFraming sizes; // each request's bytes count on their own, a body's with its head
    sizes.feed("GET / HTTP/1.1\r\nHost: a\r\n\r\nGET /x HTTP/1.1\r\nHo");
    EXPECT_EQ(sizes.current(), 19u);
    sizes.feed("st: a\r\n\r\nPOST / HTTP/1.1\r\nContent-Length: 10\r\n\r\nabc");
    EXPECT_EQ(sizes.current(), 42u);
    sizes.feed("defghij");
    EXPECT_EQ(sizes.current(), 0u);
    for (const auto& c : cases)
        for (std::size_t piece : {std::size_t(1), std::size_t(7), c.bytes.size()}) {
            RequestFraming f;
            std::optional<std::string> why;
            for (std::size_t at = 0; at < c.bytes.size() && !why; at += piece) why = f.feed(std::string_view(c.bytes).substr(at, piece));
            if (!*c.refused) EXPECT_EQ(why, std::nullopt) << c.bytes << " in pieces of " << piece;
            else EXPECT_NE(why.value_or("").find(c.refused), std::string::npos) << c.bytes << " in pieces of " << piece;
        }
}

TEST(WebRoutes, EachRequestGetsWhatItsRulesAllow) {
    AccessRig r(lanConfig());
    const std::string session = r.login();
    const std::string foreign = "http://evil.example";
    const std::string rebound = "evil.example:8080";
    struct Case {
        const char* what;
        WebReply reply;
        int status;
    };
    const Case cases[] = {
        {"the page", r.request("GET", "/"), 200},
        {"a file of the page", r.request("GET", "/index.html"), 200},
        {"no such file", r.request("GET", "/../etc/passwd"), 404},
        {"the page on a rebound name", r.request("GET", "/", {}, {}, {}, rebound), 421},
        {"the tables without a session", r.request("GET", "/tables"), 401},
        {"the tables with one", r.request("GET", "/tables", {}, session), 200},
        {"the tables on a rebound name", r.request("GET", "/tables", {}, session, {}, rebound), 421},
        {"a login from another site", r.request("POST", "/login", "password=s3cret%20word", {}, foreign), 403},
        {"a login without an origin", r.request("POST", "/login", "password=s3cret%20word", {}, ""), 403},
        {"a logout from another site", r.request("POST", "/logout", {}, session, foreign), 403},
        {"metrics for nobody", r.request("GET", "/metrics"), 401},
        {"metrics for the token", r.request("GET", "/metrics", {}, {}, {}, "bridge.example:8080", "Bearer 0123456789abcdef"), 200},
        {"metrics for a wrong token", r.request("GET", "/metrics", {}, {}, {}, "bridge.example:8080", "Bearer 0123456789abcdeX"), 401},
        {"metrics for a session", r.request("GET", "/metrics", {}, session), 200},
        {"another method", r.request("DELETE", "/"), 405},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.reply.status, c.status) << c.what;
        EXPECT_EQ(header(c.reply, "Set-Cookie"), "") << c.what;
    }
    EXPECT_EQ(cases[11].reply.type, "text/plain; version=0.0.4; charset=utf-8");
    // The tables and the socket of a logged-in page, from its own site only.
    EXPECT_TRUE(r.routes.socketAllowed({"GET", "/socket", "bridge.example:8080", "http://bridge.example:8080", session, {}, {}, {}}));
    EXPECT_FALSE(r.routes.socketAllowed({"GET", "/socket", "bridge.example:8080", foreign, session, {}, {}, {}}));
    EXPECT_FALSE(r.routes.socketAllowed({"GET", "/socket", "bridge.example:8080", "http://bridge.example:8080", {}, {}, {}, {}}));
    EXPECT_FALSE(r.routes.socketAllowed({"GET", "/socket", rebound, "http://evil.example:8080", session, {}, {}, {}}));
    // Every page forbids framing and foreign scripts.
    const auto& h = securityHeaders();
    EXPECT_NE(std::find(h.begin(), h.end(), std::pair<std::string, std::string>("Content-Security-Policy",
                                                                                "default-src 'self'; frame-ancestors 'none'")),
              h.end());
}

TEST(WebRoutes, OnLoopbackWithoutAPasswordOnlyTheHostGuards) {
    WebAccessConfig c;
    c.hosts = {"127.0.0.1", "localhost"};
    c.port = 8080;
    AccessRig r(c);
    EXPECT_EQ(r.request("GET", "/tables", {}, {}, {}, "127.0.0.1:8080").status, 200);
    EXPECT_EQ(r.request("GET", "/metrics", {}, {}, {}, "localhost:8080").status, 200);
    // A page elsewhere whose name now points here: the guard against DNS rebinding.
    EXPECT_EQ(r.request("GET", "/tables", {}, {}, {}, "attacker.example:8080").status, 421);
    EXPECT_EQ(r.request("POST", "/login", "password=x", {}, "http://127.0.0.1:8080", "127.0.0.1:8080").status, 204);
    EXPECT_EQ(r.access.sessions(), 0u);
    // metrics-open serves /metrics without a login on a listener that has a password.
    WebAccessConfig open = lanConfig();
    open.metricsOpen = true;
    AccessRig o(open);
    EXPECT_EQ(o.request("GET", "/metrics").status, 200);
    EXPECT_EQ(o.request("GET", "/tables").status, 401);
}
