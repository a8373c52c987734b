// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

// A folder of this run's own (mode 0700, a fresh name) under the system's temporary folder,
// removed with everything in it at the end: two runs side by side, or another user's files of
// the same name, never meet the files a measurement writes.
class BenchFolder {
public:
    BenchFolder()
    {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "quendel-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr)
            m_path = pattern;
    }
    ~BenchFolder()
    {
        std::error_code ignored;
        if (!m_path.empty())
            std::filesystem::remove_all(m_path, ignored);
    }
    BenchFolder(const BenchFolder&) = delete;
    BenchFolder& operator=(const BenchFolder&) = delete;

    // False when the folder could not be made; file() then names nothing that can be written.
    bool valid() const { return !m_path.empty(); }
    std::string file(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};
