// SPDX-License-Identifier: MIT
#include "bridge/metrics.hpp"

#include "bridge/answering.hpp"
#include "core/utf8.hpp"

#include <charconv>

namespace tova::bridge {
namespace {

// Numbers as the format reads them, whatever the process's locale.
std::string number(double v) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

class Writer {
  public:
    void family(std::string_view name, std::string_view type, std::string_view help) {
        out += "# HELP tova_";
        out += name;
        out += ' ';
        out += help;
        out += "\n# TYPE tova_";
        out += name;
        out += ' ';
        out += type;
        out += '\n';
    }
    // labels: name="value" pairs, values escaped here.
    void sample(std::string_view name, std::initializer_list<std::pair<std::string_view, std::string_view>> labels,
                const std::string& value) {
        out += "tova_";
        out += name;
        if (labels.size()) {
            out += '{';
            bool first = true;
            for (const auto& [k, v] : labels) {
                if (!first) out += ',';
                first = false;
                out += k;
                out += "=\"";
                out += labelValue(v);
                out += '"';
            }
            out += '}';
        }
        out += ' ';
        out += value;
        out += '\n';
    }
    std::string out;
};

std::string metricName(std::string_view words) {
    std::string s(words);
    for (char& c : s)
        if (c == ' ') c = '_';
    return s;
}

} // namespace

void LineStats::exchanged(const ExchangeResult& r) {
    if (r.withheld) return; // never on the wire
    ++m_exchanges;
    if (r.outcome == ExchangeResult::TimedOut || r.outcome == ExchangeResult::NotTaken) ++m_timeouts;
    const double s = std::chrono::duration<double>(r.took).count();
    m_seconds += s;
    std::size_t i = 0;
    while (i < kBuckets.size() && s > kBuckets[i]) ++i;
    ++m_counts[i];
}

std::string labelValue(std::string_view text) {
    // The format is UTF-8: a value that is not (no name from the settings) keeps the page valid.
    const bool utf8 = validUtf8(text);
    std::string out;
    for (char c : text) {
        if (c == '\\') out += "\\\\";
        else if (c == '"') out += "\\\"";
        else if (c == '\n') out += "\\n";
        else if (!utf8 && static_cast<unsigned char>(c) >= 0x80) out += '?';
        else out += c;
    }
    return out;
}

namespace {

// Each projector's families, as the poller keeps its state.
void projectorFamilies(Writer& w, const MetricsInput& in) {
    using std::to_string;
    w.family("projector_up", "gauge",
             "1 while the projector answers: it replied within three poll periods (15 s without polling).");
    for (const auto& p : in.projectors)
        w.sample("projector_up", {{"projector", p.name}, {"address", p.prefix}},
                 p.answering && p.answering->answering() ? "1" : "0");

    w.family("projector_last_answer_timestamp_seconds", "gauge", "When the projector last replied, in seconds since 1970.");
    for (const auto& p : in.projectors)
        if (const auto at = p.answering ? p.answering->lastHeard() : std::nullopt)
            w.sample("projector_last_answer_timestamp_seconds", {{"projector", p.name}, {"address", p.prefix}},
                     number(double(at->count()) / 1000.0));

    w.family("projector_power", "gauge", "1 for the power state the projector last reported.");
    for (const auto& p : in.projectors)
        for (Power s : kPowerStates)
            w.sample("projector_power", {{"projector", p.name}, {"address", p.prefix}, {"state", metricName(powerName(s))}},
                     p.state->power().value_or(Power::Unknown) == s ? "1" : "0");

    // In seconds, Prometheus's base unit: the projector counts whole hours.
    w.family("projector_lamp_seconds", "gauge", "Lamp time as the projector reports it, in seconds (whole hours of it).");
    for (const auto& p : in.projectors)
        if (const auto h = p.state->lampHours())
            w.sample("projector_lamp_seconds", {{"projector", p.name}, {"address", p.prefix}}, to_string(*h * 3600));

    w.family("projector_error", "gauge", "Each error flag of the status: 0 fine, 1 warning, 2 error.");
    for (const auto& p : in.projectors) {
        const std::string& e = p.state->errors();
        if (e.size() != kErrorNames.size()) continue;
        for (std::size_t i = 0; i < e.size(); ++i)
            w.sample("projector_error", {{"projector", p.name}, {"address", p.prefix}, {"error", kErrorNames[i]}},
                     std::string(1, e[i]));
    }

    w.family("projector_input_mode", "gauge", "The input mode, 1 to 5; 0 when not known.");
    for (const auto& p : in.projectors)
        w.sample("projector_input_mode", {{"projector", p.name}, {"address", p.prefix}}, to_string(p.state->inputMode()));

    w.family("projector_poll_age_seconds", "gauge", "Time since the projector last answered.");
    for (const auto& p : in.projectors)
        if (const auto last = p.state->lastAnswer())
            w.sample("projector_poll_age_seconds", {{"projector", p.name}, {"address", p.prefix}},
                     number(std::chrono::duration<double>(in.now - *last).count()));
}

} // namespace

std::string metricsText(const MetricsInput& in) {
    Writer w;
    using std::to_string;
    w.family("bridge_info", "gauge", "The bridge's version.");
    w.sample("bridge_info", {{"version", in.version}}, "1");
    // A restart moves it: the alert on a bridge restarting again and again counts its changes.
    w.family("bridge_start_time_seconds", "gauge", "When the bridge started, in seconds since 1970.");
    w.sample("bridge_start_time_seconds", {}, number(double(in.startedAt.count()) / 1000.0));

    w.family("line_up", "gauge", "1 while the serial line is open.");
    w.sample("line_up", {}, in.lineUp ? "1" : "0");

    projectorFamilies(w, in);

    w.family("line_exchanges_total", "counter", "Lines put on the wire.");
    w.sample("line_exchanges_total", {}, to_string(in.line->exchanges()));
    w.family("line_timeouts_total", "counter", "Lines that got no complete reply in time.");
    w.sample("line_timeouts_total", {}, to_string(in.line->timeouts()));
    w.family("line_strays_total", "counter", "Received pieces that answered no line.");
    w.sample("line_strays_total", {}, to_string(in.line->strays()));

    w.family("line_exchange_seconds", "histogram", "From a line's hand-over to its reply or time-out.");
    std::uint64_t cumulative = 0;
    for (std::size_t i = 0; i < LineStats::kBuckets.size(); ++i) {
        cumulative += in.line->counts()[i];
        w.sample("line_exchange_seconds_bucket", {{"le", number(LineStats::kBuckets[i])}}, to_string(cumulative));
    }
    cumulative += in.line->counts().back();
    w.sample("line_exchange_seconds_bucket", {{"le", "+Inf"}}, to_string(cumulative));
    w.sample("line_exchange_seconds_sum", {}, number(in.line->seconds()));
    w.sample("line_exchange_seconds_count", {}, to_string(cumulative));

    w.family("listener_clients", "gauge", "Clients connected to each listener.");
    for (const auto& l : in.listeners)
        w.sample("listener_clients", {{"listener", l.name}, {"kind", l.kind}}, to_string(l.clients));

    w.family("auth_failures_total", "counter", "Wrong PJLink digests and wrong web passwords.");
    w.sample("auth_failures_total", {{"kind", "pjlink"}}, to_string(in.pjlinkAuthFailures));
    w.sample("auth_failures_total", {{"kind", "http"}}, to_string(in.httpAuthFailures));
    return w.out;
}

} // namespace tova::bridge
