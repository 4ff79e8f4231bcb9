#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "motion/fixed_format.h"
#include "motion/number_text.h"

namespace {

std::uint32_t bitsOf(float v) {
    std::uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return bits;
}

// The converter sees the token inside a line, followed by a blank and more values, as the
// reader gives it (far enough from the line's end for the eight-byte path).
float convertInLine(const std::string& token, std::size_t& consumed) {
    std::string line = token + " 123 456.789 1000000 2.25";
    float v = -1.0f;
    const char* end = convertFloatToken(line.data(), line.data() + line.size(), v);
    consumed = static_cast<std::size_t>(end - line.data());
    return v;
}

void expectLikeAtof(const std::string& token) {
    float expected = static_cast<float>(std::atof(token.c_str()));
    std::size_t consumed = 0;
    float inLine = convertInLine(token, consumed);
    EXPECT_EQ(bitsOf(inLine), bitsOf(expected)) << "token '" << token << "'";
    EXPECT_EQ(consumed, token.size()) << "token '" << token << "'";
    float alone = -1.0f;
    convertFloatToken(token.data(), token.data() + token.size(), alone);
    EXPECT_EQ(bitsOf(alone), bitsOf(expected)) << "token '" << token << "'";
    EXPECT_EQ(bitsOf(atofFloat(token)), bitsOf(expected)) << "token '" << token << "'";
}

TEST(NumberText, TrickyTokensConvertAsAtof) {
    const char* const tokens[] = {
        "0",
        "-0",
        "+0",
        "-0.0000",
        "5.",
        ".5",
        "-.5",
        "+.5",
        ".",
        "-",
        "+",
        "+-1",
        "abc",
        "1.5abc",
        "1e5",
        "1E-5",
        "1e",
        "1e+",
        "2.5e-3x",
        "0x1p3",
        "0X1A",
        "-0x.8",
        "inf",
        "-Infinity",
        "nan",
        "nan(123)",
        "1e999",
        "-1e999",
        "3.4028235e38",
        "3.4028236e38",
        "1e-46",
        "1.4e-45",
        "0.000000000000000000000000000000000000000000001",
        "9007199254740993",
        "9007199254740992.5",
        "123456789012345678901234567890",
        "0.1",
        "0.3",
        "16777217",
        "0.0000000000000000000001",
        "1234567.8901234567",
        "00000000000000000000001.5",
        "1.00000005960464477539",
        "1.0000000596046447753906",
        "0.33333333333333333333333",
        "\v7",
        "\r8",
        "1,5",
        "1_000",
        "--1",
        "٣",
    };
    for (const char* token : tokens) {
        expectLikeAtof(token);
    }
}

TEST(NumberText, RandomTokensConvertAsAtof) {
    std::mt19937 random(20261208);
    // Decimals written the way motion files write them, with any number of digits.
    for (int i = 0; i < 200000; ++i) {
        char text[64];
        std::uniform_real_distribution<double> value(-2000.0, 2000.0);
        int decimals = static_cast<int>(random() % 12);
        std::snprintf(text, sizeof text, "%.*f", decimals, value(random));
        expectLikeAtof(text);
    }
    // Any bit pattern as a double in every notation.
    for (int i = 0; i < 50000; ++i) {
        std::uint64_t bits = (std::uint64_t{random()} << 32) | random();
        double v;
        std::memcpy(&v, &bits, sizeof v);
        char text[64];
        const char* formats[] = {"%.17g", "%.9g", "%a", "%.3e", "%.20f"};
        std::snprintf(text, sizeof text, formats[i % 5], v);
        expectLikeAtof(text);
    }
    // Short runs of number-like characters, most of them not numbers at all.
    const char alphabet[] = "0123456789.+-eExXpPaAfFiInNtTyY";
    for (int i = 0; i < 200000; ++i) {
        std::string token(1 + random() % 12, ' ');
        for (char& c : token)
            c = alphabet[random() % (sizeof alphabet - 1)];
        expectLikeAtof(token);
    }
}

TEST(NumberText, IntegersConvertAsAtoiAndSaturate) {
    EXPECT_EQ(atoiPrefix("42"), 42);
    EXPECT_EQ(atoiPrefix("+7x"), 7);
    EXPECT_EQ(atoiPrefix("-13"), -13);
    EXPECT_EQ(atoiPrefix("3.9"), 3);
    EXPECT_EQ(atoiPrefix("x3"), 0);
    EXPECT_EQ(atoiPrefix("0x10"), 0);
    EXPECT_EQ(atoiPrefix("\v5"), 5);
    EXPECT_EQ(atoiPrefix(""), 0);
    EXPECT_EQ(atoiPrefix("2147483648"), 2147483648LL);
    EXPECT_EQ(atoiPrefix("99999999999999999999999"), 1LL << 62);
    EXPECT_EQ(atoiPrefix("-99999999999999999999999"), -(1LL << 62));
}

// The writer's number formatting must give printf's bytes for every float.
TEST(FixedFormat, MatchesPrintfForEveryKindOfFloat) {
    std::vector<float> values = {0.0f,     -0.0f,      0.03125f,      -0.03125f,     0.00005f,
                                 0.99995f, 1.00005f,   4294967295.0f, 4294967296.0f, -3.4028235e38f,
                                 1e-45f,   123.45675f, 1.0f / 3.0f};
    std::mt19937 random(7);
    for (int i = 0; i < 300000; ++i) {
        std::uint32_t bits = random();
        float v;
        std::memcpy(&v, &bits, sizeof v);
        values.push_back(v);
        values.push_back(static_cast<float>(static_cast<int>(random() % 3600001) - 1800000) /
                         10000.0f);
        values.push_back(
            std::ldexp(static_cast<float>(random() % 1000000), -static_cast<int>(random() % 40)));
    }
    for (float v : values) {
        char expected[80];
        char got[80];
        std::snprintf(expected, sizeof expected, "%.4f", static_cast<double>(v));
        *formatFixed4(v, got) = '\0';
        ASSERT_STREQ(got, expected) << "bits " << bitsOf(v);
    }
}

}  // namespace
