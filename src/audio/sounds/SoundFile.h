// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class SampleBuffer;
struct sf_private_tag;
struct SRC_STATE_tag;

// A sound file opened for reading through libsndfile, delivering stereo float frames at the
// file's own rate: mono plays on both sides, more than two channels are averaged down to two.
// Opening refuses anything that is not a non-empty regular file (a FIFO would block the open, a
// folder has nothing to play), so a bad path never hangs the caller.
class SoundFile {
public:
    static std::unique_ptr<SoundFile> open(const std::string& path);
    ~SoundFile();
    SoundFile(const SoundFile&) = delete;
    SoundFile& operator=(const SoundFile&) = delete;

    int channels() const { return m_channels; }
    int rate() const { return m_rate; }
    // What the header claims; only a hint (MP3 and truncated files differ from it).
    std::int64_t framesHint() const { return m_framesHint; }

    // Reads up to `frames` stereo frames into `out`; 0 means the file is done.
    long readStereo(float* out, long frames);
    // Back to the first frame, for loops.
    bool rewind();

private:
    explicit SoundFile(int fd);
    bool openSoundFile();

    int m_fd;
    sf_private_tag* m_file = nullptr;
    int m_channels = 0;
    int m_rate = 0;
    int m_format = 0;
    std::int64_t m_framesHint = 0;
    std::vector<float> m_scratch; // source frames of files with more than two channels
};

// Pulls stereo frames at the engine's rate out of a file, converting the sample rate when the
// file has another one. A looping decoder rewinds the file in front of the converter, so the
// converter sees one continuous signal and the seam carries no edge of the filter.
class StreamDecoder {
public:
    static std::unique_ptr<StreamDecoder> open(const std::string& path, int rate, bool loop);
    ~StreamDecoder();
    StreamDecoder(const StreamDecoder&) = delete;
    StreamDecoder& operator=(const StreamDecoder&) = delete;

    // Up to `frames` frames; 0 when a once-played file is done (or a loop has nothing to play).
    long read(float* out, long frames);
    const SoundFile& file() const { return *m_file; }
    // Frames delivered per file frame.
    double ratio() const { return m_ratio; }
    // A loop's pass in file frames, once the first pass has ended (0 before, and when not
    // looping). A pass ends at delivered frame n * passFrames() * ratio().
    std::int64_t passFrames() const { return m_passFrames; }

private:
    StreamDecoder(std::unique_ptr<SoundFile> file, int rate, bool loop);
    static long supply(void* self, float** data);
    long readFile(float* out, long frames);

    std::unique_ptr<SoundFile> m_file;
    SRC_STATE_tag* m_converter = nullptr;
    double m_ratio = 1.0;
    bool m_loop;
    bool m_ended = false;
    std::int64_t m_fileFrames = 0; // read from the file, over every pass
    std::int64_t m_passFrames = 0;
    std::vector<float> m_input;
};

enum class DecodeResult { Ok, TooLarge, Failed };

// A file plays from disk when it opens as a stream at `rate` and yields at least one frame.
bool StreamPlays(const std::string& path, int rate);

// Decodes a whole file into memory at `rate`. TooLarge when the decoded frames would take more
// than `maxBytes`; Failed for anything unplayable (including a file that decodes to nothing).
// The buffer holds at most 1 % more than its frames need.
DecodeResult decodeSample(const std::string& path, int rate, std::size_t maxBytes,
                          std::shared_ptr<const SampleBuffer>& out);
