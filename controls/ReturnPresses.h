// SPDX-License-Identifier: MIT
#pragma once

class QAbstractButton;

// Return or Enter on the focused button presses it, as a push button does
// on the platform the window was made for; a numeric field keeps its own
// keys. The behaviour lives as long as the button.
void PressOnReturn(QAbstractButton* button);
