// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the demo kit into the program's Sounds/ folder, and the starter settings beside the
// program when it has none yet:
//   quendel_demo_kit_generator loops <Sounds folder> <file name>...
//   quendel_demo_kit_generator settings <settings file>
// The build lists the loops' file names too (it needs them to know when to run); they are passed
// here so that the two lists cannot drift apart unnoticed.

#include "DemoKitDesign.h"
#include "DemoKitFiles.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace {

std::vector<std::string> kitFileNames()
{
    std::vector<std::string> names;
    for (const demokit::DemoLoopFile& file : demokit::demoKitFiles())
        names.push_back(file.name);
    return names;
}

int writeLoops(const std::filesystem::path& folder, const std::vector<std::string>& expected)
{
    if (expected != kitFileNames()) {
        std::fprintf(stderr, "the build's list of demo loops differs from the generator's:\n");
        for (const std::string& name : kitFileNames())
            std::fprintf(stderr, "  %s\n", name.c_str());
        return 2;
    }
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        std::fprintf(stderr, "cannot create %s: %s\n", folder.c_str(), error.message().c_str());
        return 1;
    }

    const std::vector<demokit::LoopCanvas> loops = demokit::renderDemoKit();
    const std::vector<demokit::DemoLoopFile>& files = demokit::demoKitFiles();
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::filesystem::path path = folder / files[i].name;
        std::string why;
        if (!demokit::writeLoop(path, loops[i], files[i].kind, why)) {
            std::fprintf(stderr, "cannot write %s: %s\n", path.c_str(), why.c_str());
            return 1;
        }
        // An MP3 loops cleanly only if the decoder can trim the encoder's delay and padding;
        // a libsndfile that writes no LAME tag would leave a gap at every pass.
        if (files[i].kind == demokit::FileKind::Mp3) {
            const auto decoded = demokit::readLoop(path);
            if (!decoded || decoded->frames() != loops[i].frames())
                std::fprintf(stderr,
                             "warning: %s decodes to %d frames instead of %d: it will not loop "
                             "without a gap\n",
                             path.c_str(), decoded ? decoded->frames() : 0, loops[i].frames());
        }
    }
    return 0;
}

int writeSettings(const std::filesystem::path& file)
{
    switch (demokit::writeStarterSettings(file, kitFileNames())) {
    case demokit::StarterSettings::Written:
        std::printf("Bound the demo loops to the first pads in %s\n", file.c_str());
        break;
    case demokit::StarterSettings::LeftAlone:
        break;
    case demokit::StarterSettings::Failed:
        // The pads are then simply unbound, as on any first start: not worth failing a build.
        std::fprintf(stderr, "warning: cannot write the starter settings %s\n", file.c_str());
        break;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    if (arguments.size() >= 2 && arguments[0] == "loops")
        return writeLoops(arguments[1], {arguments.begin() + 2, arguments.end()});
    if (arguments.size() == 2 && arguments[0] == "settings")
        return writeSettings(arguments[1]);
    std::fprintf(stderr,
                 "usage: %s loops <Sounds folder> <file name>...\n"
                 "       %s settings <settings file>\n",
                 argv[0], argv[0]);
    return 2;
}
