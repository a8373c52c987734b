// SPDX-License-Identifier: GPL-3.0-or-later
// The sounds themselves travel in the object library that qt_add_resources attaches to
// quendel_reference_sounds; a static library still needs one source of its own.
