#pragma once

// The screen's pace: controls whose content changes thousands of times a
// second (the receive and transmit areas, the counters) draw at most once
// per frame.
inline constexpr int FrameMs = 16;
