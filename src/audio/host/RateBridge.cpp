// SPDX-License-Identifier: GPL-3.0-or-later
#include "RateBridge.h"

#include <algorithm>
#include <samplerate.h>

RateBridge::RateBridge(int fromRate, int toRate, AudioDevice::RenderCallback render, void* context)
    : m_ratio(static_cast<double>(toRate) / fromRate), m_render(render), m_context(context)
{
    int error = 0;
    // The fastest of the band-limited converters: the whole mix passes through it every period.
    m_state = src_callback_new(&RateBridge::supply, SRC_SINC_FASTEST, 2, &error, this);
}

RateBridge::~RateBridge()
{
    if (m_state)
        src_delete(m_state);
}

long RateBridge::supply(void* self, float** data)
{
    auto& bridge = *static_cast<RateBridge*>(self);
    bridge.m_render(bridge.m_context, bridge.m_block.data(), kBlockFrames);
    *data = bridge.m_block.data();
    return kBlockFrames;
}

void RateBridge::pull(float* out, int frames)
{
    const long got = m_state ? src_callback_read(m_state, m_ratio, frames, out) : 0;
    std::fill(out + std::max(got, 0L) * 2, out + static_cast<long>(frames) * 2, 0.0f);
}
