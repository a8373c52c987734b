// SPDX-License-Identifier: GPL-3.0-or-later
#include "tonegen/ToneRange.h"
#include "tonegen/ToneFrequencyText.h"

#include <gtest/gtest.h>

#include <optional>
#include <string_view>

namespace {

using ToneRange::Range;

TEST(ToneFrequencyText, UnderstandsHertzKilohertzAndTheReadoutsOwnForm)
{
    struct Case {
        std::string_view text;
        int frequency;
    };
    for (const Case c :
         {Case{"440", 440}, Case{" 440 Hz ", 440}, Case{"440hz", 440}, Case{"1k", 1000},
          Case{"1.5 kHz", 1500}, Case{"1,5 KHZ", 1500}, Case{"20 kHz", 20000}, Case{".5k", 500},
          Case{"1.000 Hz", 1000}, Case{"10,960", 10960}, Case{"27.5 Hz", 28}, Case{"1", 1},
          Case{"0.6", 1}, Case{"1.2346k", 1235}, Case{"0020000", 20000}})
        EXPECT_EQ(ToneFrequencyText::Parse(c.text), c.frequency) << c.text;
}

TEST(ToneFrequencyText, RefusesNonsenseAndFrequenciesOutsideOneToTwentyThousand)
{
    const std::string_view refused[] = {
        "abc", "",      " ",       "Hz",      "k",    "-440",        "+440",  "0",
        "0.4", "20001", "21k",     "20.001k", "1e3",  "440 Hz Hz",   "4 4 0", "1.5.0",
        "1.",  ",",     "440 MHz", "1kk",     "0x10", "99999999999", "440\n", "1\xc2\xa0k"};
    for (const std::string_view text : refused)
        EXPECT_EQ(ToneFrequencyText::Parse(text), std::nullopt) << text;
}

TEST(ToneRange, EachRangeSpansTheMarkersTravelLogarithmically)
{
    struct Case {
        Range range;
        int low, middle, high;
    };
    // The middle of the travel (left 375) is the geometric middle of a picked range.
    for (const Case c : {Case{Range::Low, 1, 22, 500}, Case{Range::Middle, 300, 949, 3000},
                         Case{Range::Full, 20, 632, 20000}}) {
        EXPECT_EQ(ToneRange::FrequencyAt(c.range, 40), c.low);
        EXPECT_EQ(ToneRange::FrequencyAt(c.range, 375), c.middle);
        EXPECT_EQ(ToneRange::FrequencyAt(c.range, 710), c.high);
        EXPECT_EQ(ToneRange::FrequencyAt(c.range, -5), c.low); // beyond the stops
        EXPECT_EQ(ToneRange::FrequencyAt(c.range, 900), c.high);
    }
}

TEST(ToneRange, TheMarkerForAFrequencyStandsWhereThatFrequencySounds)
{
    for (const Range range : {Range::Scale, Range::Low, Range::Middle, Range::Full}) {
        const ToneRange::Span span = ToneRange::SpanOf(range);
        int previous = 0;
        for (int left = 40; left <= 710; ++left) {
            const int frequency = ToneRange::FrequencyAt(range, left);
            EXPECT_GE(frequency, previous) << left;
            previous = frequency;
            // Back from the frequency to a left that sounds it (several lefts may share one).
            const int back = ToneRange::MarkerLeftFor(range, frequency);
            EXPECT_EQ(ToneRange::FrequencyAt(range, back), frequency)
                << static_cast<int>(range) << " at " << left;
        }
        EXPECT_EQ(ToneRange::MarkerLeftFor(range, span.low - 1), 40);
        EXPECT_EQ(ToneRange::MarkerLeftFor(range, span.high + 1), 710);
    }
    // On the printed scale the frequency menu's old points.
    const int menu[][2] = {{20, 64},   {50, 79},   {80, 90},   {100, 96},
                           {250, 130}, {500, 169}, {1000, 224}};
    for (const auto& [frequency, left] : menu)
        EXPECT_EQ(ToneRange::MarkerLeftFor(Range::Scale, frequency), left) << frequency;
}

TEST(ToneRange, CaptionsNameThePickedRangesOnly)
{
    for (const Range range : ToneRange::kChoices)
        EXPECT_EQ(ToneRange::FromCaption(ToneRange::Caption(range)), range);
    EXPECT_EQ(ToneRange::FromCaption("  20 hz - 20 KHZ\t"), Range::Full);
    for (const std::string_view text : {"", "scale", "20 Hz - 20 kHz x", "1 Hz-500 Hz", "1"})
        EXPECT_EQ(ToneRange::FromCaption(text), std::nullopt) << text;
    EXPECT_TRUE(ToneRange::Caption(Range::Scale).empty());
}

} // namespace
