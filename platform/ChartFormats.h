// SPDX-License-Identifier: MIT
#pragma once

#include "model/Exception.h"

#include <algorithm>
#include <string>
#include <string_view>

namespace nebelkamm {

// A file format a chart is saved as.
struct ChartFormat {
    std::string_view Name;   // "png", as the drawing code knows it
    std::string_view Filter; // the save dialog's line
};

// The one list of them: the save dialog, the plotting plugin and the
// command line all take theirs from here.
inline constexpr ChartFormat ChartFormats[] = {
    {.Name = "png", .Filter = "PNG image (*.png)"},
    {.Name = "svg", .Filter = "SVG drawing (*.svg)"},
    {.Name = "pdf", .Filter = "PDF document (*.pdf)"},
};

// The format of a file name's extension (case ignored), or nullptr.
inline const ChartFormat* ChartFormatOf(std::string_view path) {
    const std::size_t dot = path.rfind('.');
    if (dot == std::string_view::npos || path.find('/', dot) != std::string_view::npos)
        return nullptr;
    const std::string_view extension = path.substr(dot + 1);
    for (const ChartFormat& f : ChartFormats)
        if (std::ranges::equal(extension, f.Name, [](char a, char b) {
                return (a >= 'A' && a <= 'Z' ? char(a - 'A' + 'a') : a) == b;
            }))
            return &f;
    return nullptr;
}

// "<name>: a chart is saved as .png, .svg or .pdf".
inline std::string NotAChartFormat(std::string_view name) {
    std::string text = std::string(name) + ": a chart is saved as ";
    for (std::size_t i = 0; i < std::size(ChartFormats); ++i)
        text += std::string(i == 0                             ? ""
                            : i + 1 == std::size(ChartFormats) ? " or "
                                                               : ", ") +
                "." + std::string(ChartFormats[i].Name);
    return text;
}

// The format of a file name's extension; throws EUsageError
// (NotAChartFormat) for any other name.
inline const ChartFormat& ChartFormatFor(std::string_view path) {
    const ChartFormat* format = ChartFormatOf(path);
    if (!format)
        throw EUsageError(NotAChartFormat(path));
    return *format;
}

} // namespace nebelkamm
