// SPDX-License-Identifier: GPL-3.0-or-later
// On Windows the window is a GUI-subsystem program without a console of its
// own: its usage text and argument errors go to the console of the command
// prompt that started it. Elsewhere, and when there is no such console or the
// output is redirected, nothing changes.
#pragma once

namespace korvel {

void UseParentConsole();

}  // namespace korvel
