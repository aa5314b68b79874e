// Random UUID text: the version 4 shape, every random bit free to take either value, and
// no state that a forked process would share with its parent.

#include "host/platform/random_uuid.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

namespace host {
namespace {

using platform::randomUuidText;
using platform::uuidText;

TEST(UuidTextTest, SetsVersionAndVariantAndKeepsEveryOtherBit) {
    const struct {
        std::array<std::uint8_t, 16> bytes;
        const char* text;
    } cases[] = {
        {{}, "00000000-0000-4000-8000-000000000000"},
        {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
          0xFF},
         "FFFFFFFF-FFFF-4FFF-BFFF-FFFFFFFFFFFF"},
        {{0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF, 0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD,
          0xEF},
         "01234567-89AB-4DEF-8123-456789ABCDEF"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(uuidText(c.bytes), c.text);
}

TEST(RandomUuidTest, EveryRandomBitTakesBothValues) {
    const std::regex format("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}");
    constexpr int samples = 2000;
    // How often each of the 32 hex digits' 4 bits was set.
    std::array<int, 128> ones{};
    std::set<std::string> seen;
    for (int i = 0; i < samples; ++i) {
        const std::string text = randomUuidText();
        ASSERT_TRUE(std::regex_match(text, format)) << text;
        ASSERT_TRUE(seen.insert(text).second) << text;
        int digit = 0;
        for (char c : text) {
            if (c == '-') continue;
            const int value = std::stoi(std::string(1, c), nullptr, 16);
            for (int bit = 0; bit < 4; ++bit)
                ones[digit * 4 + bit] += (value >> bit) & 1;
            ++digit;
        }
    }
    // The six fixed bits: version 0100 in digit 12, variant 10 in the top of digit 16.
    const std::set<int> fixed{12 * 4 + 0, 12 * 4 + 1, 12 * 4 + 2,
                              12 * 4 + 3, 16 * 4 + 2, 16 * 4 + 3};
    for (int bit = 0; bit < 128; ++bit) {
        if (fixed.contains(bit)) continue;
        // A fair bit lands within 30 % to 70 % of 2000 draws all but never (18 deviations).
        EXPECT_GT(ones[bit], samples * 3 / 10) << "bit " << bit;
        EXPECT_LT(ones[bit], samples * 7 / 10) << "bit " << bit;
    }
}

TEST(RandomUuidTest, AForkedProcessDrawsOtherIdentifiersThanItsParent) {
    // Whatever the parent drew before the fork, the child's next identifier is its own:
    // no generator state is copied into it.
    (void)randomUuidText();
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const std::string text = randomUuidText();
        const bool written =
            ::write(fds[1], text.data(), text.size()) == static_cast<ssize_t>(text.size());
        ::_exit(written ? 0 : 1);
    }
    ::close(fds[1]);
    const std::string mine = randomUuidText();
    std::string theirs(36, '\0');
    std::size_t got = 0;
    for (ssize_t n; got < theirs.size() && (n = ::read(fds[0], &theirs[got], 36 - got)) > 0;)
        got += static_cast<std::size_t>(n);
    ::close(fds[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_EQ(got, 36u);
    EXPECT_NE(mine, theirs);
}

} // namespace
} // namespace host
