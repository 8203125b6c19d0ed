// SPDX-License-Identifier: MIT
#pragma once
// One PJLink connection, Class 1 and Class 2: the greeting; the password's digest (MD5, or the
// SHA-256 scheme of version 2.10 after a "PJLINK 2" line) within 5 s of the greeting, a repeated
// MD5 prefix accepted on later requests; requests of at most 136 bytes, each mapped onto
// exchanges on the serial line; answers in the order of the requests, with the request's header
// digit; and the close after 30 s without a request.
#include "bridge/pjlink/pjlink_answers.hpp"
#include "bridge/projector_state.hpp"
#include "link/exchange_queue.hpp"

#include <array>
#include <deque>
#include <functional>
#include <optional>
#include <string>

namespace tova::bridge {

class PjlinkSession {
  public:
    // A line with its digest first may be longer: 32 characters of MD5, 96 of the 2.10 scheme.
    static constexpr std::size_t kMaxLine = 136, kMaxMd5Line = 168, kMaxShaLine = 232;
    // Requests waiting for their answer, the one being answered included; more are refused
    // (ERR3, in their order), and nothing more is read until answers have left.
    static constexpr std::size_t kMaxWaiting = 16;
    static constexpr int kIdleMs = 30000, kAuthenticateMs = 5000;

    struct Callbacks {
        std::function<void(const std::string&)> send{}; // bytes to the client
        std::function<void()> close{};                  // end the connection (after what was sent)
        std::function<void()> wrongDigest{};            // a wrong or missing digest: for the back-off
        std::function<void()> room{};                   // it reads requests again
        std::function<void()> request{};                // an authenticated request: a controller to tell
    };

    // random(n): n hexadecimal digits from the system's random source, for the digests; state:
    // what the bridge knows of this projector, shared by its connections.
    PjlinkSession(ClientId id, const ProjectorConfig& config, ProjectorState& state, ExchangeQueue& queue,
                  Timer& idle, std::function<std::string(std::size_t)> random, Callbacks callbacks);
    ~PjlinkSession();
    PjlinkSession(const PjlinkSession&) = delete;
    PjlinkSession& operator=(const PjlinkSession&) = delete;

    void start(); // the greeting; the time to authenticate, or to send a request, starts
    void received(std::string_view bytes);
    // Whether more requests are read now: fewer than kMaxWaiting wait for their answers.
    bool wantsInput() const { return !m_closed && m_pending.size() < kMaxWaiting; }

  private:
    struct Pending {
        char header;
        std::string command;
        std::string parameter;
        std::optional<std::string> answer;
    };
    using Answer = std::function<void(const std::string&)>;
    struct Command;
    static const Command* findCommand(std::string_view word);

    void line(std::string text);
    bool authenticate(std::string& text); // false: refused, and the connection ends
    std::size_t lineLimit() const;
    void request(const std::string& text);
    void next();  // the first request without its answer, when none is being answered
    void flush(); // answers from the front, in order
    void run(Pending& p);
    void exchange(std::string_view code, std::function<void(const ExchangeResult&)> then);
    void ask(QueryId id, std::function<std::string(std::string_view)> read, Answer done);
    void set(std::string_view button, Answer done, std::function<void()> acknowledged = {});
    void hangUp();

    // The mapping, one handler a command.
    void power(const Pending& p, Answer done);
    void input(const Pending& p, Answer done);
    void mute(const Pending& p, Answer done);
    void errors(const Pending& p, Answer done);
    void lamps(const Pending& p, Answer done);
    void inputList(const Pending& p, Answer done);
    void inputName(const Pending& p, Answer done);
    void model(const Pending& p, Answer done);
    void freeze(const Pending& p, Answer done);
    void volume(const Pending& p, Answer done);

    Callbacks m_tell;
    ClientId m_id;
    const ProjectorConfig& m_config;
    ProjectorState& m_state;
    ExchangeQueue& m_queue;
    Timer& m_idle;
    std::function<std::string(std::size_t)> m_random;
    std::string m_greetingRandom; // the 8 digits of the greeting
    std::string m_shaRandom;      // the 32 digits answering "PJLINK 2"
    std::string m_digest;         // the MD5 prefix of this connection, which it may repeat
    std::string m_partial;
    bool m_authenticated;
    bool m_running = false; // a request is being answered
    bool m_closed = false;
    std::deque<Pending> m_pending; // in the order they came
};

} // namespace tova::bridge
