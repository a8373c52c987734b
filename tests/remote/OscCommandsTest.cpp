// SPDX-License-Identifier: GPL-3.0-or-later
#include "remote/OscCommands.h"

#include "OscPackets.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

namespace {

using Kind = RemoteCommand::Kind;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

std::optional<RemoteCommand> Parse(const char* path, const std::vector<OscArg>& args = {})
{
    const std::vector<char> packet = OscPacket(path, args);
    return ParseOscPacket(packet.data(), packet.size());
}

struct Good {
    const char* path;
    std::vector<OscArg> args;
    Kind kind;
    int pad = 0;
    double tempo = 0;
    int semitones = 0;
    int cents = 0;
};

TEST(OscCommands, EveryAddressWithGoodArgumentsInAnyNumericType)
{
    const std::vector<Good> table = {
        {"/quendel/press", {{'i', 1}}, Kind::Press, 1},
        {"/quendel/press", {{'f', 3.0}}, Kind::Press, 3},
        {"/quendel/press", {{'d', 5.0}}, Kind::Press, 5},
        {"/quendel/press", {{'h', 7}}, Kind::Press, 7},
        {"/quendel/release", {{'i', 4}}, Kind::Release, 4},
        {"/quendel/stop", {}, Kind::Stop},
        {"/quendel/tempo", {{'f', 96.5}}, Kind::Tempo, 0, 96.5},
        {"/quendel/tempo", {{'i', 120}}, Kind::Tempo, 0, 120},
        {"/quendel/tempo", {{'h', 30}}, Kind::Tempo, 0, 30},
        {"/quendel/tempo", {{'i', 0}}, Kind::Tempo, 0, 0},
        {"/quendel/transpose", {{'i', -2}, {'i', 15}}, Kind::Transpose, 0, 0, -2, 15},
        {"/quendel/transpose", {{'i', 3}}, Kind::Transpose, 0, 0, 3, 0},
        {"/quendel/transpose", {{'f', 12.0}, {'d', -50}}, Kind::Transpose, 0, 0, 12, -50},
        {"/quendel/next", {}, Kind::Next},
        {"/quendel/previous", {}, Kind::Previous},
        {"/quendel/hello", {}, Kind::Hello},
        {"/quendel/nextsong", {}, Kind::NextSong},
        {"/quendel/previoussong", {}, Kind::PreviousSong},
    };
    for (const Good& good : table) {
        SCOPED_TRACE(std::string(good.path) + " " + std::to_string(good.args.size()));
        const std::optional<RemoteCommand> command = Parse(good.path, good.args);
        ASSERT_TRUE(command);
        EXPECT_EQ(command->kind, good.kind);
        EXPECT_EQ(command->pad, good.pad);
        EXPECT_DOUBLE_EQ(command->tempo, good.tempo);
        EXPECT_EQ(command->semitones, good.semitones);
        EXPECT_EQ(command->cents, good.cents);
    }
    for (const auto& [arg, bank] : {std::pair{OscArg{'i', 1}, 1}, std::pair{OscArg{'f', 8.0}, 8}}) {
        const std::optional<RemoteCommand> command = Parse("/quendel/bank", {arg});
        ASSERT_TRUE(command);
        EXPECT_EQ(command->kind, Kind::Bank);
        EXPECT_EQ(command->bank, bank);
    }
    const std::optional<RemoteCommand> song = Parse("/quendel/song", {{'i', 128}});
    ASSERT_TRUE(song);
    EXPECT_EQ(song->song, 128);
}

TEST(OscCommands, WrongTypesMissingOrSurplusArgumentsAndNumbersOutOfRangeAreNothing)
{
    const std::vector<std::pair<const char*, std::vector<OscArg>>> table = {
        {"/quendel/press", {}},
        {"/quendel/press", {{'i', 0}}},
        {"/quendel/press", {{'i', 29}}},
        {"/quendel/press", {{'f', 2.5}}},
        {"/quendel/press", {{'f', kNaN}}},
        {"/quendel/press", {{'d', kInf}}},
        {"/quendel/press", {{'h', 4294967297.0}}}, // 1 once cut to 32 bits
        {"/quendel/press", {{'s', 0, "1"}}},
        {"/quendel/press", {{'T'}}},
        {"/quendel/press", {{'i', 1}, {'i', 2}}},
        {"/quendel/release", {{'i', 100}}},
        {"/quendel/stop", {{'i', 1}}},
        {"/quendel/tempo", {}},
        {"/quendel/tempo", {{'f', 29.9}}},
        {"/quendel/tempo", {{'f', 300.5}}},
        {"/quendel/tempo", {{'f', kNaN}}},
        {"/quendel/tempo", {{'s', 0, "120"}}},
        {"/quendel/tempo", {{'f', 120}, {'f', 1}}},
        {"/quendel/transpose", {}},
        {"/quendel/transpose", {{'i', 13}}},
        {"/quendel/transpose", {{'f', 1.5}}},
        {"/quendel/transpose", {{'i', 1}, {'i', 51}}},
        {"/quendel/transpose", {{'i', 1}, {'s', 0, "5"}}},
        {"/quendel/transpose", {{'i', 1}, {'i', 2}, {'i', 3}}},
        {"/quendel/next", {{'i', 1}}},
        {"/quendel/bank", {}},
        {"/quendel/song", {{'i', 0}}},
        {"/quendel/song", {{'i', 129}}},
        {"/quendel/nextsong", {{'i', 1}}},
        {"/quendel/bank", {{'i', 0}}},
        {"/quendel/bank", {{'i', 9}}},
        {"/quendel/bank", {{'s', 0, "B"}}},
        {"/quendel/hello", {{'s', 0, "me"}}},
        {"/quendel/pres", {{'i', 1}}},
        {"/Quendel/press", {{'i', 1}}},
        {"/quendel/*", {{'i', 1}}},
        {"/other/press", {{'i', 1}}},
        {"/quendel/pads", {}}, // what Quendel sends, not what it takes
    };
    for (const auto& [path, args] : table) {
        SCOPED_TRACE(std::string(path) + " " + std::to_string(args.size()) + " arguments");
        EXPECT_FALSE(Parse(path, args));
    }
}

TEST(OscCommands, CallsWithoutAMessageBehindThemAreNothing)
{
    lo_arg one{};
    one.i = 1;
    lo_arg* argv[] = {&one};
    EXPECT_TRUE(ParseOscCommand("/quendel/press", "i", argv, 1));
    EXPECT_FALSE(ParseOscCommand(nullptr, "i", argv, 1));
    EXPECT_FALSE(ParseOscCommand("/quendel/press", nullptr, argv, 1));
    EXPECT_FALSE(ParseOscCommand("/quendel/press", "i", nullptr, 1));
    EXPECT_FALSE(ParseOscCommand("/quendel/press", "ii", argv, 1)); // types say two
    EXPECT_FALSE(ParseOscCommand("/quendel/press", "i", argv, -1));
    EXPECT_TRUE(ParseOscCommand("/quendel/stop", nullptr, nullptr, 0));
}

TEST(OscCommands, BundlesEmptyTruncatedAndOversizedPacketsAreNothing)
{
    const std::vector<char> press = OscPacket("/quendel/press", {{'i', 2}});
    ASSERT_TRUE(ParseOscPacket(press.data(), press.size()));
    EXPECT_FALSE(ParseOscPacket(nullptr, 0));
    EXPECT_FALSE(ParseOscPacket(press.data(), 0));
    EXPECT_FALSE(ParseOscPacket(nullptr, press.size()));
    for (std::size_t size = 1; size < press.size(); ++size)
        EXPECT_FALSE(ParseOscPacket(press.data(), size)) << size;

    // A valid message padded past the limit, and one exactly at it.
    std::vector<char> huge(press);
    huge.resize(kMaxOscPacket + 4, '\0');
    EXPECT_FALSE(ParseOscPacket(huge.data(), huge.size()));

    lo_bundle bundle = lo_bundle_new(LO_TT_IMMEDIATE);
    lo_message message = lo_message_new();
    lo_message_add_int32(message, 2);
    lo_bundle_add_message(bundle, "/quendel/press", message);
    std::size_t size = 0;
    void* bytes = lo_bundle_serialise(bundle, nullptr, &size);
    EXPECT_FALSE(ParseOscPacket(bytes, size));
    std::free(bytes);
    lo_bundle_free_recursive(bundle);
}

// Whatever arrives, reading it never crashes (the sanitizers watch), and what is read is in range.
TEST(OscCommands, FuzzedPacketsNeverCrashAndNeverGiveCommandsOutOfRange)
{
    const std::vector<std::vector<char>> valid = {
        OscPacket("/quendel/press", {{'i', 3}}),
        OscPacket("/quendel/tempo", {{'f', 96.5}}),
        OscPacket("/quendel/transpose", {{'i', -2}, {'i', 15}}),
        OscPacket("/quendel/next"),
        OscPacket("/quendel/release", {{'d', 28}}),
        OscPacket("/quendel/press", {{'s', 0, "a string to mutate"}, {'h', 5}}),
    };
    const auto check = [](const std::vector<unsigned char>& packet) {
        const std::optional<RemoteCommand> command = ParseOscPacket(packet.data(), packet.size());
        if (!command)
            return 0;
        EXPECT_TRUE(command->pad >= 0 && command->pad <= 28);
        EXPECT_TRUE(command->tempo == 0 || (command->tempo >= 30 && command->tempo <= 300));
        EXPECT_LE(std::abs(command->semitones), 12);
        EXPECT_LE(std::abs(command->cents), 50);
        return 1;
    };

    std::mt19937 random(20240611);
    const auto below = [&](std::size_t n) {
        return std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
    };
    const auto byte = [&] { return static_cast<unsigned char>(below(256)); };
    const std::string tags = "ifdhsSbcmtTFNIrX[],";
    int parsed = 0;
    for (int round = 0; round < 20000; ++round) {
        std::vector<unsigned char> packet;
        const std::vector<char>& base = valid[below(valid.size())];
        switch (round % 5) {
        case 0: // noise, some of it starting like an address
            packet.resize(below(300));
            for (unsigned char& b : packet)
                b = byte();
            if (!packet.empty() && below(2) == 0)
                packet[0] = '/';
            break;
        case 1: // a valid packet with bytes flipped
            packet.assign(base.begin(), base.end());
            for (std::size_t n = 1 + below(4); n > 0; --n)
                packet[below(packet.size())] ^= static_cast<unsigned char>(1u << below(8));
            break;
        case 2: // a valid packet cut short, or with its end doubled
            packet.assign(base.begin(), base.begin() + static_cast<long>(below(base.size())));
            if (below(4) == 0)
                packet.insert(packet.end(), base.begin(), base.end());
            break;
        case 3: { // an address and random type tags over random arguments
            const std::string head = "/quendel/transpose";
            packet.assign(head.begin(), head.end());
            packet.resize((packet.size() / 4 + 1) * 4, 0);
            packet.push_back(',');
            for (std::size_t n = below(12); n > 0; --n)
                packet.push_back(static_cast<unsigned char>(tags[below(tags.size())]));
            packet.resize((packet.size() / 4 + 1) * 4, 0);
            for (std::size_t n = below(64); n > 0; --n)
                packet.push_back(byte());
            break;
        }
        default: // sizes around and far past the limit
            packet.assign(base.begin(), base.end());
            packet.resize(below(8) == 0 ? kMaxOscPacket + 1 + below(1 << 16)
                                        : kMaxOscPacket - 8 + 4 * below(4),
                          byte());
            break;
        }
        parsed += check(packet);
    }
    // Some mutations leave a valid command (a flipped padding byte, a doubled end cut back).
    EXPECT_GT(parsed, 0);
    for (const std::vector<char>& packet : valid)
        EXPECT_EQ(ParseOscPacket(packet.data(), packet.size()).has_value(),
                  &packet != &valid.back());
}

} // namespace
