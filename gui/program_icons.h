// The window programs' own icons, compiled in as a Qt resource, so that their
// windows show them without an installed icon theme.
#pragma once

enum ProgramIconName { GlyphkilnIcon, PlaquerIcon };

// Makes the icon the one of every window from now on. Call after StartGui.
void ShowProgramIcon(ProgramIconName icon);
