#pragma once

// The application's title: the window's caption and every message box's.
inline constexpr char ApplicationTitle[] = "Varnolix1.0";
