// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The two addresses the intro window opens, written without a scheme like a user would type them.
// The intro picture prints them under its link areas.
inline constexpr const char* kWebSiteAddress = "www.libsdl.org";
inline constexpr const char* kSoftwarePageAddress = "libsndfile.github.io/libsndfile";
