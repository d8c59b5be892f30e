// The commands as the POSIX shell gets them: single-quoted words (what a
// real shell makes of them: bad_input_e2e_test.cpp).
#include <string>

#include <gtest/gtest.h>

#include "expected.h"
#include "platform_cases.h"

namespace platform_cases {

using expected::flashCommand;

const std::string fits214(214, 'f');
const std::string over215(215, 'f');
const std::string spaced212 = std::string(106, 'f') + " " + std::string(105, 'f');
const std::string spaced213 = spaced212 + "f";

INSTANTIATE_TEST_SUITE_P(
    Commands, BuildFlashCommand,
    ::testing::Values(FlashCase{"Plain", "0x50", "img2.bin", flashCommand("img2.bin")},
                      FlashCase{"SafePunctuation", "0x50", "/opt/fw/v3@1%2+a=b:c,d.e-f_g.bin",
                                flashCommand("/opt/fw/v3@1%2+a=b:c,d.e-f_g.bin")},
                      FlashCase{"Semicolon", "0x50", "a;reboot", flashCommand("'a;reboot'")},
                      FlashCase{"Quote", "0x50", "it's", flashCommand("'it'\\''s'")},
                      FlashCase{"HighBytes", "0x50", "caf\xE9", flashCommand("'caf\xE9'")},
                      FlashCase{"Empty", "", "", flashCommand("''", "''")},
                      FlashCase{"Address", "0x50 -f x", "a", flashCommand("a", "'0x50 -f x'")},
                      FlashCase{"Exactly255", "0x50", fits214, flashCommand(fits214)},
                      FlashCase{"Over255", "0x50", over215, ""},
                      FlashCase{"QuotedExactly255", "0x50", spaced212,
                                flashCommand("'" + spaced212 + "'")},
                      FlashCase{"QuotingMakesItTooLong", "0x50", spaced213, ""}),
    rowName);

} // namespace platform_cases
