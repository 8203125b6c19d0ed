// SPDX-License-Identifier: MIT
// The one JSON writer: line bytes and text each written as the pages and scripts read them.
#include "core/json.hpp"

#include <gtest/gtest.h>

using namespace tova;

TEST(Json, BytesAndTextAsWritten) {
    struct Case {
        Json value;
        const char* written;
    } cases[] = {
        {jsonBytes("CR0\r"), R"("CR0\u000d")"},
        {jsonBytes("\x06\x15\x7f"), R"("\u0006\u0015\u007f")"},
        {jsonBytes("\x80\xff\xe3\x83\x87"), R"("\u0080\u00ff\u00e3\u0083\u0087")"}, // bytes, never UTF-8
        {jsonBytes("a\"b\\c"), R"("a\"b\\c")"},
        {jsonBytes("</script>"), R"("\u003c/script>")"},
        {Json("\xe3\x83\x87\xe3\x83\xbc\xe3\x82\xbf"), "\"\xe3\x83\x87\xe3\x83\xbc\xe3\x82\xbf\""}, // text passes as it is
        {Json("\xc3\xa9\t\n"), "\"\xc3\xa9\\u0009\\u000a\""},
        {Json("<b>"), R"("\u003cb>")"},
        {jsonNumber(25.0), "25"},
        {jsonNumber(-2.0), "-2"},
        {jsonNumber(30.5), "30.5"},
        {jsonNumber(8999999999999999.0), "8999999999999999"}, // whole up to 9e15, exclusive
        {jsonNumber(-8999999999999999.0), "-8999999999999999"},
        {jsonNumber(9e15), "9e+15"},
        {jsonNumber(std::nullopt), "null"},
        {Json{{"z", 1}, {"a", jsonBytes("\r")}}, R"({"z":1,"a":"\u000d"})"}, // keys keep their order
    };
    for (const auto& c : cases) EXPECT_EQ(dumpJson(c.value), c.written);
}
