#pragma once

#include <QString>
#include <QStringView>

#include <optional>

// What a text send adds while "CR" is ticked, and what each line break in the
// send box goes out as. With CR LF, the default, the box's line breaks go out
// as LF, as they always have; with None they stay LF too.
enum class LineEnd { CrLf, Cr, Lf, None };
inline constexpr LineEnd LineEnds[] = {LineEnd::CrLf, LineEnd::Cr, LineEnd::Lf, LineEnd::None};

// "crlf", "cr", "lf", "none": the name on the command line and in the settings.
QString lineEndName(LineEnd end);
std::optional<LineEnd> lineEndNamed(QStringView name);
// "CR LF", "CR", "LF", "None": the entry of the "Line end" selector.
QString lineEndCaption(LineEnd end);

// What a text send adds while "CR" is ticked.
QString lineEndSuffix(LineEnd end);
// The send box's text as it goes out: CRs dropped, each line break as the
// line end has it.
QString withLineBreaks(QStringView boxText, LineEnd end);
