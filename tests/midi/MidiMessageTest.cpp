// SPDX-License-Identifier: GPL-3.0-or-later
#include "io/MidiMessage.h"
#include "midi/AlsaSeqTransport.h"

#include <alsa/asoundlib.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(MidiMessageTest, VelocityZeroIsANoteOffAndOtherMessagesAreLeftOut)
{
    const Bytes on{0x99, 36, 0};
    const auto off = MidiMessage::FromBytes(on.data(), on.size());
    ASSERT_TRUE(off);
    EXPECT_EQ(*off, (MidiMessage{MidiMessage::Type::NoteOff, 10, 36, 0}));
    const Bytes cc{0xB0, 7, 127};
    EXPECT_EQ(MidiMessage::FromBytes(cc.data(), cc.size()),
              (MidiMessage{MidiMessage::Type::Control, 1, 7, 127}));
    // A program change (a bank of pads) has one data byte, never two.
    const Bytes program{0xC2, 5};
    EXPECT_EQ(MidiMessage::FromBytes(program.data(), program.size()),
              (MidiMessage{MidiMessage::Type::Program, 3, 5, 0}));
    for (const Bytes& other :
         {Bytes{0xE0, 0, 64}, Bytes{0xC0, 5, 1}, Bytes{0xC0, 0x85}, Bytes{0xD0, 5}, Bytes{0x90, 36},
          Bytes{36, 1, 2}, Bytes{0x90, 0x90, 1}, Bytes{0x90, 36, 1, 37}})
        EXPECT_FALSE(MidiMessage::FromBytes(other.data(), other.size()));
}

// A JACK event holds whatever its sender put in. However a random byte stream is cut into
// events, a message comes only of an event that is one whole note, control or program change.
TEST(MidiMessageTest, RandomBytesCutAnywhereGiveOnlyWholeMessages)
{
    std::mt19937 random(20250611);
    std::uniform_int_distribution<int> anyByte(0, 255);
    std::uniform_int_distribution<std::size_t> eventSize(0, 6);
    Bytes stream(300000);
    for (std::uint8_t& byte : stream)
        byte = static_cast<std::uint8_t>(anyByte(random));

    int messages = 0;
    for (std::size_t at = 0; at < stream.size();) {
        const std::size_t size = std::min(eventSize(random), stream.size() - at);
        const std::uint8_t* event = stream.data() + at;
        at += size;
        const std::optional<MidiMessage> message = MidiMessage::FromBytes(event, size);
        if (!message)
            continue;
        ++messages;
        if (message->type == MidiMessage::Type::Program) {
            ASSERT_EQ(size, 2u);
            ASSERT_EQ(event[0] >> 4, 0xC);
            ASSERT_EQ(message->number, event[1]);
            continue;
        }
        ASSERT_EQ(size, 3u);
        const int kind = event[0] >> 4;
        ASSERT_TRUE(kind == 0x8 || kind == 0x9 || kind == 0xB) << int(event[0]);
        ASSERT_LT(event[1], 0x80);
        ASSERT_LT(event[2], 0x80);
        const MidiMessage::Type type = kind == 0xB                   ? MidiMessage::Type::Control
                                       : kind == 0x9 && event[2] > 0 ? MidiMessage::Type::NoteOn
                                                                     : MidiMessage::Type::NoteOff;
        ASSERT_EQ(*message, (MidiMessage{type, static_cast<std::uint8_t>((event[0] & 0x0F) + 1),
                                         event[1], event[2]}));
    }
    EXPECT_GT(messages, 100); // the stream held some whole messages, and they came through
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
    EXPECT_FALSE(AlsaSeqTransport::ProgramBytes(event));
    event.type = SND_SEQ_EVENT_PGMCHANGE;
    event.data.control.channel = 2;
    event.data.control.value = 5;
    EXPECT_EQ(AlsaSeqTransport::ProgramBytes(event), (std::array<std::uint8_t, 2>{0xC2, 5}));
    EXPECT_FALSE(AlsaSeqTransport::EventBytes(event));
    event.type = SND_SEQ_EVENT_PITCHBEND;
    EXPECT_FALSE(AlsaSeqTransport::EventBytes(event));
    EXPECT_FALSE(AlsaSeqTransport::ClockByte(event));

    // A clock's events become its one byte, which the pads' side knows again.
    for (const auto& [type, byte] :
         {std::pair{SND_SEQ_EVENT_CLOCK, 0xF8}, std::pair{SND_SEQ_EVENT_START, 0xFA},
          std::pair{SND_SEQ_EVENT_CONTINUE, 0xFB}, std::pair{SND_SEQ_EVENT_STOP, 0xFC}}) {
        event.type = static_cast<snd_seq_event_type_t>(type);
        ASSERT_EQ(AlsaSeqTransport::ClockByte(event), byte);
        EXPECT_FALSE(AlsaSeqTransport::EventBytes(event));
        const std::uint8_t one = *AlsaSeqTransport::ClockByte(event);
        EXPECT_TRUE(ClockMessageOf(&one, 1));
    }
    const std::uint8_t notClock[2] = {0xF8, 0xF8};
    EXPECT_FALSE(ClockMessageOf(notClock, 2)); // exactly one byte
    const std::uint8_t songPosition = 0xF2;
    EXPECT_FALSE(ClockMessageOf(&songPosition, 1));
}

} // namespace
