// SPDX-License-Identifier: MIT
#pragma once
// One PJLink Class 1 connection: the greeting, the optional digest check (within 5 s of the
// greeting), requests of at most 136 bytes (168 for a first line with its digest), each mapped
// onto exchanges on the serial line, answers in the order of the requests, and the close after
// 30 s without a request.
#include "bridge/pjlink_answers.hpp"
#include "link/exchange_queue.hpp"

#include <deque>
#include <functional>
#include <optional>
#include <string>

namespace tova::bridge {

// One projector on the line, as one --pjlink listener serves it.
struct ProjectorConfig {
    std::string prefix;               // the address put ahead of every code ("" or "A001".."A004")
    std::string name = "TOVA M4";     // NAME ?
    Inputs inputs = kDefaultInputs;   // INST ?, and what INPT means
    std::string info;                 // INFO ?: the program's name and version
    std::optional<std::string> password;
};

class PjlinkSession {
  public:
    static constexpr std::size_t kMaxLine = 136, kMaxFirstLine = 168;
    // Requests waiting for their answer, the one being answered included; more are refused
    // (ERR3, in their order), and nothing more is read until answers have left.
    static constexpr std::size_t kMaxWaiting = 16;
    static constexpr int kIdleMs = 30000, kAuthenticateMs = 5000;

    // random: 8 characters from the system's random source, for the digest; mute: what was set
    // through the bridge for this projector, shared by its connections.
    PjlinkSession(ClientId id, const ProjectorConfig& config, MuteState& mute, ExchangeQueue& queue,
                  Timer& idle, std::string random);
    ~PjlinkSession();
    PjlinkSession(const PjlinkSession&) = delete;
    PjlinkSession& operator=(const PjlinkSession&) = delete;

    std::function<void(const std::string&)> send; // bytes to the client
    std::function<void()> close;                  // end the connection (after what was sent)
    std::function<void()> onWrongDigest;          // a wrong or missing digest: for the back-off
    std::function<void()> onRoom;                 // it reads requests again

    void start(); // the greeting; the time to authenticate, or to send a request, starts
    void received(std::string_view bytes);
    // Whether more requests are read now: fewer than kMaxWaiting wait for their answers.
    bool wantsInput() const { return !m_closed && m_pending.size() < kMaxWaiting; }

  private:
    struct Pending {
        std::string command;
        std::string parameter;
        std::optional<std::string> answer;
    };
    void line(std::string text);
    void request(const std::string& text);
    void next();  // the first request without its answer, when none is being answered
    void flush(); // answers from the front, in order
    void run(Pending& p);
    void exchange(std::string_view code, std::function<void(const ExchangeResult&)> then);
    void hangUp();

    ClientId m_id;
    const ProjectorConfig& m_config;
    MuteState& m_mute;
    ExchangeQueue& m_queue;
    Timer& m_idle;
    std::string m_random;
    std::string m_partial;
    bool m_authenticated;
    bool m_running = false; // a request is being answered
    bool m_closed = false;
    std::deque<Pending> m_pending; // in the order they came
};

} // namespace tova::bridge
