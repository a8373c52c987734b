#include "midi/MidiMessage.h"
#include "midi/AlsaSeqTransport.h"

#include <alsa/asoundlib.h>
#include <unistd.h>

#include <gtest/gtest.h>

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
