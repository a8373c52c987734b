// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <vector>

namespace demokit {

constexpr int kSampleRate = 44100;

// A stereo loop being built. Whatever is added past its end wraps round to its start, exactly as
// a note would ring on into the next pass while the loop plays round: so a loop made here has no
// gap and no click at its seam, however long its last notes ring.
class LoopCanvas {
public:
    explicit LoopCanvas(int frames);

    int frames() const { return static_cast<int>(m_left.size()); }

    double left(int frame) const { return m_left[static_cast<std::size_t>(frame)]; }
    double right(int frame) const { return m_right[static_cast<std::size_t>(frame)]; }
    double& left(int frame) { return m_left[static_cast<std::size_t>(frame)]; }
    double& right(int frame) { return m_right[static_cast<std::size_t>(frame)]; }

    // Adds a mono sound from `start` on (any frame, even past the end or before the start),
    // placed by `pan` from -1 (left) to 1 (right) with constant power; the centre keeps `gain` on
    // both sides.
    void add(int start, const std::vector<double>& sound, double gain, double pan = 0.0);
    // Adds a stereo sound from `start` on.
    void add(int start, const std::vector<double>& left, const std::vector<double>& right,
             double gain);
    // Adds another loop of the same length, scaled.
    void mix(const LoopCanvas& other, double gain = 1.0);

    void scale(double gain);
    // The largest absolute sample of either channel.
    double peak() const;
    // Root mean square over both channels.
    double rms() const;
    // Takes the mean of each channel away, so the loop carries no DC offset.
    void removeDc();

private:
    std::size_t wrap(long long frame) const;

    std::vector<double> m_left;
    std::vector<double> m_right;
};

// Runs a stateful stereo effect over the loop as it sounds once it has played round a few times:
// the passes before the last only warm the effect up, so the echo or reverb tail of the loop's
// end already rings at its start. An effect has `void process(double& left, double& right)`.
template <class Effect>
LoopCanvas processLooped(const LoopCanvas& input, Effect& effect, int warmUpPasses = 2)
{
    LoopCanvas output(input.frames());
    for (int pass = 0; pass <= warmUpPasses; ++pass) {
        for (int i = 0; i < input.frames(); ++i) {
            double left = input.left(i);
            double right = input.right(i);
            effect.process(left, right);
            if (pass == warmUpPasses) {
                output.left(i) = left;
                output.right(i) = right;
            }
        }
    }
    return output;
}

} // namespace demokit
