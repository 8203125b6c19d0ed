// SPDX-License-Identifier: MIT
#pragma once
// One PJLink Class 1 connection: the greeting, the optional digest check, requests of at most
// 136 bytes (168 for a first line with its digest), one request after the other, each mapped
// onto one or two exchanges on the serial line, and the close after 30 s without a request.
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
    static constexpr std::size_t kMaxLine = 136, kMaxFirstLine = 168, kMaxWaiting = 16;
    static constexpr int kIdleMs = 30000;

    // random: 8 characters from the system's random source, for the digest; mute: what was set
    // through the bridge for this projector, shared by its connections.
    PjlinkSession(ClientId id, const ProjectorConfig& config, MuteState& mute, ExchangeQueue& queue,
                  Timer& idle, std::string random);
    ~PjlinkSession();
    PjlinkSession(const PjlinkSession&) = delete;
    PjlinkSession& operator=(const PjlinkSession&) = delete;

    std::function<void(const std::string&)> send; // bytes to the client
    std::function<void()> close;                  // end the connection (after what was sent)

    void start(); // the greeting; the idle time starts
    void received(std::string_view bytes);

  private:
    void line(std::string text);
    void next();                                // the next waiting request, when none runs
    void run(const std::string& command, const std::string& parameter);
    void answer(const std::string& command, const std::string& result);
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
    std::deque<std::string> m_waiting; // requests after the running one
};

} // namespace tova::bridge
