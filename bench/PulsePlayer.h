#pragma once

#include <string>
#include <vector>

// measure_pulse's player: the real bar on the rig's server, answering the rig's lines ("press PAD
// SENT_NS", "busy on", "busy off", "stats", "quit") on stdout. buffer is the AudioBuffer setting.
int runPlayer(const std::string& buffer);

// Test tones at the recording's rate: the player's pads play them and the rig plays one beside
// the player.
std::vector<float> squareWave(int frames, float level, int period);
std::vector<float> sineWave(int frames, float level, double hz);
