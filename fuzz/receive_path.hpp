// SPDX-License-Identifier: MIT
#pragma once
// One fuzz input driven through the receive path and the decoder: a line is sent (one of the nine
// queries or an ordinary command, under one of the addresses), then the rest arrives in chunks.
#include "../tests/fakes.hpp"

#include <cstddef>
#include <cstdint>
#include <string>

namespace tova::fuzz {

// Returns what invariant broke, or nothing.
inline std::string receivePath(const std::uint8_t* data, std::size_t size) {
    static const char* const kSent[] = {"Command44", "Command45", "Command46", "Command47",
                                        "Command54", "Command55", "Command38", "Command12",
                                        "Command99", "Command17", "Command95"};
    static const char* const kAddress[] = {"Option3", "Option4", "Option5", "Option8"};
    if (size < 2) return {};
    test::Rig r;
    test::Rig::load(r);
    r.form.click(kAddress[data[1] % 4]);
    const std::size_t which = data[0] % (sizeof kSent / sizeof *kSent);
    if (which == 10) r.panel.texts["Text1"] = "CR0"; // the free-text send of a query
    r.form.click(kSent[which]);
    // The rest: chunks introduced by a length byte; its top bit lets the clock run first.
    std::size_t i = 2;
    while (i < size) {
        const std::uint8_t head = data[i++];
        if (head & 0x80) r.clock.advance(head & 0x7f ? 300 : 1200);
        const std::size_t n = std::min<std::size_t>(head & 0x7f, size - i);
        r.serial.receive(std::string(reinterpret_cast<const char*>(data + i), n));
        i += n;
    }
    // The display must stay a function of the start of the received text.
    if (r.form.RxBuffer.size() > kRxBufferLimit)
        return "RxBuffer holds " + std::to_string(r.form.RxBuffer.size()) + " bytes";
    if (r.label("Label12").size() > 1 + 4 * kRxBufferLimit) return "Label12 outgrew RxBuffer";
    return {};
}

} // namespace tova::fuzz
