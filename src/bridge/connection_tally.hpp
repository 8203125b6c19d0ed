// SPDX-License-Identifier: MIT
#pragma once
// Clients that come and go, summed for the log: a controller that connects for every poll would
// fill a journal with two lines a poll. Connections are counted by kind and address, and one
// line at most each kEvery tells them ("PJLink: 240 connections from 3 addresses in the last
// minute"); nothing is said, and no timer runs, while none come.
#include "core/timer.hpp"

#include <chrono>
#include <functional>
#include <map>
#include <set>
#include <string>

namespace tova::bridge {

class ConnectionTally {
  public:
    static constexpr std::chrono::milliseconds kEvery{60000};
    static constexpr std::size_t kMaxAddresses = 1024; // counted per kind; past it, "over"

    ConnectionTally(Timer& timer, std::function<void(const std::string&)> out);
    ~ConnectionTally();
    ConnectionTally(const ConnectionTally&) = delete;
    ConnectionTally& operator=(const ConnectionTally&) = delete;

    // A client of that kind ("PJLink", "shared line", "web page") connected from address.
    void connected(const std::string& kind, const std::string& address);

  private:
    void tell();
    struct Count {
        std::size_t connections = 0;
        std::set<std::string> addresses;
        bool more = false; // past kMaxAddresses
    };
    Timer& m_timer;
    std::function<void(const std::string&)> m_out;
    std::map<std::string, Count> m_counts;
};

} // namespace tova::bridge
