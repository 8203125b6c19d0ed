// SPDX-License-Identifier: MIT
#pragma once
// A virtual projector (or several on one line): the far end of the panel's serial line.
#include "link/query_table.hpp"

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tova::sim {

using Ms = std::chrono::milliseconds;

// A refused command: readable in the panel's traffic display, unlike a NAK's "? ".
inline constexpr std::string_view kRefused = "ERR\r";

struct Timings {
    Ms countDown{30000};
    Ms coolingDown{60000};
    Ms reply{30};        // a command or query answered
    Ms inputChange{2000}; // an input or source change answered
};

Timings fastTimings(); // power timings of a few seconds, for demos and tests

// What a projector's status reports wrong, for showing how a fault looks at the far end.
enum class Fault : std::uint8_t {
    None,
    Temperature, // a temperature warning in every state that has one
    Lamp,        // every lamp failed: POWER ON is refused
    Power,       // a power failure: every command is refused
};

// One projector's state and what a command does to it.
class Projector {
  public:
    explicit Projector(Timings t = {}, Fault fault = Fault::None);

    struct Answer {
        std::string reply; // ACK, kRefused, or the query's reply with its CR
        Ms delay;
    };
    // The command code without address or CR, received at now.
    Answer handle(std::string_view code, Ms now);
    void advance(Ms now); // runs the power state machine up to now

    Power power() const { return m_power; }

  private:
    std::string queryReply(std::string_view code) const; // empty: no such query
    bool command(std::string_view code, Ms now);         // false: refused
    Timings m_t;
    Fault m_fault;
    Power m_power; // standby, warming up, on, cooling down, or failed
    Ms m_since{0};
    Ms m_lampCounted{0};
    int m_inputMode = 1;
    bool m_audioMute = false, m_noShow = false; // no show: video muted
    std::string_view m_lampMode;                // the lamp-mode reply
    int m_lampHours = 1234;
    std::string_view m_reversal;                // the reversal-setting reply
    double m_temps[4] = {25.0, 30.5, 28.0, 27.5};
    int m_pressureReading = 853;
};

// Everything on one line: framing, addresses, speed and noise.
class ProjectorLine {
  public:
    struct Options {
        int projectors = 1;
        int baud = 19200;
        Timings timings{};
        Fault fault = Fault::None; // on every projector of the line
    };
    explicit ProjectorLine(Options o);

    struct Out {
        std::string bytes;
        Ms at; // when the first byte is ready to go
    };
    // Bytes as they arrive from the panel, which sends at lineBaud.
    std::vector<Out> receive(std::string_view bytes, int lineBaud, Ms now);
    // Bytes as the panel reads them when the projector sends at our speed and it reads at lineBaud.
    std::string toPanel(std::string_view bytes, int lineBaud) const;
    void advance(Ms now);
    // A new party on the line: a line it did not finish is not the next one's start.
    void dropPartial() { m_partial.clear(); }

    int baud() const { return m_baud; }
    Projector& projector(int id) { return m_sets.at(static_cast<std::size_t>(id - 1)); }
    // The lines received, as logged.
    std::vector<std::string> takeLog();

  private:
    std::vector<Out> line(const std::string& line, Ms now);
    std::vector<Projector> m_sets;
    int m_baud;
    std::string m_partial;
    std::vector<std::string> m_log;
    mutable std::uint32_t m_noise = 0x2545F491;
};

// Bytes seen by a receiver at one speed of bytes sent at another: noise, some bytes lost.
std::string garble(std::string_view bytes, std::uint32_t& seed);

} // namespace tova::sim
