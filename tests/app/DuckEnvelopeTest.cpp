#include "app/TDuckEnvelope.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace parlino;

namespace {

struct TDepthCase {
    const char* Name;
    std::vector<std::pair<int64_t, int64_t>> Speech;
    int64_t At;
    double Depth;
};

// Attack 100 ms, lowered until 300 ms after the end, up again at 600 ms.
const TDepthCase DepthCases[] = {
    {"before the attack", {{1000, 2000}}, 899, 0},
    {"half way down", {{1000, 2000}}, 950, 0.5},
    {"down as the voice starts", {{1000, 2000}}, 1000, 1},
    {"held after the end", {{1000, 2000}}, 2300, 1},
    {"half way up", {{1000, 2000}}, 2450, 0.5},
    {"up 600 ms after the end", {{1000, 2000}}, 2600, 0},
    {"no dip between close lines", {{1000, 2000}, {2650, 3000}}, 2500, 1},
    {"a dip between lines further apart", {{1000, 2000}, {2800, 3000}}, 2650, 0},
    {"lines given out of order", {{2650, 3000}, {1000, 2000}}, 2450, 1},
    {"an open line holds", {{1000, TDuckEnvelope::Open}}, 90000, 1},
};

class DuckEnvelopeDepth : public testing::TestWithParam<TDepthCase> {};

} // namespace

TEST_P(DuckEnvelopeDepth, FollowsTheSpeech) {
    TDuckEnvelope envelope;
    for (auto [start, end] : GetParam().Speech) envelope.AddSpeech(start, end);
    EXPECT_NEAR(envelope.DepthAt(GetParam().At), GetParam().Depth, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(Cases, DuckEnvelopeDepth, testing::ValuesIn(DepthCases), [](const auto& info) {
    std::string name;
    for (const char* c = info.param.Name; *c; ++c) name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
    return name;
});

// A line whose end is not known yet holds the film down; once it ends, the
// film comes up again by the release and the line is forgotten.
TEST(DuckEnvelope, AnOpenLineEndsReleasesAndIsForgotten) {
    TDuckEnvelope envelope;
    envelope.AddSpeech(1000);
    EXPECT_EQ(envelope.NextChangeAfter(1500), TDuckEnvelope::Open);
    envelope.EndSpeech(2000);
    EXPECT_EQ(envelope.NextChangeAfter(1500), 2300);
    EXPECT_NEAR(20 * std::log10(DuckGain(envelope.DepthAt(2450), 12)), -6, 1e-9);
    envelope.ForgetBefore(2601);
    EXPECT_TRUE(envelope.Empty());
}
