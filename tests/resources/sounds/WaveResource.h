// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

// A WAVE file as libsndfile reads it from memory: its format and its samples scaled to [-1, 1).
struct WaveData {
    bool readable = false;
    int format = 0; // SF_FORMAT_* major | subtype
    int channels = 0;
    int sampleRate = 0;
    std::vector<short> pcm;

    double sample(std::size_t i) const { return pcm[i] / 32768.0; }
    std::vector<double> samples() const;
};

// Reads the bytes of the embedded resource (":/WAVE/PINK"); empty when it does not exist.
QByteArray resourceBytes(const QString& path);

// Decodes WAVE bytes through libsndfile's virtual I/O, without a temporary file.
WaveData decodeWave(const QByteArray& bytes);
