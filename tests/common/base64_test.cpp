#include "common/base64.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

TEST(Base64, MatchesRfc4648Vectors) {
    struct Row {
        std::string in, out;
    } rows[] = {{"", ""},
                {"f", "Zg=="},
                {"fo", "Zm8="},
                {"foo", "Zm9v"},
                {"foob", "Zm9vYg=="},
                {"fooba", "Zm9vYmE="},
                {"foobar", "Zm9vYmFy"}};
    for (const auto& row : rows)
        EXPECT_EQ(
            common::base64(reinterpret_cast<const unsigned char*>(row.in.data()), row.in.size()),
            row.out);
}

TEST(Base64, LargeInputHasNoLineBreaksAndExactLength) {
    std::vector<unsigned char> data(10'000'001, 0xAB);
    std::string out = "prefix:";
    common::appendBase64(out, data.data(), data.size());
    EXPECT_EQ(out.size(), 7 + 4 * ((data.size() + 2) / 3));
    EXPECT_EQ(out.find('\n'), std::string::npos);
    EXPECT_EQ(out.substr(0, 11), "prefix:q6ur");
    EXPECT_EQ(out.back(), '=');
}

} // namespace
