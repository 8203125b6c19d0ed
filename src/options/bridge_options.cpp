// SPDX-License-Identifier: MIT
#include "options/bridge_options.hpp"

namespace tova {
namespace {

cli::Program bridgeProgram() {
    cli::Program p{"tova-bridge", TOVA_VERSION,
                   "Owns a projector's serial line and serves it to many clients at once: as PJLink\n"
                   "Class 2 devices (one listener per projector on the line), as a shared raw line for\n"
                   "the panel and tova-send (tcp://HOST:PORT), and as a web remote with /metrics. One\n"
                   "line goes out at a time; each reply goes to the client whose line it answers; clients\n"
                   "take turns by their time on the line. When the device fails, PJLink requests are\n"
                   "answered ERR4, shared-line clients are closed, and the device is opened again every\n"
                   "2 s until it is back. SIGHUP reads the password files again and reopens the trace.\n"
                   "\n"
                   "Exit status: 0 after SIGINT or SIGTERM; 2 when a listener cannot be bound or its host\n"
                   "name does not resolve (try again later); 64 for a usage error or a wrong setting. A\n"
                   "device missing at start is not fatal: it is waited for.",
                   {}};
    p.options = {
        {"config", "file",
         "Read the settings from <file> (INI: the line's keys, then one [pjlink NAME] or [share NAME] section "
         "per listener). An option given here wins over the file; a --pjlink or --share here replaces the "
         "file's listeners."},
        {"pjlink", "spec",
         "Serve a projector as a PJLink Class 2 device. <spec> is "
         "HOST:PORT[/ADDRESS][,name=TEXT][,inputs=LIST][,input-names=LIST][,serial=TEXT][,version=TEXT]"
         "[,lamp-model=TEXT][,filter-model=TEXT][,max-clients=N][,max-per-address=N]: port 4352 is PJLink's; /001 to /004 addresses "
         "the projector as the panel's PJ Select does, without it the lines go unaddressed. Given once per "
         "projector on the line."},
        {"share", "spec",
         "Serve the line raw on HOST:PORT[,max-clients=N][,max-per-address=N], like a serial device server, for the panel and "
         "tova-send (tcp://HOST:PORT)."},
    };
    // Every other option is a key of the configuration file, checked by the same rules.
    for (const bridge::SettingKey& k : bridge::settingKeys())
        p.options.push_back({std::string(k.key), std::string(k.value), std::string(k.help)});
    return p;
}

// A setting's complaint as the command line names it: "speed= takes ..." becomes "--speed takes ...".
std::string asOption(std::string_view key, const std::string& why) {
    const std::string fileForm = std::string(key) + "= ";
    if (why.starts_with(fileForm)) return "--" + std::string(key) + " " + why.substr(fileForm.size());
    return "--" + std::string(key) + ": " + why;
}

} // namespace

BridgeCommandLine parseBridgeCommandLine(const std::vector<std::string>& arguments) {
    BridgeCommandLine r;
    r.outcome = cli::parse(bridgeProgram(), arguments, [&](const cli::Arguments& a) -> std::optional<std::string> {
        if (!a.positional().empty()) return "unexpected argument '" + a.positional().front() + "'";
        if (a.isSet("config")) r.config = a.value("config");
        for (const bridge::SettingKey& k : bridge::settingKeys()) {
            // A flag is the file's "true"; any other option is taken as often as it is given.
            const std::vector<std::string> given =
                k.value.empty() && a.isSet(k.key) ? std::vector<std::string>{"true"} : a.values(k.key);
            for (const std::string& value : given)
                if (auto why = bridge::setKey(r.settings, k.key, value)) return asOption(k.key, *why);
        }
        const std::pair<const char*, bridge::ClientKind> kinds[] = {{"pjlink", bridge::ClientKind::Pjlink},
                                                                     {"share", bridge::ClientKind::SharedLine}};
        for (const auto& [option, kind] : kinds)
            for (const std::string& spec : a.values(option)) {
                auto l = bridge::parseListenerSpec(spec, kind);
                if (auto* why = std::get_if<std::string>(&l)) return "--" + std::string(option) + " " + spec + ": " + *why;
                r.settings.listeners.push_back(std::get<bridge::ListenerSpec>(l));
            }
        return std::nullopt;
    });
    return r;
}

} // namespace tova
