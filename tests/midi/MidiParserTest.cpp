#include "midi/MidiParser.h"
#include "midi/AlsaSeqTransport.h"
#include "io/MidiMessage.h"
#include <alsa/asoundlib.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// Feeds the reads one after another and returns the messages that came out whole.
std::vector<Bytes> parse(const std::vector<Bytes>& reads)
{
    MidiParser parser;
    std::vector<Bytes> out;
    for (const Bytes& read : reads)
        parser.feed(read.data(), read.size(), [&](const std::uint8_t* bytes, std::size_t size) {
            out.emplace_back(bytes, bytes + size);
        });
    return out;
}

TEST(MidiParser, RunningStatusRepeatsTheLastChannelStatus)
{
    EXPECT_EQ(parse({{0x90, 36, 100, 37, 90, 38, 0}}),
              (std::vector<Bytes>{{0x90, 36, 100}, {0x90, 37, 90}, {0x90, 38, 0}}));
    // Across reads, and a program change takes one data byte.
    EXPECT_EQ(parse({{0xB1, 7}, {64, 8}, {1, 0xC2, 5, 6}}),
              (std::vector<Bytes>{{0xB1, 7, 64}, {0xB1, 8, 1}, {0xC2, 5}, {0xC2, 6}}));
}

TEST(MidiParser, SysExIsSkippedAlsoWhenSplitAcrossReads)
{
    EXPECT_EQ(parse({{0x90, 36, 1, 0xF0, 0x7E, 0x00}, {0x09, 0x01}, {0xF7, 0x80, 36, 0}}),
              (std::vector<Bytes>{{0x90, 36, 1}, {0x80, 36, 0}}));
    // SysEx ends running status: its data bytes never become notes.
    EXPECT_EQ(parse({{0x90, 36, 1, 0xF0, 1, 2, 0xF7, 40, 41}}),
              (std::vector<Bytes>{{0x90, 36, 1}}));
    // A SysEx cut off by a status byte without F7 ends there.
    EXPECT_EQ(parse({{0xF0, 1, 2}, {0x91, 40, 50}}), (std::vector<Bytes>{{0x91, 40, 50}}));
}

TEST(MidiParser, RealtimeBytesAnywhereAreDropped)
{
    EXPECT_EQ(parse({{0xF8, 0x90, 0xF8, 36}, {0xFE, 100, 0xFA, 37, 0xFC, 80}}),
              (std::vector<Bytes>{{0x90, 36, 100}, {0x90, 37, 80}}));
    EXPECT_EQ(parse({{0xF0, 1, 0xF8, 2, 0xF7, 0xB0, 7, 0xFF, 9}}),
              (std::vector<Bytes>{{0xB0, 7, 9}}));
}

TEST(MidiParser, StrayDataAndSystemCommonPlayNothing)
{
    EXPECT_EQ(parse({{36, 100, 0x90, 36, 100}}), (std::vector<Bytes>{{0x90, 36, 100}}));
    // Song position (two data bytes) ends running status.
    EXPECT_EQ(parse({{0x90, 36, 100, 0xF2, 1, 2, 37, 90}}), (std::vector<Bytes>{{0x90, 36, 100}}));
    // A status byte in the middle of a message starts anew.
    EXPECT_EQ(parse({{0x90, 36, 0x80, 36, 0}}), (std::vector<Bytes>{{0x80, 36, 0}}));
}

TEST(MidiMessageTest, VelocityZeroIsANoteOffAndOtherMessagesAreLeftOut)
{
    const Bytes on{0x99, 36, 0};
    const auto off = MidiMessage::FromBytes(on.data(), on.size());
    ASSERT_TRUE(off);
    EXPECT_EQ(*off, (MidiMessage{MidiMessage::Type::NoteOff, 10, 36, 0}));
    const Bytes cc{0xB0, 7, 127};
    EXPECT_EQ(MidiMessage::FromBytes(cc.data(), cc.size()),
              (MidiMessage{MidiMessage::Type::Control, 1, 7, 127}));
    for (const Bytes& other : {Bytes{0xE0, 0, 64}, Bytes{0xC0, 5}, Bytes{0x90, 36}, Bytes{36, 1, 2},
                               Bytes{0x90, 0x90, 1}})
        EXPECT_FALSE(MidiMessage::FromBytes(other.data(), other.size()));
}

TEST(AlsaSequencer, OpensOnlyWhereThereIsOneAndConvertsItsEvents)
{
    // Without /dev/snd/seq (this machine, CI) there is no client, and no error either.
    const std::unique_ptr<AlsaSeqTransport> seq = AlsaSeqTransport::Open("Quendel test");
    if (access("/dev/snd/seq", R_OK | W_OK) != 0) {
        EXPECT_EQ(seq, nullptr);
    } else if (seq) {
        EXPECT_STREQ(seq->name(), "ALSA sequencer");
    }

    snd_seq_event event{};
    event.type = SND_SEQ_EVENT_NOTEON;
    event.data.note = {9, 36, 0, 0, 0};
    EXPECT_EQ(AlsaSeqTransport::EventBytes(event), (std::array<std::uint8_t, 3>{0x99, 36, 0}));
    event.type = SND_SEQ_EVENT_CONTROLLER;
    event.data.control.channel = 1;
    event.data.control.param = 7;
    event.data.control.value = 200; // out of range: kept a data byte
    EXPECT_EQ(AlsaSeqTransport::EventBytes(event),
              (std::array<std::uint8_t, 3>{0xB1, 7, 200 & 0x7F}));
    event.type = SND_SEQ_EVENT_PITCHBEND;
    EXPECT_FALSE(AlsaSeqTransport::EventBytes(event));
}

} // namespace
