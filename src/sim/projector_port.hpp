// SPDX-License-Identifier: MIT
#pragma once
// The virtual projector at its end of the line, whatever carries the line (a pseudo-terminal, a
// TCP port): its replies leave after their delays, byte by byte at the line rate, to the party on
// the line now; a new party gets none of the last one's replies nor its half line.
#include "core/clock.hpp"
#include "core/timer.hpp"
#include "sim/projector.hpp"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tova::sim {

class ProjectorPort {
  public:
    struct Callbacks {
        std::function<std::size_t(std::string_view bytes)> send{}; // to the line; how many it took
        std::function<void(const std::string&)> log{};             // each line received and reply sent
        std::function<int()> lineBaud{};                           // the speed the line runs at now
    };
    // timer is the port's own; clock gives its time.
    ProjectorPort(ProjectorLine::Options options, Timer& timer, const Clock& clock, Callbacks callbacks);
    ~ProjectorPort();
    ProjectorPort(const ProjectorPort&) = delete;
    ProjectorPort& operator=(const ProjectorPort&) = delete;

    ProjectorLine& model() { return m_line; }
    const ProjectorLine& model() const { return m_line; }
    // Bytes from the line.
    void received(std::string_view bytes);
    // A new party on the line.
    void newSession();

  private:
    struct Due {
        Ms at;
        std::string bytes, reply; // as the panel reads them, and as the projector sent them
        unsigned session;
    };
    Ms now() const { return m_clock.now() - m_start; }
    int lineBaud() const { return m_tell.lineBaud ? m_tell.lineBaud() : m_line.baud(); }
    void log(const std::string& text) const {
        if (m_tell.log) m_tell.log(text);
    }
    void tick();
    void pump();
    void arm();

    ProjectorLine m_line;
    Timer& m_timer;
    const Clock& m_clock;
    Callbacks m_tell;
    Ms m_start;
    std::vector<Due> m_due;  // replies still to come, soonest first
    std::string m_out;       // bytes waiting for the wire
    unsigned m_session = 0;  // replies are owed to the session of the line they answer
    long long m_nextCharUs = 0; // when the next byte may go
};

} // namespace tova::sim
